#include "hook/messaging_apps.h"

#include <algorithm>

#include "hook/process_state.h"

namespace calmora {

std::vector<std::string> buildMessagingApps() {
  return {
      "com.apple.MobileSMS",        "com.facebook.Messenger",      "com.atebits.Tweetie2",
      "net.whatsapp.WhatsApp",      "com.toyopagroup.picaboo",     "com.hammerandchisel.discord",
      "ph.telegra.Telegraph",       "com.google.hangouts",         "org.whispersystems.signal",
      "com.zhiliaoapp.musically",
  };
}

bool isMessagingApp(std::string_view flagKey) {
  const auto& apps = process().messagingApps;
  return std::find(apps.begin(), apps.end(), flagKey) != apps.end();
}

}  // namespace calmora
