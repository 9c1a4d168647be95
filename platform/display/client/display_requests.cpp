#include "platform/display/client/display_requests.h"

#include <unistd.h>

#include <QJsonArray>

#include "platform/automation/client.h"
#include "platform/automation/display_verbs.h"

namespace platform::display {

namespace verbs = automation::display;

DisplayRequests::DisplayRequests(const std::filesystem::path& deviceRoot)
    : link_(automation::socketFile(deviceRoot, verbs::kProcess)) {}

void DisplayRequests::bringToFront(pid_t pid) {
  link_.ask(verbs::kFrontCall, {static_cast<double>(pid)});
}

void DisplayRequests::showStatusBar(const std::vector<Area>& areas) {
  QJsonArray list;
  for (const Area& a : areas)
    list.append(QJsonArray{a.rect.x(), a.rect.y(), a.rect.width(), a.rect.height(), a.cornerRadius});
  link_.ask(verbs::kStatusBarCall, {static_cast<double>(::getpid()), list});
}

}  // namespace platform::display
