#include "platform/settings_app/root_controller.h"

#include <QPainter>
#include <QPainterPath>

#include "platform/foundation/device_description.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/log.h"
#include "platform/settings_app/pane_entries.h"
#include "platform/uikit/navigation_controller.h"
#include "platform/uikit/screen.h"

namespace platform::settings_app {
namespace uk = platform::uikit;
using preferences::PSCellType;
using preferences::PSSpecifier;

namespace {

plist::Value text(const QString& value) { return plist::Value::string(value.toStdString()); }

// A pane's icon stands at the size of the system's own row icons, 29 points
// square with rounded corners, whatever the pixel size of its file. The
// file is one of the pane's bundle; a link out of it is not followed.
uk::UIImagePtr rowIcon(const std::filesystem::path& bundle, const std::string& name) {
  const std::filesystem::path file = bundle / name;
  auto image = uk::UIImage::imageWithContentsOfFile(QString::fromStdString(file.string()), bundle);
  if (!image) {
    log("Settings: the pane icon ", file.string(), " is no image");
    return nullptr;
  }
  constexpr double kSide = 29, kCorner = 6.5;
  const double scale = uk::UIScreen::mainScreen().scale();
  const int pixels = static_cast<int>(kSide * scale);
  QImage out(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
  out.fill(Qt::transparent);
  QPainter painter(&out);
  painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
  QPainterPath corners;
  corners.addRoundedRect(QRectF(0, 0, pixels, pixels), kCorner * scale, kCorner * scale);
  painter.setClipPath(corners);
  painter.drawImage(QRectF(0, 0, pixels, pixels), image->pixels());
  painter.end();
  return std::make_shared<uk::UIImage>(std::move(out), scale);
}

// The system's own page behind "General": what the device says of itself.
class GeneralController : public preferences::PSListController {
 public:
  std::vector<preferences::PSSpecifierPtr>& specifiers() override {
    if (specifiers_.empty()) {
      auto about = PSSpecifier::groupSpecifierWithName("About");
      specifiers_.push_back(about);
      auto description = readDeviceDescription(deviceRoot());
      auto version = std::make_shared<PSSpecifier>("Version " + QString::fromStdString(description.systemVersion),
                                                   PSCellType::StaticText);
      specifiers_.push_back(version);
    }
    return specifiers_;
  }
};

}  // namespace

RootController::RootController() { setTitle("Settings"); }

std::vector<preferences::PSSpecifierPtr>& RootController::specifiers() {
  if (!specifiers_.empty()) return specifiers_;
  specifiers_.push_back(PSSpecifier::groupSpecifierWithName(QString()));
  specifiers_.push_back(PSSpecifier::preferenceSpecifierNamed("General", this, {}, {}, "General", PSCellType::Link, {}));
  specifiers_.push_back(std::make_shared<PSSpecifier>("Privacy", PSCellType::StaticText));
  auto entries = readPaneEntries(devicePath(kEntriesFolder));
  if (!entries.empty()) specifiers_.push_back(PSSpecifier::groupSpecifierWithName(QString()));
  for (const auto& entry : entries) {
    auto cell = preferences::cellTypeNamed(entry.cell.toStdString()).value_or(PSCellType::Link);
    if (cell != PSCellType::Link) cell = PSCellType::Link;  // a pane's row always opens the pane
    auto row = PSSpecifier::preferenceSpecifierNamed(entry.label, this, {}, {}, entry.detail, cell, {});
    row->setProperty("bundle", text(entry.bundle));
    row->setProperty("isController", plist::Value::boolean(true));
    if (!entry.icon.isEmpty() && !entry.icon.contains('/') && !entry.bundle.contains('/')) {
      row->iconImage = rowIcon(devicePath(std::string(kBundlesFolder) + "/" + entry.bundle.toStdString() + ".bundle"),
                               entry.icon.toStdString());
    }
    specifiers_.push_back(std::move(row));
  }
  return specifiers_;
}

std::shared_ptr<preferences::PSListController> RootController::controllerForSpecifier(PSSpecifier& row) {
  if (row.detailControllerClass == "General") return std::make_shared<GeneralController>();
  return nullptr;
}

void RootController::didSelectRowAtIndexPath(uk::UITableView& table, uk::NSIndexPath path) {
  PSSpecifier* chosen = rowAt(path);
  if (chosen && chosen->propertyForKey("bundle")) {
    table.deselectRowAtIndexPath(path, true);
    openPane(*chosen);
    return;
  }
  PSListController::didSelectRowAtIndexPath(table, path);
}

void RootController::openPane(PSSpecifier& row) {
  const QString bundle = QString::fromStdString(row.propertyForKey("bundle").text().value_or(""));
  const preferences::PaneRegistry* registry = loader_.load(bundle);
  if (!registry) return;  // the loader said why
  auto page = registry->makeController(row.detailControllerClass);
  if (!page) return;
  for (const auto& shared : specifiers_)
    if (shared.get() == &row) page->setSpecifier(shared);
  page->setTitle(row.name());
  // The pane's pages go on its own stack, whose bar is hidden: this app's
  // bar shows them and goes back through them.
  auto stack = std::make_shared<uk::UINavigationController>(page);
  stack->setNavigationBarHidden(true);
  stack->setTitle(row.name());
  if (navigationController()) navigationController()->pushViewController(stack, true);
}

}  // namespace platform::settings_app
