#include "platform/uikit/table_view_controller.h"

namespace platform::uikit {

UITableViewController::UITableViewController(UITableViewStyle style) : style_(style) {}

void UITableViewController::loadView() {
  auto table = make<UITableView>(style_, UIScreen::mainScreen().bounds());
  table->setDataSource(this);
  table->setDelegate(this);
  setView(table);
}

UITableView* UITableViewController::tableView() { return static_cast<UITableView*>(view().get()); }

void UITableViewController::setRefreshControl(std::shared_ptr<UIRefreshControl> control) {
  tableView()->setRefreshControl(std::move(control));
}

void UITableViewController::viewWillAppear(bool animated) {
  if (clearsSelection_)
    if (auto selected = tableView()->indexPathForSelectedRow()) tableView()->deselectRowAtIndexPath(*selected, animated);
}

}  // namespace platform::uikit
