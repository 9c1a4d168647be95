#include "tests/soak/device.h"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>

#include "common/names.h"
#include "platform/automation/client.h"
#include "platform/automation/home_screen_verbs.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/plist.h"
#include "platform/foundation/log.h"
#include "platform/foundation/process_info.h"

namespace soak {
namespace fs = std::filesystem;
using platform::plist::Value;

bool writeDeviceFiles(const fs::path& dir) {
  fs::create_directories(dir / "var/mobile/Library/AddressBook");
  fs::create_directories(dir / "var/mobile/Library/Preferences");
  std::ofstream book(dir / "var/mobile/Library/AddressBook/contacts.vcf", std::ios::binary);
  book << "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Evil;Mallory;;;\r\nFN:" << kMalloryName << "\r\nUID:" << kMalloryUid
       << "\r\nTEL;TYPE=CELL:+1 555 0100\r\nEND:VCARD\r\n"
       << "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Friend;Alice;;;\r\nFN:" << kAliceName << "\r\nUID:" << kAliceUid
       << "\r\nTEL;TYPE=CELL:+1 555 0199\r\nEND:VCARD\r\n";
  if (!book.good()) return false;

  namespace keys = calmora::names::settings;
  auto settings = Value::dict();
  settings.set(keys::kIsTweakEnabled, Value::boolean(true));
  settings.set(keys::kMethodSpecifier, Value::integer(0));
  settings.set(keys::kIgnoreTime, Value::boolean(true));
  settings.set(keys::kSound, Value::string("1005"));
  auto mallory = Value::dict();
  mallory.set(keys::kIsBlocked, Value::boolean(true));
  mallory.set("com.apple.mobilephoneCall", Value::boolean(true));
  mallory.set("com.apple.facetimeCall", Value::boolean(true));
  mallory.set(kMessagingApp, Value::boolean(true));
  settings.set(kMalloryUid, std::move(mallory));
  auto written = platform::plist::writeXmlAtomically(platform::devicePath(dir, calmora::names::kSettingsPath),
                                                     settings.ref());
  if (!written) platform::log("soak: cannot write the settings: ", written.error().context);
  return written.ok();
}

bool simctl(const std::string& verb, const fs::path& dir) {
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  std::string program = (self.parent_path() / "simctl").string();
  std::string dirText = dir.string();
  pid_t child = ::fork();
  if (child == 0) {
    // The answer's JSON is of no use here; failures still reach stderr.
    if (FILE* null = std::fopen("/dev/null", "w")) ::dup2(::fileno(null), STDOUT_FILENO);
    char* argv[] = {program.data(), const_cast<char*>(verb.c_str()), dirText.data(), nullptr};
    ::execv(program.c_str(), argv);
    ::_exit(127);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::optional<QJsonObject> askHomeScreen(const fs::path& dir, const QJsonObject& request, int timeoutMs) {
  namespace automation = platform::automation;
  return automation::request(automation::socketFile(dir, automation::home_screen::kProcess), request, timeoutMs).answer;
}

std::optional<pid_t> springboardPid(const fs::path& dir) { return platform::readPidFile(dir / "run" / "springboard.pid"); }

std::optional<Memory> memoryOf(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  if (!in) return std::nullopt;
  Memory m;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmRSS:", 0) == 0) m.rssKb = std::stoll(line.substr(6));
    if (line.rfind("VmHWM:", 0) == 0) m.hwmKb = std::stoll(line.substr(6));
  }
  return m;
}

int64_t nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace soak
