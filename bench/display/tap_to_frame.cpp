// A tap through the display against the same tap through the app's control
// socket, in one run on a device of its own (booted with build/bin/simctl,
// shut down at the end). 100 taps that push and pop the Settings app's
// "General" page:
//   window    the finger down and up on the display, until the display has
//             the app's next frame (what the device window shows next)
//   headless  `simctl ui tap --at X Y`'s request, until its answer
// Then the display's and the home screen's CPU time over 30 s of nothing
// happening (the device window open where there is a desktop), from /proc. Prints median and 95th percentile, and the ratio.
#include <sys/socket.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/automation/client.h"
#include "platform/automation/display_verbs.h"
#include "platform/automation/socket_address.h"
#include "platform/automation/typed_json.h"
#include "platform/automation/ui_verbs.h"

namespace {
namespace fs = std::filesystem;
namespace ui = platform::automation::ui;
namespace display = platform::automation::display;
using Clock = std::chrono::steady_clock;

fs::path gBin, gDevice;
constexpr const char* kApp = "com.apple.Preferences";

int simctl(const QStringList& args) {
  QProcess p;
  p.start(QString::fromStdString((gBin / "simctl").string()), args);
  p.waitForFinished(60000);
  return p.exitCode();
}

// A connection kept open to the display, one request and one answer at a time.
class Line {
 public:
  explicit Line(const fs::path& socket) {
    auto address = platform::automation::SocketAddress::of(socket);
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (!address || ::connect(fd_, address->get(), address->size()) != 0) {
      std::fprintf(stderr, "cannot reach %s\n", socket.c_str());
      std::exit(1);
    }
  }
  ~Line() { ::close(fd_); }
  QJsonObject ask(const QJsonObject& request) {
    const QByteArray bytes = QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n';
    if (::write(fd_, bytes.constData(), static_cast<size_t>(bytes.size())) != bytes.size()) std::exit(1);
    std::string line;
    char c;
    while (::read(fd_, &c, 1) == 1 && c != '\n') line += c;
    return QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
  }

 private:
  int fd_ = -1;
};

QJsonObject askApp(const QJsonObject& request) {
  auto reply = platform::automation::request(platform::automation::socketFile(gDevice, kApp), request, 10000);
  return reply ? *reply.answer : QJsonObject{};
}

void settle(const char* text) {
  askApp(requestOf(ui::kWait, {{"text", text}, {"timeout", 5}}));
  // The push and pop animate; the next tap starts on a still screen.
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
}

double percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

long cpuTicks(const fs::path& pidFile) {
  std::ifstream pf(pidFile);
  long pid = 0;
  pf >> pid;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string all((std::istreambuf_iterator<char>(stat)), {});
  std::istringstream rest(all.substr(all.rfind(')') + 2));
  std::string field;
  long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && rest >> field; ++i) {
    if (i == 14) utime = std::stol(field);
    if (i == 15) stime = std::stol(field);
  }
  return utime + stime;
}

}  // namespace

int main() {
  gBin = fs::read_symlink("/proc/self/exe").parent_path();
  char folder[] = "/tmp/calmora-display-bench.XXXXXX";
  if (!::mkdtemp(folder)) return 1;
  gDevice = fs::path(folder) / "device";
  if (simctl({"boot", QString::fromStdString(gDevice.string())}) != 0 ||
      simctl({"launch", QString::fromStdString(gDevice.string()), kApp}) != 0) {
    std::fprintf(stderr, "the device did not come up\n");
    return 1;
  }
  settle("General");
  // The "General" row, then the back button of the page it opens.
  const double row[2] = {187, 173}, back[2] = {40, 42};
  constexpr int kTaps = 100;

  std::vector<double> headless, window;
  for (int i = 0; i < kTaps; ++i) {
    const double* at = i % 2 ? back : row;
    const auto start = Clock::now();
    askApp(requestOf(ui::kTap, {{"x", at[0]}, {"y", at[1]}}));
    headless.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    settle(i % 2 ? "Privacy" : "About");
  }

  Line input(gDevice / "run/display.sock"), frames(gDevice / "run/display.sock");
  for (int i = 0; i < kTaps; ++i) {
    const double* at = i % 2 ? back : row;
    const double seq = frames.ask(encode(display::kFrameCall, {0}))["seq"].toDouble();
    const auto start = Clock::now();
    input.ask(encode(display::kPointerCall, {at[0], at[1], "down"}));
    input.ask(encode(display::kPointerCall, {at[0], at[1], "up"}));
    frames.ask(encode(display::kFrameCall, {seq}));
    window.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    settle(i % 2 ? "Privacy" : "About");
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::printf("tap to answer, headless:   median %.2f ms, p95 %.2f ms\n", percentile(headless, 0.5),
              percentile(headless, 0.95));
  std::printf("tap to frame, display:     median %.2f ms, p95 %.2f ms\n", percentile(window, 0.5),
              percentile(window, 0.95));
  std::printf("display over headless:     median %.2fx, p95 %+.2f ms\n",
              percentile(window, 0.5) / percentile(headless, 0.5),
              percentile(window, 0.95) - percentile(headless, 0.95));

  // With a desktop, the device window is open through the idle time.
  const bool shown = std::getenv("DISPLAY") && simctl({"open", QString::fromStdString(gDevice.string())}) == 0;
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const long ticks = ::sysconf(_SC_CLK_TCK);
  const long before = cpuTicks(gDevice / "run/display.pid") + cpuTicks(gDevice / "run/springboard.pid");
  std::this_thread::sleep_for(std::chrono::seconds(30));
  const long after = cpuTicks(gDevice / "run/display.pid") + cpuTicks(gDevice / "run/springboard.pid");
  std::printf("idle, display + home screen over 30 s (%s): %.2f%% of one core\n",
              shown ? "window open" : "no window", 100.0 * static_cast<double>(after - before) / static_cast<double>(ticks) / 30.0);

  simctl({"shutdown", QString::fromStdString(gDevice.string())});
  fs::remove_all(folder);
  return 0;
}
