#include "tests/uikit/app_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/automation/client.h"
#include "platform/automation/typed_json.h"
#include "platform/automation/ui_verbs.h"
#include "tests/support/wait.h"

namespace testsupport {

namespace fs = std::filesystem;
namespace ui = platform::automation::ui;

AppProcess::AppProcess(const fs::path& root, const fs::path& bundle, const std::string& id)
    : socket_(platform::automation::socketFile(root, id)) {
  const fs::path installed = root / "Applications" / bundle.filename();
  std::error_code ec;
  fs::create_directories(installed.parent_path(), ec);
  // run/ as boot makes it, owner-only: the app's runtime folder.
  fs::create_directories(root / "run", ec);
  fs::permissions(root / "run", fs::perms::owner_all, ec);
  fs::copy(bundle, installed, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
  const std::string exe = (installed / bundle.stem()).string();
  const std::string rootText = root.string();
  pid_ = ::fork();
  if (pid_ == 0) {
    ::execl(exe.c_str(), exe.c_str(), rootText.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
    if (platform::automation::request(socket_, requestOf(ui::kTree), 2000)) {
      ready_ = true;
      return;
    }
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

AppProcess::~AppProcess() { quit(); }

QJsonObject AppProcess::ask(const QJsonObject& request, int timeoutMs) const {
  auto reply = platform::automation::request(socket_, request, timeoutMs);
  return reply ? *reply.answer : QJsonObject{{"code", "noAnswer"}};
}

int AppProcess::quit() {
  if (pid_ <= 0) return -1;
  platform::automation::request(socket_, requestOf(ui::kQuit), 5000);
  int status = waitChild(pid_, 10000);
  pid_ = -1;
  return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int AppProcess::end(int signal) {
  if (pid_ <= 0) return -1;
  ::kill(pid_, signal);
  int status = waitChild(pid_, 10000);
  pid_ = -1;
  return status;
}

}  // namespace testsupport
