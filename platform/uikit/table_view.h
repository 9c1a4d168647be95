// UITableView: rows in sections, asked of a data source only for the rows
// on screen (and a small margin), with reusable cells.
#pragma once

#include <QString>
#include <map>
#include <optional>
#include <vector>

#include "platform/uikit/scroll_view.h"
#include "platform/uikit/table_cell.h"

namespace platform::uikit {

struct NSIndexPath {
  int section = 0;
  int row = 0;
  auto operator<=>(const NSIndexPath&) const = default;
};

inline constexpr double UITableViewAutomaticDimension = -1;

enum class UITableViewStyle { Plain, Grouped };
enum class UITableViewScrollPosition { None, Top, Middle, Bottom };
enum class UITableViewCellEditingStyle { None, Delete };

class UITableView;

class UITableViewDataSource {
 public:
  virtual ~UITableViewDataSource() = default;
  virtual int numberOfSectionsInTableView(UITableView&) { return 1; }
  virtual int numberOfRowsInSection(UITableView& table, int section) = 0;
  virtual UITableViewCellPtr cellForRowAtIndexPath(UITableView& table, NSIndexPath path) = 0;
  virtual std::optional<QString> titleForHeaderInSection(UITableView&, int) { return std::nullopt; }
  virtual std::optional<QString> titleForFooterInSection(UITableView&, int) { return std::nullopt; }
  // A row that answers true offers "Delete": after a swipe from the right,
  // or after its red control in editing mode. "Delete" commits it here.
  virtual bool canEditRowAtIndexPath(UITableView&, NSIndexPath) { return false; }
  virtual void commitEditingStyle(UITableView&, UITableViewCellEditingStyle, NSIndexPath) {}
};

class UITableViewDelegate {
 public:
  virtual ~UITableViewDelegate() = default;
  // UITableViewAutomaticDimension: the cell's own height.
  virtual double heightForRowAtIndexPath(UITableView& table, NSIndexPath path);
  virtual void didSelectRowAtIndexPath(UITableView&, NSIndexPath) {}
};

class UITableView : public UIScrollView {
 public:
  explicit UITableView(UITableViewStyle style = UITableViewStyle::Plain, const CGRect& frame = {});
  UITableViewStyle style() const { return style_; }
  // Held weakly, as the toolkit does: the owner outlives the table.
  void setDataSource(UITableViewDataSource* source);
  void setDelegate(UITableViewDelegate* delegate);
  UITableViewDataSource* dataSource() const { return source_; }

  // A change places the rows again.
  double rowHeight() const { return rowHeight_; }
  void setRowHeight(double height);
  double estimatedRowHeight() const { return estimatedRowHeight_; }
  void setEstimatedRowHeight(double height);
  UIEdgeInsets separatorInset() const { return separatorInset_; }
  void setSeparatorInset(UIEdgeInsets inset);

  void reloadData();
  UITableViewCellPtr dequeueReusableCellWithIdentifier(const QString& identifier);
  int numberOfSections() const { return int(sections_.size()); }
  int numberOfRowsInSection(int section) const;
  // The cell shown at a path; null when it is off screen.
  UITableViewCell* cellForRowAtIndexPath(NSIndexPath path) const;
  std::optional<NSIndexPath> indexPathForCell(const UITableViewCell* cell) const;
  std::optional<NSIndexPath> indexPathForRowAtPoint(CGPoint point) const;  // content coordinates
  std::vector<NSIndexPath> indexPathsForVisibleRows() const;
  // The cells the table holds for the rows on screen and a small margin, in row order.
  std::vector<UITableViewCell*> visibleCells() const;
  CGRect rectForRowAtIndexPath(NSIndexPath path) const;  // content coordinates
  void selectRowAtIndexPath(NSIndexPath path);
  void deselectRowAtIndexPath(NSIndexPath path, bool animated);
  std::optional<NSIndexPath> indexPathForSelectedRow() const { return selected_; }
  void scrollToRowAtIndexPath(NSIndexPath path, UITableViewScrollPosition position, bool animated);
  // Behind the rows, the size of the table and still as they scroll; an
  // empty list's message, say.
  const UIViewPtr& backgroundView() const { return background_; }
  void setBackgroundView(UIViewPtr view);
  const UIViewPtr& tableFooterView() const { return footer_; }
  void setTableFooterView(UIViewPtr view);
  // Above the first section; it scrolls with the rows.
  const UIViewPtr& tableHeaderView() const { return header_; }
  void setTableHeaderView(UIViewPtr view);

  // Editing mode: each editable row shows a red control that reveals its
  // "Delete"; a tap on a row then selects nothing.
  bool isEditing() const { return editing_; }
  void setEditing(bool editing, bool animated = false);
  // The row whose "Delete" shows, moved aside; at most one.
  std::optional<NSIndexPath> revealedRow() const { return revealed_; }
  void revealDeleteForRow(std::optional<NSIndexPath> path);

  // How many times the data source was asked for a cell.
  uint64_t cellsConfigured() const { return configured_; }

  void layoutSubviews() override;
  bool touchesBegan(CGPoint point) override;
  void touchesMoved(CGPoint point) override;
  void touchesEnded(CGPoint point) override;

 protected:
  void tapAt(CGPoint point) override;
  void didScroll() override {
    if (background_) background_->setFrame(bounds());
    layoutRows();
  }

 private:
  enum class RowHeight : char { Fixed, Estimated, Measured };
  // A row whose kind or height differs from its section's base.
  struct OddRow {
    int row;
    RowHeight kind;
    double height;  // an automatic row's estimate until it is measured
    double top;
  };
  // Rows at one base height plus the rows that differ, in order: a reload
  // and the positions cost in proportion to the odd rows, so a table of
  // equal or estimated rows opens in the time of its screen, whatever its
  // length. Base rows' positions follow arithmetically from the odd ones.
  struct Section {
    double top = 0;  // of the header
    double header = 0, footer = 0;
    std::optional<QString> headerTitle, footerTitle;
    int rows = 0;
    RowHeight baseKind = RowHeight::Fixed;
    double base = 0;  // an estimated base is the estimate at the last positioning
    std::vector<OddRow> odd;
    size_t oddFrom(int row) const;  // the first odd row at or after `row`
    double topAfter(size_t next, int row) const;  // `next`: oddFrom(row)
    double topOf(int row) const;
    double heightOf(int row) const;
    int rowAt(double y) const;  // the last row whose top is at or above y; 0 when none
    double rowsTop() const { return top + header; }
    double rowsBottom() const { return rows ? topOf(rows - 1) + heightOf(rows - 1) : rowsTop(); }
    double bottom() const { return rowsBottom() + footer; }
  };
  double estimate() const { return learnedEstimate_ > 0 ? learnedEstimate_ : estimatedRowHeight_; }
  // Asks the data source for the cell of `p`, measuring it if its height is automatic.
  void configure(NSIndexPath p, std::map<NSIndexPath, UITableViewCellPtr>& into, bool& moved);
  void computePositions();
  void layoutRows();
  void placeHeaders(double top, double bottom);
  void enqueue(const UITableViewCellPtr& cell);
  // Ends a layout pass for the cells that left the screen: queued ones are
  // hidden, ones that cannot be reused are let go.
  void settleLeftCells();
  void markMoved(NSIndexPath from);
  // Editing: where a shown row's cell lies across,
  // and the "Delete" button and red controls placed beside the cells.
  double rowShift(NSIndexPath p) const;
  void placeEditingViews();
  bool canEdit(NSIndexPath p) const;
  void commitDelete();

  UITableViewStyle style_;
  double rowHeight_ = UITableViewAutomaticDimension;
  double estimatedRowHeight_ = 44;
  UIEdgeInsets separatorInset_{0, 15, 0, 0};
  UITableViewDataSource* source_ = nullptr;
  UITableViewDelegate* delegate_ = nullptr;
  std::vector<Section> sections_;
  std::map<NSIndexPath, UITableViewCellPtr> visible_;
  std::map<QString, std::vector<UITableViewCellPtr>> reusable_;
  // Cells without a reuse identifier that left the screen in this pass.
  std::vector<UITableViewCellPtr> leaving_;
  std::map<std::pair<int, bool>, UIViewPtr> headers_;  // (section, footer)
  std::optional<NSIndexPath> selected_;
  UIViewPtr footer_;
  UIViewPtr background_;
  UIViewPtr header_;
  bool editing_ = false;
  std::optional<NSIndexPath> revealed_;
  std::shared_ptr<UIView> deleteButton_;
  std::vector<std::shared_ptr<UIView>> editControls_;
  // A touch goes either across a row (a swipe) or along the table (a
  // scroll), decided once it has moved a little.
  enum class Gesture : char { Undecided, Along, Across };
  Gesture gesture_ = Gesture::Undecided;
  CGPoint touchStart_;  // window coordinates
  std::optional<NSIndexPath> touchRow_;
  uint64_t configured_ = 0;
  double learnedEstimate_ = 0;  // the last measured automatic height
  double laidOutWidth_ = -1;
  std::optional<NSIndexPath> movedFrom_;  // the first row whose position is stale
  bool loaded_ = false;
  bool inLayout_ = false;
};

using UITableViewPtr = std::shared_ptr<UITableView>;

}  // namespace platform::uikit
