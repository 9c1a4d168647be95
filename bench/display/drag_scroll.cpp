// Scrolling a 10,000-row table by dragging on the device's display, in one
// run on a device of its own (booted with build/bin/simctl, shut down at the
// end): the log viewer's Calls list on a log of 10,000 records with real
// icons, the finger put down on it and moved up through the display's
// pointer verb as a desktop mouse moves (a move every 8 ms), lifted and put
// down again, several strokes long; with the device window open where
// $DISPLAY is set. Once with the app drawing at one pixel a point, once at
// two (the display's scale as the device window at 200% asks it).
//   drag      the distinct frames the display publishes while the finger
//             moves (their pixels differ from the frame before), per second
//   move      one move at a time, the finger held: from the move to the
//             display's next frame (median, 95th percentile)
// The row at the top of the list, read from the app's tree, must have moved
// on by the drag's length, or the figures mean nothing and the run fails.
// Prints one line per figure.
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <vector>

#include "bench/calls_log.h"
#include "common/names.h"
#include "platform/automation/client.h"
#include "platform/automation/display_verbs.h"
#include "platform/automation/socket_address.h"
#include "platform/automation/typed_json.h"
#include "platform/automation/ui_verbs.h"
#include "platform/display_client/frame_file.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/plist.h"

namespace {
namespace fs = std::filesystem;
namespace ui = platform::automation::ui;
namespace display = platform::automation::display;
using Clock = std::chrono::steady_clock;

fs::path gBin, gDevice;
constexpr const char* kApp = "com.veltrane.calmora";
constexpr int kRecords = 10000;
// A stroke: the finger down low on the list, up the screen in 4-point moves
// 8 ms apart, lifted.
constexpr double kX = 187, kFromY = 560, kToY = 140, kStep = 4;
constexpr auto kMoveEvery = std::chrono::microseconds(8000);
constexpr int kStrokes = 6;
constexpr int kPacedMoves = 100;

int simctl(const QStringList& args) {
  QProcess p;
  p.start(QString::fromStdString((gBin / "simctl").string()), args);
  p.waitForFinished(60000);
  return p.exitCode();
}

[[noreturn]] void stop(const char* why) {
  std::fprintf(stderr, "display_scroll_bench: %s\n", why);
  simctl({"shutdown", QString::fromStdString(gDevice.string())});
  fs::remove_all(gDevice.parent_path());
  std::exit(1);
}

// A connection kept open to the display, one request and one answer at a time.
class Line {
 public:
  // An answer not there within `timeoutS` seconds (0: no limit) is empty.
  explicit Line(const fs::path& socket, int timeoutS = 0) {
    auto address = platform::automation::SocketAddress::of(socket);
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (!address || ::connect(fd_, address->get(), address->size()) != 0) stop("cannot reach the display");
    const timeval limit{timeoutS, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  }
  ~Line() { ::close(fd_); }
  // An empty answer once the connection is shut or the time is up.
  QJsonObject ask(const QJsonObject& request) {
    const QByteArray bytes = QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n';
    if (::write(fd_, bytes.constData(), static_cast<size_t>(bytes.size())) != bytes.size()) return {};
    std::string line;
    char c;
    while (::read(fd_, &c, 1) == 1 && c != '\n') line += c;
    return QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
  }
  // Ends a request waiting in another thread.
  void shut() { ::shutdown(fd_, SHUT_RDWR); }

 private:
  int fd_ = -1;
};

QJsonObject askApp(const QJsonObject& request) {
  auto reply = platform::automation::request(platform::automation::socketFile(gDevice, kApp), request, 10000);
  return reply ? *reply.answer : QJsonObject{};
}

// The log viewer's Calls log of `records` records, newest last, each with
// one of the installed apps' icons as a capture encodes it.
void writeCallsLog(int records) {
  const auto icons = calmora::bench::installedAppIcons(gDevice);
  if (icons.empty()) stop("the device has no app icons");
  if (!platform::plist::writeXmlAtomically(platform::devicePath(gDevice, calmora::names::kBlockedCallsPath),
                                           calmora::bench::callsLog(records, icons).ref()))
    stop("cannot write the calls log");
}

// The text of the first row of the Calls list whose cell reaches below the
// table's top edge: what a person sees at the top of the list.
QString topRow() {
  const QJsonObject tree = askApp(requestOf(ui::kTree))["tree"].toObject();
  double tableTop = 0;
  int best = -1;
  QString text;
  std::function<void(const QJsonObject&)> walk = [&](const QJsonObject& n) {
    if (!n["visible"].toBool(true)) return;
    const QJsonArray frame = n["frame"].toArray();
    if (n["class"] == "UITableView") tableTop = frame[1].toDouble();
    if (n["class"] == "UITableViewCell" && n.contains("row") &&
        frame[1].toDouble() + frame[3].toDouble() > tableTop && (best < 0 || n["row"].toInt() < best)) {
      best = n["row"].toInt();
      text = n["text"].toString();
    }
    for (const auto& child : n["children"].toArray()) walk(child.toObject());
  };
  walk(tree);
  return text;
}

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

double msBetween(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

// Every frame the display publishes, as the device window takes it: its
// answer to "frame", then its pixels read from the frame file. A frame
// whose pixels equal the one before is not counted as new.
class FrameWatch {
 public:
  FrameWatch() : line_(gDevice / "run/display.sock") {
    int fd = -1;
    if (!platform::automation::request(gDevice / "run/display.sock", encode(display::kFramesCall, {}), 5000, &fd))
      stop("the display did not hand over its frames");
    auto file = platform::display::FrameFile::open(fd);
    if (!file) stop(file.error().c_str());
    file_.emplace(std::move(*file));
    seq_ = line_.ask(encode(display::kFrameCall, {0}))["seq"].toDouble();
    thread_ = std::thread([this] { run(); });
  }
  ~FrameWatch() {
    done_ = true;
    line_.shut();
    thread_.join();
  }
  // The distinct frames so far, and the size of the latest in pixels.
  int count() const { return count_; }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  void run() {
    uint64_t last = 0;
    while (!done_) {
      const QJsonObject a = line_.ask(encode(display::kFrameCall, {seq_}));
      if (!a.contains("seq")) return;
      seq_ = a["seq"].toDouble();
      const platform::display::FrameSize size{a["width"].toInt(), a["height"].toInt(), a["stride"].toInt()};
      width_ = size.width;
      height_ = size.height;
      auto pixels = file_->read(a["slot"].toInt(), size);
      copy_.assign(pixels.begin(), pixels.end());
      const uint64_t hash = std::hash<std::string_view>{}(
          std::string_view(reinterpret_cast<const char*>(copy_.data()), copy_.size()));
      if (hash != last) ++count_;
      last = hash;
    }
  }

  Line line_;
  std::optional<platform::display::FrameFile> file_;
  std::vector<uint8_t> copy_;
  double seq_ = 0;
  std::atomic<bool> done_{false};
  std::atomic<int> count_{0}, width_{0}, height_{0};
  std::thread thread_;
};

QJsonObject finger(Line& line, double y, const char* phase) {
  return line.ask(encode(display::kPointerCall, {kX, y, phase}));
}

struct Drag {
  int frames = 0, moves = 0, width = 0, height = 0;
  double ms = 0;
};

// The strokes, a move every 8 ms, with the frames they brought.
Drag drag(Line& input) {
  Drag d;
  FrameWatch watch;
  const auto start = Clock::now();
  auto due = start;
  for (int s = 0; s < kStrokes; ++s) {
    finger(input, kFromY, "down");
    for (double y = kFromY - kStep; y >= kToY; y -= kStep) {
      std::this_thread::sleep_until(due += kMoveEvery);
      if (!finger(input, y, "move").contains("ok")) stop("the display did not take a move");
      ++d.moves;
    }
    finger(input, kToY, "up");
  }
  // The last move's frame, if it is still on its way.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  d.frames = watch.count();
  d.width = watch.width();
  d.height = watch.height();
  d.ms = msBetween(start, Clock::now());
  return d;
}

// One move at a time, the finger held: from each move to the display's next frame.
std::vector<double> movesOneByOne(Line& input) {
  std::vector<double> times;
  Line frameLine(gDevice / "run/display.sock", 5);
  finger(input, kFromY, "down");
  // Past the slop that tells a drag from a tap: from here each move scrolls.
  double y = kFromY - 3 * kStep;
  finger(input, y, "move");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  for (int i = 0; i < kPacedMoves; ++i) {
    y -= kStep;
    const double seq = frameLine.ask(encode(display::kFrameCall, {0}))["seq"].toDouble();
    const auto start = Clock::now();
    finger(input, y, "move");
    if (!frameLine.ask(encode(display::kFrameCall, {seq})).contains("seq"))
      stop("a move brought no frame within 5 s");
    times.push_back(msBetween(start, Clock::now()));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  finger(input, y, "up");
  return times;
}

}  // namespace

int main() {
  gBin = fs::read_symlink("/proc/self/exe").parent_path();
  char folder[] = "/tmp/calmora-scroll-bench.XXXXXX";
  if (!::mkdtemp(folder)) return 1;
  gDevice = fs::path(folder) / "device";
  if (simctl({"boot", QString::fromStdString(gDevice.string())}) != 0) stop("the device did not boot");
  writeCallsLog(kRecords);
  if (simctl({"launch", QString::fromStdString(gDevice.string()), kApp}) != 0) stop("the log viewer did not launch");
  // Newest first: the last record heads the list.
  const QString newest = QString("Call from Contact %1").arg(kRecords - 1);
  if (!askApp(requestOf(ui::kWait, {{"text", newest}, {"timeout", 30}}))["found"].toBool())
    stop("the Calls list did not show the log");
  const QString before = topRow();
  // With a desktop, the device window shows every frame too, as when a person drags.
  const bool shown = std::getenv("DISPLAY") && simctl({"open", QString::fromStdString(gDevice.string())}) == 0;

  Line input(gDevice / "run/display.sock", 5);
  const Drag at1x = drag(input);
  const QString afterDrag = topRow();
  const std::vector<double> moves1x = movesOneByOne(input);
  // As the device window at 200% asks: the app draws twice the pixels each way.
  if (!input.ask(encode(display::kScaleCall, {2})).contains("scale")) stop("the display took no scale");
  {
    Line frameLine(gDevice / "run/display.sock", 5);
    double seq = 0;
    for (int i = 0; i < 50; ++i) {
      const QJsonObject frame = frameLine.ask(encode(display::kFrameCall, {seq}));
      if (frame["width"].toInt() > 375 || !frame.contains("seq")) break;
      seq = frame["seq"].toDouble();
    }
  }
  const Drag at2x = drag(input);
  const std::vector<double> moves2x = movesOneByOne(input);

  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::printf("table: the log viewer's Calls list, %d records; top row before \"%s\", after the first drag \"%s\"\n",
              kRecords, qPrintable(before), qPrintable(afterDrag));
  for (const auto& [name, d, oneByOne] :
       {std::tuple{"1x", at1x, moves1x}, std::tuple{"2x (the window at 200%)", at2x, moves2x}}) {
    std::printf("drag at %s, %s: %d strokes of %.0f points, %d moves in %.0f ms (%.0f moves/s)\n", name,
                shown ? "window open" : "no window", kStrokes, kFromY - kToY, d.moves, d.ms, d.moves / d.ms * 1000);
    std::printf("  %d distinct frames %dx%d, %.1f frames/s (target at least 30), %.2f a move\n", d.frames, d.width,
                d.height, d.frames / d.ms * 1000, static_cast<double>(d.frames) / d.moves);
    std::printf("  a move to its frame, one at a time: median %.2f ms, p95 %.2f ms over %zu moves\n",
                percentile(oneByOne, 0.5), percentile(oneByOne, 0.95), oneByOne.size());
  }

  simctl({"shutdown", QString::fromStdString(gDevice.string())});
  fs::remove_all(folder);
  // The figures stand only if the list really moved on by the drag's length.
  const int rowsBefore = before.section(' ', -1).toInt(), rowsAfter = afterDrag.section(' ', -1).toInt();
  if (before.isEmpty() || afterDrag.isEmpty() || rowsBefore - rowsAfter < kStrokes * 4) {
    std::fprintf(stderr, "display_scroll_bench: the drag did not scroll the list\n");
    return 1;
  }
  return 0;
}
