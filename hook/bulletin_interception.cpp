#include "hook/bulletin_interception.h"

#include "hook/process_state.h"

namespace calmora::bulletins {

void publishBulletin(const rt::Id& self, rt::Id bulletin, uint64_t destinations) {
  process().previous.publishBulletin(self, std::move(bulletin), destinations);
}

}  // namespace calmora::bulletins
