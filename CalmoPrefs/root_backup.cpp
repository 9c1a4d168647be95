// The root page's "Export" and "Import" rows: each step is one alert, and
// the files are touched only once a backup has been read and checked whole.
// Reading and writing a backup of large logs takes seconds, so it runs on
// the system's serial queue and the page hears the outcome on the main one.
#include <algorithm>

#include "CalmoPrefs/backup.h"
#include "CalmoPrefs/root_list_controller.h"
#include "platform/uikit/alert_controller.h"
#include "platform/uikit/dispatch.h"

namespace calmoprefs {

namespace uk = platform::uikit;

namespace {
// An action sheet lists this many of the newest backups.
constexpr size_t kListed = 8;

QString text(const std::string& s) { return QString::fromStdString(s); }

// `work` off the main thread, then `then` with its outcome on it; the page
// is held by the main queue's block only, so it is let go on the main thread.
template <class Work, class Then>
void inBackground(std::shared_ptr<CMPRootListController> page, Work work, Then then) {
  uk::DispatchQueue::system().async([page = std::move(page), work, then]() mutable {
    auto outcome = work();
    uk::DispatchQueue::main().async([page = std::move(page), then, outcome = std::move(outcome)] { then(*page, outcome); });
  });
}
}  // namespace

void CMPRootListController::tell(const QString& title, const std::string& message) {
  auto alert = uk::UIAlertController::alertControllerWithTitle(title, text(message), uk::UIAlertControllerStyle::Alert);
  alert->addAction(std::make_shared<uk::UIAlertAction>("OK", uk::UIAlertActionStyle::Cancel, nullptr));
  presentViewController(alert, true);
}

void CMPRootListController::exportBackup() {
  inBackground(
      std::static_pointer_cast<CMPRootListController>(shared_from_this()), [] { return backup::exportBackup(); },
      [](CMPRootListController& page, const backup::Outcome<std::filesystem::path>& file) {
        if (!file)
          page.tell("Export failed", file.error().why);
        else
          page.tell("Exported", "Saved as " + file->filename().string() + " in Documents.");
      });
}

void CMPRootListController::importBackup() {
  auto backups = backup::list();
  if (backups.empty()) {
    tell("No backups", "Export writes Calmora-Backup-YYYYMMDD-HHMMSS.plist to Documents; there is none.");
    return;
  }
  auto self = std::static_pointer_cast<CMPRootListController>(shared_from_this());
  auto sheet = uk::UIAlertController::alertControllerWithTitle("Import", "Choose a backup.",
                                                               uk::UIAlertControllerStyle::ActionSheet);
  for (size_t i = 0; i < std::min(backups.size(), kListed); ++i)
    sheet->addAction(std::make_shared<uk::UIAlertAction>(
        text(backups[i].filename().string()), uk::UIAlertActionStyle::Default,
        [self, file = backups[i]](const auto&) { self->confirmImport(file); }));
  sheet->addAction(std::make_shared<uk::UIAlertAction>("Cancel", uk::UIAlertActionStyle::Cancel, nullptr));
  presentViewController(sheet, true);
}

void CMPRootListController::confirmImport(const std::filesystem::path& file) {
  auto self = std::static_pointer_cast<CMPRootListController>(shared_from_this());
  auto alert = uk::UIAlertController::alertControllerWithTitle(
      "Replace settings and logs?",
      text("The settings and both logs become those of " + file.filename().string() +
           ". The current files are kept beside them first."),
      uk::UIAlertControllerStyle::Alert);
  alert->addAction(std::make_shared<uk::UIAlertAction>("Replace", uk::UIAlertActionStyle::Destructive,
                                                       [self, file](const auto&) { self->importFrom(file); }));
  alert->addAction(std::make_shared<uk::UIAlertAction>("Cancel", uk::UIAlertActionStyle::Cancel, nullptr));
  presentViewController(alert, true);
}

void CMPRootListController::importFrom(const std::filesystem::path& file) {
  inBackground(
      std::static_pointer_cast<CMPRootListController>(shared_from_this()),
      [file]() -> backup::Outcome<> {
        TRY(backup::restore(TRY(backup::readBackup(file))));
        return {};
      },
      [file](CMPRootListController& page, const backup::Outcome<>& done) {
        if (!done) {
          page.tell("Cannot import", file.filename().string() + ": " + done.error().why);
          return;
        }
        // The rows show the restored settings; the home screen takes them
        // when it starts again.
        page.reloadSpecifiers();
        page.killall();
      });
}

}  // namespace calmoprefs
