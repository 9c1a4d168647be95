#include "hook/messaging_apps.h"

#include <algorithm>


namespace calmora {

std::vector<std::string> buildMessagingApps() {
  return {
      "com.apple.MobileSMS",        "com.facebook.Messenger",      "com.atebits.Tweetie2",
      "net.whatsapp.WhatsApp",      "com.toyopagroup.picaboo",     "com.hammerandchisel.discord",
      "ph.telegra.Telegraph",       "com.google.hangouts",         "org.whispersystems.signal",
      "com.zhiliaoapp.musically",
  };
}

bool isMessagingApp(const std::vector<std::string>& apps, std::string_view flagKey) {
  return std::find(apps.begin(), apps.end(), flagKey) != apps.end();
}

}  // namespace calmora
