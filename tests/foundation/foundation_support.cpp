#include "tests/foundation/foundation_support.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/foundation/log.h"

namespace foundationtest {
namespace fs = std::filesystem;

void ScratchFolder::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  dir = fs::temp_directory_path() /
        ("calmora-foundation-" + std::to_string(::getpid()) + "-" + info->test_suite_name() + "-" + info->name());
  fs::remove_all(dir);
  fs::create_directories(dir);
}

void ScratchFolder::TearDown() {
  std::error_code ec;
  fs::remove_all(dir, ec);
}

std::vector<std::string> ScratchFolder::names() const {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

std::string ScratchFolder::readBytes(const fs::path& file) const {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void ScratchFolder::writeBytes(const fs::path& file, const std::string& bytes) const {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
}

LogCapture::LogCapture() { platform::setLogSink(&LogCapture::sink, this); }
LogCapture::~LogCapture() { platform::setLogSink(nullptr, nullptr); }

void LogCapture::sink(std::string_view line, void* self) {
  auto* c = static_cast<LogCapture*>(self);
  std::lock_guard lock(c->mutex_);
  c->lines_.emplace_back(line);
}

bool LogCapture::contains(const std::string& text) const {
  std::lock_guard lock(mutex_);
  for (const auto& l : lines_)
    if (l.find(text) != std::string::npos) return true;
  return false;
}

std::vector<std::string> LogCapture::lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

pid_t startChild(const std::function<int()>& body) {
  pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  return pid;
}

int waitChild(pid_t pid, int ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  int status = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) return status;
    if (r < 0) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, &status, 0);
  return -1;
}

}  // namespace foundationtest
