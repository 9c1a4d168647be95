#include "platform/preferences/rows_from_plist.h"

#include "platform/foundation/log.h"

namespace platform::preferences {

namespace {

QString textOf(plist::Ref node) {
  auto text = node.text();
  return text ? QString::fromStdString(*text) : QString();
}

}  // namespace

std::vector<PSSpecifierPtr> specifiersFromPlist(plist::Ref root, PSListController* target, const NSBundle* bundle,
                                                std::string_view source) {
  std::vector<PSSpecifierPtr> rows;
  plist::Ref items = root["items"];
  if (items.type() != plist::Type::Array) {
    log("Preferences: ", source, " has no \"items\" array");
    return rows;
  }
  for (size_t i = 0; i < items.size(); ++i) {
    plist::Ref item = items.at(i);
    auto cellName = item["cell"].string();
    auto cell = cellName ? cellTypeNamed(*cellName) : std::nullopt;
    if (!item.isDict() || !cell) {
      log("Preferences: ", source, " item ", i, " names no known cell; left out");
      continue;
    }
    auto row = std::make_shared<PSSpecifier>(textOf(item["label"]), *cell);
    row->setTarget(target);
    item.forEach([&](std::string_view key, plist::Ref value) {
      row->setProperty(key, value.copy());
      return true;
    });
    row->detailControllerClass = textOf(item["detail"]);
    if (auto icon = textOf(item["icon"]); !icon.isEmpty() && bundle) {
      QString path = bundle->pathForResource(icon, QString());
      if (!path.isEmpty()) row->iconImage = uikit::UIImage::imageWithContentsOfFile(path, bundle->bundlePath());
      if (!row->iconImage) log("Preferences: ", source, " item ", i, " names an icon that is no image: ", icon.toStdString());
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace platform::preferences
