// UITableViewController: a screen that is a table, its own data source and delegate.
#pragma once

#include "platform/uikit/table_view.h"
#include "platform/uikit/view_controller.h"

namespace platform::uikit {

class UITableViewController : public UIViewController, public UITableViewDataSource, public UITableViewDelegate {
 public:
  explicit UITableViewController(UITableViewStyle style = UITableViewStyle::Plain);
  UITableView* tableView();
  UIRefreshControl* refreshControl() { return tableView()->refreshControl(); }
  void setRefreshControl(std::shared_ptr<UIRefreshControl> control);
  bool clearsSelectionOnViewWillAppear() const { return clearsSelection_; }
  void setClearsSelectionOnViewWillAppear(bool clears) { clearsSelection_ = clears; }

  void loadView() override;
  void viewWillAppear(bool animated) override;
  int numberOfRowsInSection(UITableView&, int) override { return 0; }
  UITableViewCellPtr cellForRowAtIndexPath(UITableView&, NSIndexPath) override { return nullptr; }

 private:
  UITableViewStyle style_;
  bool clearsSelection_ = true;
};

}  // namespace platform::uikit
