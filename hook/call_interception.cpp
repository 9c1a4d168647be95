#include "hook/call_interception.h"

#include "hook/process_state.h"

namespace calmora::calls {

void callEventHandler(const rt::Id& self, rt::Id notification) {
  process().previous.callEventHandler(self, std::move(notification));
}

void updateWithCall(const rt::Id& self, rt::Id call) { process().previous.updateWithCall(self, std::move(call)); }

}  // namespace calmora::calls
