// The apps the deliverables know by bundle identifier: the messaging-app
// list the hook consults in whitelist mode, and the apps the pane's Block
// Apps page offers for a contact, its calls under their "%@Call" keys. That
// page is a resource that cannot include this; a test holds it to these.
#pragma once

#include <string_view>

namespace calmora::apps {

struct App {
  std::string_view bundle;
  std::string_view name;
};

// In whitelist mode a sender that matches no contact is blocked only in
// these apps; the order is the documented one.
inline constexpr std::string_view kMessagingApps[] = {
    "com.apple.MobileSMS",         "com.facebook.Messenger", "com.atebits.Tweetie2",       "net.whatsapp.WhatsApp",
    "com.toyopagroup.picaboo",     "com.hammerandchisel.discord", "ph.telegra.Telegraph", "com.google.hangouts",
    "org.whispersystems.signal",   "com.zhiliaoapp.musically",
};

// The apps a call can come through, as the Block Apps page lists them.
inline constexpr App kCallingApps[] = {
    {"com.apple.mobilephone", "Phone"},         {"com.apple.facetime", "FaceTime"},
    {"net.whatsapp.WhatsApp", "WhatsApp"},      {"org.whispersystems.signal", "Signal"},
    {"ph.telegra.Telegraph", "Telegram"},       {"com.facebook.Messenger", "Messenger"},
    {"com.hammerandchisel.discord", "Discord"},
};

// The apps whose notifications the Block Apps page offers, each one of the
// messaging apps.
inline constexpr App kNotifyingApps[] = {
    {"com.apple.MobileSMS", "Messages"},      {"net.whatsapp.WhatsApp", "WhatsApp"},
    {"org.whispersystems.signal", "Signal"},  {"ph.telegra.Telegraph", "Telegram"},
    {"com.facebook.Messenger", "Messenger"},  {"com.hammerandchisel.discord", "Discord"},
};

}  // namespace calmora::apps
