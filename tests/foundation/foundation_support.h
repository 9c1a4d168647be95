// Shared by the foundation tests: a scratch folder per test, a capture of
// the diagnostic lines, and child processes with a watchdog.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace foundationtest {

class ScratchFolder : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Files of the folder, by name, sorted.
  std::vector<std::string> names() const;
  std::string readBytes(const std::filesystem::path& file) const;
  void writeBytes(const std::filesystem::path& file, const std::string& bytes) const;
  std::filesystem::path dir;
};

class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;
  bool contains(const std::string& text) const;
  std::vector<std::string> lines() const;

 private:
  static void sink(std::string_view line, void* self);
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

// Runs `body` in a forked child, which exits with the status body returns.
pid_t startChild(const std::function<int()>& body);
// Waits for the child; SIGKILLs it and answers -1 when it has not ended
// within `ms`. Otherwise answers the raw wait status.
int waitChild(pid_t pid, int ms);

}  // namespace foundationtest
