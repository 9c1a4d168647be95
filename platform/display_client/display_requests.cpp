#include "platform/display_client/display_requests.h"

#include "platform/automation/client.h"
#include "platform/automation/display_verbs.h"

namespace platform::display {

namespace verbs = automation::display;

DisplayRequests::DisplayRequests(const std::filesystem::path& deviceRoot)
    : link_(automation::socketFile(deviceRoot, verbs::kProcess)) {}

void DisplayRequests::bringToFront(pid_t pid) {
  link_.ask(verbs::kFrontCall, {static_cast<double>(pid)});
}

}  // namespace platform::display
