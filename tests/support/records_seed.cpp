// records_seed DEVICE call NAME OUTCOME | message BUNDLE TITLE TEXT | unopened BUNDLE:
// writes a call or a delivered message into a device's records as the home
// screen does, or prints a bundle's unopened count, for the apps' tests.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/foundation/clock.h"
#include "platform/foundation/device_paths.h"
#include "platform/records/call_history.h"
#include "platform/records/delivered_notifications.h"

using namespace platform::records;

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: records_seed DEVICE call NAME OUTCOME | message BUNDLE TITLE TEXT | unopened BUNDLE\n");
    return 2;
  }
  const std::filesystem::path device = argv[1];
  const std::string verb = argv[2];
  if (verb == "call" && argc == 5) {
    auto history = CallHistory::open(platform::devicePath(device, kCallHistoryPath), Mode::ReadWrite);
    CallRecord call;
    call.dateMs = platform::clock::nowMs();
    call.name = argv[3];
    call.number = "+1 555 0142";
    call.bundle = "com.apple.mobilephone";
    call.appName = "Phone";
    call.outcome = outcomeFromName(argv[4]);
    return history && history->add(call) ? 0 : 1;
  }
  auto delivered = DeliveredNotifications::open(platform::devicePath(device, kDeliveredPath), Mode::ReadWrite);
  if (!delivered) return 1;
  if (verb == "message" && argc == 6) {
    NotificationRecord n;
    n.dateMs = platform::clock::nowMs();
    n.bundle = argv[3];
    n.title = argv[4];
    n.message = argv[5];
    return delivered->add(n) ? 0 : 1;
  }
  if (verb == "unopened" && argc == 4) {
    std::printf("%lld\n", static_cast<long long>(delivered->unopenedCount(argv[3])));
    return 0;
  }
  return 2;
}
