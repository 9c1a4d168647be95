// The display process of one device: display DIR. Headless; the device
// window (simctl open) shows what it shows.
#include <QCoreApplication>
#include <QTimer>
#include <memory>

#include "platform/automation/display_verbs.h"
#include "platform/display/compositor.h"
#include "platform/foundation/device_description.h"
#include "platform/foundation/log.h"
#include "platform/process/device_process.h"

int main(int argc, char** argv) {
  namespace verbs = platform::automation::display;
  return platform::runDeviceProcess(
      argc, argv,
      {.name = std::string(verbs::kProcess),
       .logName = "display",
       .verbs = verbs::kVerbs,
       .start = [](platform::automation::Server& control, const std::filesystem::path& root) -> std::shared_ptr<void> {
         const auto device = platform::readDeviceDescription(root);
         auto compositor = std::make_shared<platform::display::Compositor>(
             root / "run", static_cast<int>(device.screenWidth), static_cast<int>(device.screenHeight));
         if (auto started = compositor->start(); !started) {
           platform::log("display: ", started.error());
           QTimer::singleShot(0, [] { QCoreApplication::exit(1); });
           return nullptr;
         }
         compositor->serve(control);
         control.on(platform::automation::ui::kQuit.name, [](const QJsonObject&) {
           QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
           return QJsonObject{{"ok", true}};
         });
         return compositor;
       },
       .windows = platform::DeviceProcess::Windows::Headless});
}
