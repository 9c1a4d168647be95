// The apps of the device a call can come through: each one's name, bundle
// identifier and the provider's name its calls carry. The device window's
// and the browser's Device controls offer them, and the default apps are
// installed with these names.
#pragma once

namespace platform::apps {

struct CallingApp {
  const char* name;
  const char* bundle;
  const char* provider;
};

inline constexpr CallingApp kPhone{"Phone", "com.apple.mobilephone", "Telephony"};
inline constexpr CallingApp kFaceTime{"FaceTime", "com.apple.facetime", "FaceTime"};
inline constexpr CallingApp kWhatsApp{"WhatsApp", "net.whatsapp.WhatsApp", "WhatsApp"};
inline constexpr CallingApp kSignal{"Signal", "org.whispersystems.signal", "Signal"};
inline constexpr CallingApp kTelegram{"Telegram", "ph.telegra.Telegraph", "Telegram"};
inline constexpr CallingApp kMessenger{"Messenger", "com.facebook.Messenger", "Messenger"};
inline constexpr CallingApp kDiscord{"Discord", "com.hammerandchisel.discord", "Discord"};

// Phone first: every device has it.
inline constexpr CallingApp kCallingApps[] = {kPhone, kFaceTime, kWhatsApp, kSignal, kTelegram, kMessenger, kDiscord};

}  // namespace platform::apps
