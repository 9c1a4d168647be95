#include "platform/foundation/process_info.h"

#include "platform/foundation/file_io.h"
#include "platform/foundation/plist.h"

namespace platform {

std::optional<std::vector<std::string>> processArguments(pid_t pid) {
  if (pid <= 0) return std::nullopt;
  auto bytes = readFile("/proc/" + std::to_string(pid) + "/cmdline");
  if (!bytes || bytes->empty()) return std::nullopt;  // a zombie has no arguments
  std::vector<std::string> args;
  for (size_t at = 0; at < bytes->size();) {
    size_t end = bytes->find('\0', at);
    if (end == std::string::npos) end = bytes->size();
    args.emplace_back(*bytes, at, end - at);
    at = end + 1;
  }
  return args;
}

std::optional<pid_t> parentProcess(pid_t pid) {
  if (pid <= 0) return std::nullopt;
  auto stat = readFile("/proc/" + std::to_string(pid) + "/stat");
  if (!stat) return std::nullopt;
  // "PID (NAME) STATE PPID ...": the name may hold spaces and parentheses.
  size_t close = stat->rfind(')');
  if (close == std::string::npos || close + 4 > stat->size()) return std::nullopt;
  auto parent = plist::decimalValue(std::string_view(*stat).substr(close + 4));
  if (!parent || *parent < 0 || *parent > INT32_MAX) return std::nullopt;
  return static_cast<pid_t>(*parent);
}

std::optional<pid_t> readPidFile(const std::filesystem::path& file) {
  auto bytes = readFile(file);
  if (!bytes) return std::nullopt;
  auto pid = plist::decimalValue(*bytes);
  if (!pid || *pid <= 0 || *pid > INT32_MAX) return std::nullopt;
  return static_cast<pid_t>(*pid);
}

}  // namespace platform
