// simctl logs DIR [calls|notifications]: the blocked-event logs as tables,
// newest first, as the log viewer lists them.
#include <cstdio>
#include <string>
#include <vector>

#include "common/names.h"
#include "platform/foundation/plist.h"
#include "tools/simctl/device_control.h"
#include "tools/simctl/verbs.h"

namespace simctl {
namespace {

std::string field(platform::plist::Ref record, std::string_view key, size_t width) {
  std::string s = record[key].text().value_or("");
  for (char& c : s)
    if (c == '\n' || c == '\t') c = ' ';
  // Cut at a character boundary, counting UTF-8 lead bytes as characters.
  size_t chars = 0, i = 0;
  for (; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
      if (chars == width) break;
      ++chars;
    }
  }
  if (i < s.size()) s = s.substr(0, i);
  return s + std::string(width > chars ? width - chars : 0, ' ');
}

void printLog(const std::filesystem::path& dir, std::string_view phonePath, const char* title, bool withMessage) {
  std::string rel(phonePath.substr(1));
  auto read = platform::plist::readDictionary(dir / rel);
  auto log = read.dict.ref();
  std::printf("%s (%zu record%s)\n", title, log.size(), log.size() == 1 ? "" : "s");
  if (read.state == platform::plist::ReadState::Unreadable) std::printf("  (the file cannot be read)\n");
  if (log.size() == 0) {
    std::printf("  (empty)\n\n");
    return;
  }
  std::printf("  %-4s %-19s %-6s %-16s %-20s %s\n", "key", "date", "read", "app", "from",
              withMessage ? "message" : "data");
  // Newest first: keys run from count - 1 down to 0.
  for (long k = static_cast<long>(log.size()) - 1; k >= 0; --k) {
    auto r = log[std::to_string(k)];
    if (!r.isDict()) {
      std::printf("  %-4ld (no record under this key)\n", k);
      continue;
    }
    bool isRead = r[calmora::names::record::kIsRead].truthy();
    std::printf("  %-4ld %s %-6s %s %s %s\n", k, field(r, calmora::names::record::kDate, 19).c_str(),
                isRead ? "yes" : "NO", field(r, calmora::names::record::kAppName, 16).c_str(),
                field(r, calmora::names::record::kFrom, 20).c_str(),
                field(r, withMessage ? calmora::names::record::kMsg : calmora::names::record::kData, 40).c_str());
  }
  std::printf("\n");
}

}  // namespace

int logs(const std::filesystem::path& dirArg, const Args& args) {
  auto dir = deviceDir(dirArg);
  std::string which = args.empty() ? "all" : args[0];
  if (which != "all" && which != "calls" && which != "notifications") {
    std::fprintf(stderr, "usage: simctl logs DIR [calls|notifications]\n");
    return 2;
  }
  if (which != "notifications") printLog(dir, calmora::names::kBlockedCallsPath, "Blocked calls", false);
  if (which != "calls") printLog(dir, calmora::names::kBlockedNotifPath, "Blocked notifications", true);
  return 0;
}

}  // namespace simctl
