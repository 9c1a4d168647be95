// Named counts that any library of a process may set and the process's
// status includes, so that the home screen reports what a library it
// loaded keeps without knowing that library.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace platform {

class StatusExtras {
 public:
  void set(std::string_view name, int64_t value);
  std::map<std::string, int64_t> values() const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, int64_t, std::less<>> values_;
};

// The table of the process: the one its owner installed, else one of its
// own, so that a library may set counts whoever runs it.
std::shared_ptr<StatusExtras> statusExtras();
void setStatusExtras(std::shared_ptr<StatusExtras> extras);

}  // namespace platform
