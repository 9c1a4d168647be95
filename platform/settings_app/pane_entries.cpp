#include "platform/settings_app/pane_entries.h"

#include <algorithm>

#include "platform/foundation/log.h"
#include "platform/foundation/plist.h"
#include "platform/foundation/qt_text.h"

namespace platform::settings_app {

namespace {
QString textOf(plist::Ref node) {
  auto text = node.string();
  return text ? toQString(*text) : QString();
}
}  // namespace

std::vector<PaneEntry> readPaneEntries(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (it->path().extension() == ".plist") files.push_back(it->path());
  std::vector<PaneEntry> entries;
  for (const auto& file : files) {
    auto read = plist::readDictionary(file);
    plist::Ref entry = read.dict["entry"];
    PaneEntry pane{textOf(entry["label"]), textOf(entry["bundle"]), textOf(entry["detail"]),
                   textOf(entry["cell"]), textOf(entry["icon"])};
    if (!entry.isDict() || pane.label.isEmpty()) {
      log("Preferences: ", file.string(), " is no pane entry (an \"entry\" dictionary with a \"label\")");
      continue;
    }
    entries.push_back(std::move(pane));
  }
  std::sort(entries.begin(), entries.end(),
            [](const PaneEntry& a, const PaneEntry& b) { return a.label.localeAwareCompare(b.label) < 0; });
  return entries;
}

}  // namespace platform::settings_app
