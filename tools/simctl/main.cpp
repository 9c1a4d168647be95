// simctl: drives a simulated device from outside.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "tools/simctl/verbs.h"

namespace {

constexpr const char* kUsage =
    "usage: simctl VERB DIR [ARGS...]\n"
    "verbs: boot, shutdown, status, respring, post, listen, call, answer, decline, end, bulletin, notifications,\n"
    "       appear, home, screenshot, logs, install, launch, terminate, apps, ui, auth, appearance, silent, open,\n"
    "       serve, clock, contacts\n"
    "see README.md for each verb's arguments and output; the verbs delivered to the home screen and the apps:\n";

using Verb = int (*)(const std::filesystem::path&, const simctl::Args&);

}  // namespace

int main(int argc, char** argv) {
  static const std::map<std::string, Verb> verbs = {
      {"boot", simctl::boot},     {"shutdown", simctl::shutdown}, {"status", simctl::status},
      {"post", simctl::post},     {"listen", simctl::listen},     {"respring", simctl::respring},
      {"call", simctl::call},     {"bulletin", simctl::bulletin}, {"appear", simctl::appear},
      {"home", simctl::home},     {"answer", simctl::answer},     {"decline", simctl::decline},
      {"end", simctl::end},       {"notifications", simctl::notifications},
      {"screenshot", simctl::screenshot}, {"logs", simctl::logs},
      {"install", simctl::install},     {"launch", simctl::launch},   {"terminate", simctl::terminate},
      {"apps", simctl::apps},           {"ui", simctl::ui},           {"appearance", simctl::appearance},
      {"auth", simctl::auth},           {"open", simctl::open},       {"clock", simctl::clock},
      {"contacts", simctl::contactsVerb}, {"silent", simctl::silent},
      {"serve", simctl::serve},
  };
  if (argc < 3) {
    std::fprintf(stderr, "%s%s", kUsage, (simctl::eventVerbsUsage() + simctl::appVerbsUsage()).c_str());
    return 2;
  }
  auto it = verbs.find(argv[1]);
  if (it == verbs.end()) {
    std::fprintf(stderr, "simctl: unknown verb '%s'\n%s%s", argv[1], kUsage, (simctl::eventVerbsUsage() + simctl::appVerbsUsage()).c_str());
    return 2;
  }
  // An empty DIR would be the current folder, which no verb means.
  if (argv[2][0] == '\0') {
    std::fprintf(stderr, "simctl: DIR is empty: name the device's folder\n");
    return 2;
  }
  simctl::Args args(argv + 3, argv + argc);
  return it->second(std::filesystem::path(argv[2]), args);
}
