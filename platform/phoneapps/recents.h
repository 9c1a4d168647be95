// Recents: the calls the phone handed on, newest first, All or Missed; a
// missed call's name in red. Phone shows every app's calls, FaceTime its own.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/phoneapps/records_feed.h"
#include "platform/uikit/table_view_controller.h"

namespace platform::uikit {
class UISegmentedControl;
}

namespace platform::phoneapps {

class RecentsController : public uikit::UITableViewController {
 public:
  // `bundle` empty: every app's calls.
  explicit RecentsController(std::string bundle);
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  int numberOfRowsInSection(uikit::UITableView&, int) override { return int(shown().size()); }
  uikit::UITableViewCellPtr cellForRowAtIndexPath(uikit::UITableView& table, uikit::NSIndexPath path) override;

  void reload();
  void showMissedOnly(bool missed);

 private:
  void load(int64_t limit);
  const std::vector<size_t>& shown() const { return missedOnly_ ? missed_ : all_; }
  std::string bundle_;
  std::vector<CallEntry> calls_;
  std::vector<size_t> all_, missed_;
  bool missedOnly_ = false;
  std::shared_ptr<uikit::UISegmentedControl> filter_;
  std::unique_ptr<RecordsWatch> watch_;
};

}  // namespace platform::phoneapps
