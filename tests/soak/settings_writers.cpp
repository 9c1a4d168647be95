#include "tests/soak/settings_writers.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/settings_file.h"

namespace soak {

namespace plist = platform::plist;

namespace {
std::string addedKey(int i) { return "soak-added-" + std::to_string(i); }
}  // namespace

SettingsWritersOutcome runSettingsWriters(const std::filesystem::path& file, int keys) {
  SettingsWritersOutcome o;
  std::filesystem::create_directories(file.parent_path());
  pid_t adder = ::fork();
  if (adder < 0) {
    o.problems.push_back("settings writers: cannot fork");
    return o;
  }
  if (adder == 0) {
    for (int i = 0; i < keys; ++i)
      if (!calmora::settings::update(file, [i](plist::Value& s) { s.set(addedKey(i), plist::Value::integer(i)); }))
        ::_exit(1);
    ::_exit(0);
  }
  bool enabled = false;
  int status = 0;
  pid_t ended = 0;
  // The page's write, as its switch makes it, until the other writer is done.
  while ((ended = ::waitpid(adder, &status, WNOHANG)) == 0) {
    enabled = !enabled;
    if (!calmora::settings::update(file, [enabled](plist::Value& s) {
          s.set("isTweakEnabled", plist::Value::boolean(enabled));
        }))
      o.problems.push_back("settings writers: a page write failed");
    ++o.toggles;
  }
  if (ended != adder || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    o.problems.push_back("settings writers: the other writer failed");
  o.keysAdded = keys;
  auto read = plist::readDictionary(file);
  for (int i = 0; i < keys; ++i) o.keysKept += read.dict[addedKey(i)] ? 1 : 0;
  if (o.keysKept != keys)
    o.problems.push_back("settings writers: " + std::to_string(keys - o.keysKept) + " of " + std::to_string(keys) +
                         " keys lost over " + std::to_string(o.toggles) + " page writes");
  if (read.dict["isTweakEnabled"].truthy() != enabled)
    o.problems.push_back("settings writers: the page's last toggle was lost");
  return o;
}

}  // namespace soak
