#include "platform/display/front.h"

#include <unistd.h>

#include <QJsonArray>

#include "platform/automation/client.h"
#include "platform/automation/display_verbs.h"
#include "platform/foundation/qt_text.h"

namespace platform::display {

namespace verbs = automation::display;

DisplayRequests::DisplayRequests(const std::filesystem::path& deviceRoot)
    : link_(automation::socketFile(deviceRoot, verbs::kProcess)) {}

void DisplayRequests::bringToFront(pid_t pid) {
  link_.send(QJsonObject{{"verb", toQString(verbs::kFront.name)}, {"pid", static_cast<double>(pid)}});
}

void DisplayRequests::showStatusBar(const std::vector<Area>& areas) {
  QJsonArray list;
  for (const Area& a : areas)
    list.append(QJsonArray{a.rect.x(), a.rect.y(), a.rect.width(), a.rect.height(), a.cornerRadius});
  link_.send(QJsonObject{{"verb", toQString(verbs::kStatusBar.name)},
                         {"pid", static_cast<double>(::getpid())},
                         {"rects", list}});
}

}  // namespace platform::display
