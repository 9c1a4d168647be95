#include "platform/display/front.h"

#include "platform/automation/client.h"
#include "platform/automation/display_verbs.h"

namespace platform::display {

Result<void, std::string> bringToFront(const std::filesystem::path& deviceRoot, pid_t pid) {
  namespace verbs = automation::display;
  auto reply = automation::request(automation::socketFile(deviceRoot, verbs::kProcess),
                                   QJsonObject{{"verb", "front"}, {"pid", static_cast<double>(pid)}}, 2000);
  if (!reply) return std::string("the device's display is not running");
  if (reply.answer->contains("error")) return (*reply.answer)["error"].toString().toStdString();
  return {};
}

}  // namespace platform::display
