// Opening a table, scrolling to its end and back: the time and the number
// of cells the data source configures should follow the screen, not the rows.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>

#include "platform/uikit/table_view_controller.h"
#include "platform/uikit/window.h"

using namespace platform::uikit;

namespace {

class Rows : public UITableViewController {
 public:
  explicit Rows(int rows) : rows_(rows) {}
  int numberOfRowsInSection(UITableView&, int) override { return rows_; }
  UITableViewCellPtr cellForRowAtIndexPath(UITableView& table, NSIndexPath p) override {
    auto cell = table.dequeueReusableCellWithIdentifier("Row");
    if (!cell) cell = make<UITableViewCell>(UITableViewCellStyle::Subtitle, "Row");
    cell->textLabel()->setText(QString("Row %1").arg(p.row));
    cell->detailTextLabel()->setText("12:00");
    return cell;
  }

 private:
  int rows_;
};

// The screen of a table on a window, laid out: what opening a list costs.
struct OpenTable {
  explicit OpenTable(int rows) : screen(std::make_shared<Rows>(rows)) {
    window->setRootViewController(screen);
    window->makeKeyAndVisible();
    window->layoutIfNeeded();
  }
  std::shared_ptr<UIWindow> window = make<UIWindow>(CGRect(0, 0, 375, 667));
  std::shared_ptr<Rows> screen;
};

// A turn of the event loop, as the app has between screens: the closed
// window's widgets go and the queued paints are served.
void settle() {
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void Open(benchmark::State& state) {
  for (auto _ : state) {
    {
      OpenTable open(int(state.range(0)));
      benchmark::DoNotOptimize(open.screen->tableView()->indexPathsForVisibleRows());
    }
    settle();
  }
}
BENCHMARK(Open)->Arg(10)->Arg(10000)->Unit(benchmark::kMicrosecond);

void OpenScrollToEndAndBack(benchmark::State& state) {
  const int rows = int(state.range(0));
  uint64_t configured = 0;
  for (auto _ : state) {
    {
      OpenTable open(rows);
      UITableView* table = open.screen->tableView();
      table->scrollToRowAtIndexPath({0, rows - 1}, UITableViewScrollPosition::Bottom, false);
      table->scrollToRowAtIndexPath({0, 0}, UITableViewScrollPosition::Top, false);
      configured += table->cellsConfigured();
      benchmark::DoNotOptimize(table->indexPathsForVisibleRows());
    }
    settle();
  }
  state.counters["cellsConfigured"] = benchmark::Counter(double(configured), benchmark::Counter::kAvgIterations);
}
BENCHMARK(OpenScrollToEndAndBack)->Arg(10)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  // As an app's main sets them (platform/uikit/application.cpp).
  if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  if (!std::getenv("QT_NO_GLIB")) ::setenv("QT_NO_GLIB", "1", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
