#include "platform/uikit/table_view.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <set>

#include "platform/uikit/automation/reading.h"
#include "platform/uikit/controls.h"
#include "platform/uikit/label.h"
#include "platform/uikit/screen.h"

namespace platform::uikit {

namespace {
// Rows this far beyond the screen are prepared too, so a small scroll finds them ready.
constexpr double kMargin = 8;
constexpr int kMaxLayoutPasses = 4;

constexpr double kTitleFontSize = 13;

double headerHeight(UITableViewStyle style, const std::optional<QString>& title, bool footer, double width) {
  if (style != UITableViewStyle::Grouped) return title ? 28 : 0;
  if (!title) return footer ? 18 : 35;
  if (!footer || width <= 30) return 38;
  // A footer is a note that may run to several lines: it grows downwards so
  // that its first line keeps its place under the section.
  auto measure = make<UILabel>();
  measure->setText(*title);
  measure->setFont(UIFont::systemFontOfSize(kTitleFontSize));
  measure->setNumberOfLines(0);
  measure->setLineBreakMode(NSLineBreakMode::ByWordWrapping);
  return std::max(38.0, measure->sizeThatFits(CGSize(width - 30, 0)).height + 22);
}

// A section's header or footer: its title in small grey letters, a grouped
// table's headers in capitals.
class HeaderFooterView : public UIView {
 public:
  HeaderFooterView(const QString& title, bool capitals) : label_(make<UILabel>()) {
    label_->setText(capitals ? title.toUpper() : title);
    label_->setFont(UIFont::systemFontOfSize(kTitleFontSize));
    label_->setTextColor(UIColor::secondaryLabelColor());
    label_->setNumberOfLines(0);
    label_->setLineBreakMode(NSLineBreakMode::ByWordWrapping);
    addSubview(label_);
    title_ = title;
  }
  void layoutSubviews() override {
    CGSize s = label_->sizeThatFits(CGSize(frame().width() - 30, 0));
    label_->setFrame(CGRect(15, frame().height() - s.height - 6, frame().width() - 30, s.height));
  }
  const QString& title() const { return title_; }
  void addFields(QJsonObject& node) const {
    node["text"] = label_->text();  // as drawn; scripts find it by its title
    if (label_->frame().minY() < 0) node["truncated"] = true;  // lines cut off at the top
  }

 private:
  std::shared_ptr<UILabel> label_;
  QString title_;
};

[[maybe_unused]] const bool headerRead = automation::readAs<HeaderFooterView, UIView>({
    .className = "UITableViewHeaderFooterView",
    .fields = [](const HeaderFooterView& v, QJsonObject& node) { v.addFields(node); },
    .children = [](const HeaderFooterView&) { return std::vector<UIView*>(); },
    .text = [](const HeaderFooterView& v) { return v.title(); },
});
}  // namespace

double UITableViewDelegate::heightForRowAtIndexPath(UITableView& table, NSIndexPath) { return table.rowHeight(); }

size_t UITableView::Section::oddFrom(int row) const {
  return size_t(std::lower_bound(odd.begin(), odd.end(), row, [](const OddRow& o, int r) { return o.row < r; }) -
                odd.begin());
}

double UITableView::Section::topAfter(size_t next, int row) const {
  if (next == 0) return rowsTop() + row * base;
  const OddRow& prev = odd[next - 1];
  return prev.top + prev.height + (row - prev.row - 1) * base;
}

double UITableView::Section::topOf(int row) const {
  size_t i = oddFrom(row);
  return i < odd.size() && odd[i].row == row ? odd[i].top : topAfter(i, row);
}

double UITableView::Section::heightOf(int row) const {
  size_t i = oddFrom(row);
  return i < odd.size() && odd[i].row == row ? odd[i].height : base;
}

int UITableView::Section::rowAt(double y) const {
  int lo = 0, hi = rows;
  while (lo < hi) {
    int mid = lo + (hi - lo) / 2;
    if (topOf(mid) <= y) lo = mid + 1;
    else hi = mid;
  }
  return std::max(lo - 1, 0);
}

UITableView::UITableView(UITableViewStyle style, const CGRect& frame) : UIScrollView(frame), style_(style) {
  setBackgroundColor(style == UITableViewStyle::Grouped ? UIColor::systemGroupedBackgroundColor()
                                                        : UIColor::systemBackgroundColor());
}

void UITableView::setDataSource(UITableViewDataSource* source) {
  source_ = source;
  setNeedsLayout();
}

void UITableView::setDelegate(UITableViewDelegate* delegate) {
  delegate_ = delegate;
  setNeedsLayout();
}

int UITableView::numberOfRowsInSection(int section) const {
  return section >= 0 && section < numberOfSections() ? sections_[size_t(section)].rows : 0;
}

void UITableView::enqueue(const UITableViewCellPtr& cell) {
  // Left in place: a cell taken again in the same layout pass only moves.
  // The ones not taken are hidden, or let go, when the pass ends
  // (settleLeftCells).
  cell->setSelected(false);
  cell->setPlacement(-1, -1, separatorInset_, false);
  if (cell->reuseIdentifier().isEmpty())
    leaving_.push_back(cell);
  else
    reusable_[cell->reuseIdentifier()].push_back(cell);
}

UITableViewCellPtr UITableView::dequeueReusableCellWithIdentifier(const QString& identifier) {
  auto it = reusable_.find(identifier);
  if (it == reusable_.end() || it->second.empty()) return nullptr;
  auto cell = std::move(it->second.back());
  it->second.pop_back();
  cell->prepareForReuse();
  return cell;
}

void UITableView::reloadData() {
  loaded_ = true;
  for (auto& [path, cell] : visible_) enqueue(cell);
  visible_.clear();
  settleLeftCells();
  for (auto& [key, view] : headers_) view->removeFromSuperview();
  headers_.clear();
  sections_.clear();
  if (source_) {
    int count = std::max(0, source_->numberOfSectionsInTableView(*this));
    sections_.resize(size_t(count));
    for (int s = 0; s < count; ++s) {
      Section& sec = sections_[size_t(s)];
      int rows = std::max(0, source_->numberOfRowsInSection(*this, s));
      sec.headerTitle = source_->titleForHeaderInSection(*this, s);
      sec.footerTitle = source_->titleForFooterInSection(*this, s);
      sec.header = headerHeight(style_, sec.headerTitle, false, frame().width());
      sec.footer = headerHeight(style_, sec.footerTitle, true, frame().width());
      sec.rows = rows;
      for (int r = 0; r < rows; ++r) {
        double h = delegate_ ? delegate_->heightForRowAtIndexPath(*this, {s, r}) : rowHeight_;
        RowHeight kind = h < 0 ? RowHeight::Estimated : RowHeight::Fixed;
        if (kind == RowHeight::Estimated) h = estimate();
        if (r == 0) {
          sec.baseKind = kind;
          sec.base = h;
        } else if (kind != sec.baseKind || !(h == sec.base)) {
          sec.odd.push_back({r, kind, h, 0});
        }
      }
    }
  }
  markMoved({0, 0});
  revealed_.reset();
  if (selected_ && (selected_->section >= numberOfSections() ||
                    selected_->row >= numberOfRowsInSection(selected_->section)))
    selected_.reset();
  computePositions();
  layoutRows();
}

void UITableView::markMoved(NSIndexPath from) {
  if (!movedFrom_ || from < *movedFrom_) movedFrom_ = from;
}

// Positions from the first row whose height changed; the rows above keep theirs.
void UITableView::computePositions() {
  NSIndexPath from = movedFrom_.value_or(NSIndexPath{0, 0});
  movedFrom_.reset();
  const double estimated = estimate();
  double y = header_ ? header_->frame().height() : 0;
  if (header_) header_->setFrame(CGRect(0, 0, frame().width(), y));
  for (size_t si = 0; si < sections_.size(); ++si) {
    Section& s = sections_[si];
    if (int(si) < from.section) {
      y = s.bottom();
      continue;
    }
    const double base = s.baseKind == RowHeight::Estimated ? estimated : s.base;
    size_t i = 0;
    // A new estimate moves every estimated row, the ones above `from` too.
    if (int(si) == from.section && from.row > 0 && base == s.base) {
      i = s.oddFrom(from.row);
    } else {
      s.top = y;
      s.base = base;
    }
    for (; i < s.odd.size(); ++i) {
      OddRow& o = s.odd[i];
      if (o.kind == RowHeight::Estimated) o.height = estimated;
      o.top = s.topAfter(i, o.row);
    }
    y = s.bottom();
  }
  if (footer_) {
    footer_->setFrame(CGRect(0, y, frame().width(), footer_->frame().height()));
    y += footer_->frame().height();
  }
  setContentSize(CGSize(frame().width(), y));
}

CGRect UITableView::rectForRowAtIndexPath(NSIndexPath p) const {
  if (p.section < 0 || p.section >= numberOfSections() || p.row < 0 || p.row >= numberOfRowsInSection(p.section))
    return {};
  const Section& s = sections_[size_t(p.section)];
  return CGRect(0, s.topOf(p.row), frame().width(), s.heightOf(p.row));
}

std::optional<NSIndexPath> UITableView::indexPathForRowAtPoint(CGPoint point) const {
  for (size_t si = 0; si < sections_.size(); ++si) {
    const Section& s = sections_[si];
    if (s.rows == 0 || point.y < s.rowsTop() || point.y >= s.rowsBottom()) continue;
    return NSIndexPath{int(si), s.rowAt(point.y)};
  }
  return std::nullopt;
}

void UITableView::setRowHeight(double height) {
  if (height == rowHeight_) return;
  rowHeight_ = height;
  loaded_ = false;
  setNeedsLayout();
}

void UITableView::setEstimatedRowHeight(double height) {
  if (height == estimatedRowHeight_) return;
  estimatedRowHeight_ = height;
  loaded_ = false;
  setNeedsLayout();
}

void UITableView::setSeparatorInset(UIEdgeInsets inset) {
  if (inset == separatorInset_) return;
  separatorInset_ = inset;
  setNeedsLayout();
}

void UITableView::layoutSubviews() {
  if (background_) background_->setFrame(bounds());
  placeRefreshControl();
  // A new width changes every automatic height: the rows are asked again.
  if (!loaded_ || frame().width() != laidOutWidth_) {
    laidOutWidth_ = frame().width();
    reloadData();
  } else {
    layoutRows();
  }
  UIScrollView::layoutSubviews();
}

void UITableView::configure(NSIndexPath p, std::map<NSIndexPath, UITableViewCellPtr>& into, bool& moved) {
  ++configured_;
  UITableViewCellPtr cell = source_->cellForRowAtIndexPath(*this, p);
  if (!cell) cell = make<UITableViewCell>(UITableViewCellStyle::Default, QString());
  Section& s = sections_[size_t(p.section)];
  size_t i = s.oddFrom(p.row);
  const bool odd = i < s.odd.size() && s.odd[i].row == p.row;
  // Only the width matters for measuring; the placement moves the cell once.
  if (cell->frame().width() != frame().width())
    cell->setFrame(CGRect(0, cell->frame().minY(), frame().width(), cell->frame().height()));
  if ((odd ? s.odd[i].kind : s.baseKind) != RowHeight::Fixed) {
    double h = cell->sizeThatFits(CGSize(frame().width(), 0)).height;
    if (!odd)
      s.odd.insert(s.odd.begin() + std::ptrdiff_t(i), OddRow{p.row, RowHeight::Measured, s.base, s.topAfter(i, p.row)});
    OddRow& o = s.odd[i];
    o.kind = RowHeight::Measured;
    // The rows not measured yet are estimated like the last one measured.
    if (h != learnedEstimate_) {
      learnedEstimate_ = h;
      markMoved({0, 0});
      moved = true;
    }
    if (h != o.height) {
      o.height = h;
      markMoved(p);
      moved = true;
    }
  }
  into[p] = std::move(cell);
}

void UITableView::layoutRows() {
  if (inLayout_ || !loaded_ || !source_) return;
  inLayout_ = true;
  const double width = frame().width();
  for (int pass = 0; pass < kMaxLayoutPasses; ++pass) {
    const double top = contentOffset().y - kMargin, bottom = contentOffset().y + frame().height() + kMargin;
    auto shown = [&](NSIndexPath p) {
      const Section& s = sections_[size_t(p.section)];
      double y = s.topOf(p.row);
      return y < bottom && y + s.heightOf(p.row) > top;
    };
    // Cells that left the screen go to the reuse queue first, so the rows
    // coming in can have them.
    for (auto it = visible_.begin(); it != visible_.end();) {
      if (shown(it->first)) {
        ++it;
      } else {
        enqueue(it->second);
        it = visible_.erase(it);
      }
    }
    // Rows coming in, each at the height it turns out to have, until the
    // screen is full.
    bool moved = false;
    std::map<NSIndexPath, UITableViewCellPtr> fresh;
    double y = 0;
    for (size_t si = 0; si < sections_.size(); ++si) {
      Section& s = sections_[si];
      if (s.rows == 0) continue;
      if (si == 0 || s.top + s.header > y) y = s.rowsTop();
      if (s.bottom() <= top || y >= bottom) continue;
      int r = s.rowAt(top);
      y = std::max(y, s.topOf(r));
      for (; r < s.rows && y < bottom; ++r) {
        NSIndexPath p{int(si), r};
        if (!visible_.count(p)) configure(p, fresh, moved);
        y += s.heightOf(r);
      }
      y += s.footer;
    }
    visible_.merge(fresh);
    if (moved) computePositions();
    for (auto& [p, cell] : visible_) {
      const Section& s = sections_[size_t(p.section)];
      const double shift = rowShift(p);
      cell->setFrame(CGRect(shift, s.topOf(p.row), width - std::max(shift, 0.0), s.heightOf(p.row)));
      cell->setPlacement(p.section, p.row, separatorInset_, p.row + 1 == s.rows && style_ == UITableViewStyle::Grouped);
      if (!cell->backgroundColor())
        cell->setBackgroundColor(style_ == UITableViewStyle::Grouped ? UIColor::secondarySystemGroupedBackgroundColor()
                                                                      : UIColor::systemBackgroundColor());
      cell->setSelected(selected_ == p);
      if (cell->superview() != this) addSubview(cell);
      cell->setHidden(false);
    }
    placeHeaders(top, bottom);
    if (!moved) break;
  }
  placeEditingViews();
  settleLeftCells();
  inLayout_ = false;
}

void UITableView::settleLeftCells() {
  for (auto& [id, cells] : reusable_)
    for (auto& cell : cells) cell->setHidden(true);
  // A data source that keeps its own cells may hand one back in the same
  // pass; any other is no longer the table's to keep.
  std::set<const UITableViewCell*> shown;
  for (const auto& [path, cell] : visible_) shown.insert(cell.get());
  for (auto& cell : leaving_)
    if (!shown.count(cell.get()) && cell->superview() == this) cell->removeFromSuperview();
  leaving_.clear();
}

void UITableView::placeHeaders(double top, double bottom) {
  std::map<std::pair<int, bool>, UIViewPtr> kept;
  for (size_t si = 0; si < sections_.size(); ++si) {
    const Section& s = sections_[si];
    for (bool footer : {false, true}) {
      const auto& title = footer ? s.footerTitle : s.headerTitle;
      double y = footer ? s.bottom() - s.footer : s.top, h = footer ? s.footer : s.header;
      if (!title || y + h <= top || y >= bottom) continue;
      auto key = std::make_pair(int(si), footer);
      auto it = headers_.find(key);
      UIViewPtr view = it != headers_.end() ? it->second
                                            : make<HeaderFooterView>(*title, !footer && style_ == UITableViewStyle::Grouped);
      view->setFrame(CGRect(0, y, frame().width(), h));
      if (view->superview() != this) addSubview(view);
      kept[key] = view;
    }
  }
  for (auto& [key, view] : headers_)
    if (!kept.count(key)) view->removeFromSuperview();
  headers_ = std::move(kept);
}

UITableViewCell* UITableView::cellForRowAtIndexPath(NSIndexPath path) const {
  auto it = visible_.find(path);
  return it == visible_.end() ? nullptr : it->second.get();
}

std::optional<NSIndexPath> UITableView::indexPathForCell(const UITableViewCell* cell) const {
  for (auto& [p, c] : visible_)
    if (c.get() == cell) return p;
  return std::nullopt;
}

std::vector<NSIndexPath> UITableView::indexPathsForVisibleRows() const {
  std::vector<NSIndexPath> out;
  CGRect shown = bounds();
  for (auto& [p, c] : visible_)
    if (c->frame().intersects(shown)) out.push_back(p);
  return out;
}

void UITableView::selectRowAtIndexPath(NSIndexPath path) {
  if (selected_)
    if (auto* old = cellForRowAtIndexPath(*selected_)) old->setSelected(false);
  selected_ = path;
  if (auto* cell = cellForRowAtIndexPath(path)) cell->setSelected(true);
}

void UITableView::deselectRowAtIndexPath(NSIndexPath path, bool) {
  if (selected_ != path) return;
  selected_.reset();
  if (auto* cell = cellForRowAtIndexPath(path)) cell->setSelected(false);
}

void UITableView::scrollToRowAtIndexPath(NSIndexPath path, UITableViewScrollPosition position, bool) {
  layoutIfNeeded();
  CGRect r = rectForRowAtIndexPath(path);
  if (r.width() == 0 && r.height() == 0) return;
  double h = frame().height(), y = contentOffset().y;
  switch (position) {
    case UITableViewScrollPosition::Top: y = r.minY(); break;
    case UITableViewScrollPosition::Middle: y = r.midY() - h / 2; break;
    case UITableViewScrollPosition::Bottom: y = r.maxY() - h; break;
    case UITableViewScrollPosition::None:
      if (r.minY() < y) y = r.minY();
      else if (r.maxY() > y + h) y = r.maxY() - h;
      break;
  }
  setContentOffset(CGPoint(0, y));
}

void UITableView::setBackgroundView(UIViewPtr view) {
  if (background_ == view) return;
  if (background_) background_->removeFromSuperview();
  background_ = std::move(view);
  if (!background_) return;
  background_->setFrame(bounds());
  insertSubview(background_, 0);
}

void UITableView::setTableFooterView(UIViewPtr view) {
  if (footer_) footer_->removeFromSuperview();
  footer_ = std::move(view);
  if (footer_) addSubview(footer_);
  if (loaded_) {
    markMoved({numberOfSections(), 0});
    computePositions();
    layoutRows();
  }
}

void UITableView::setTableHeaderView(UIViewPtr view) {
  if (header_) header_->removeFromSuperview();
  header_ = std::move(view);
  if (header_) addSubview(header_);
  if (loaded_) {
    markMoved({0, 0});
    computePositions();
    layoutRows();
  }
}

void UITableView::tapAt(CGPoint point) {
  auto path = indexPathForRowAtPoint(point);
  if (!path || editing_) return;
  auto keep = weak_from_this().lock();
  selectRowAtIndexPath(*path);
  if (delegate_) delegate_->didSelectRowAtIndexPath(*this, *path);
}

std::vector<UITableViewCell*> UITableView::visibleCells() const {
  std::vector<UITableViewCell*> out;
  for (auto& [p, c] : visible_) out.push_back(c.get());
  return out;
}

namespace {
[[maybe_unused]] const bool tableRead = automation::readAs<UITableView, UIScrollView>({
    .className = "UITableView",
    // The cells in row order, after the other subviews.
    .children =
        [](const UITableView& table) {
          std::vector<UIView*> out;
          for (auto& child : table.subviews())
            if ((child.get() != table.refreshControl() || table.refreshControl()->isRefreshing()) &&
                !dynamic_cast<UITableViewCell*>(child.get()))
              out.push_back(child.get());
          for (UITableViewCell* cell : table.visibleCells()) out.push_back(cell);
          return out;
        },
});
}  // namespace

// A table's rows edited in place: the swipe from the right that moves a row
// aside to show its "Delete", and editing mode's red controls.
namespace {
constexpr double kDeleteWidth = 80;
constexpr double kEditInset = 38;
// How far a finger goes across a row before it is a swipe, not a tap.
constexpr double kSlop = 8;
constexpr double kSwipeDistance = 30;

// The round red control with a white bar in front of a row in editing mode.
class EditControl : public UIControl {
 public:
  NSIndexPath path;
  void draw(QPainter& painter, const CGRect&) override {
    drawBackground(painter);
    const QPointF c(frame().width() / 2 + 4, frame().height() / 2);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(resolve(UIColor::systemRedColor()));
    painter.drawEllipse(c, 11, 11);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(c.x() - 6, c.y() - 1.25, 12, 2.5), 1, 1);
  }
};

[[maybe_unused]] const bool editControlRead = automation::readAs<EditControl, UIControl>({
    .className = "UITableViewCellEditControl",
    .fields =
        [](const EditControl& c, QJsonObject& node) {
          node["section"] = c.path.section;
          node["row"] = c.path.row;
        },
});
}  // namespace

bool UITableView::canEdit(NSIndexPath p) const {
  return source_ && p.section < numberOfSections() && p.row < numberOfRowsInSection(p.section) &&
         source_->canEditRowAtIndexPath(const_cast<UITableView&>(*this), p);
}

void UITableView::setEditing(bool editing, bool) {
  if (editing == editing_) return;
  editing_ = editing;
  revealed_.reset();
  setNeedsLayout();
  layoutRows();
}

void UITableView::revealDeleteForRow(std::optional<NSIndexPath> path) {
  if (path && !canEdit(*path)) path.reset();
  if (path == revealed_) return;
  revealed_ = path;
  layoutRows();
}

double UITableView::rowShift(NSIndexPath p) const {
  if (revealed_ == p) return -kDeleteWidth;
  return editing_ && canEdit(p) ? kEditInset : 0;
}

void UITableView::placeEditingViews() {
  auto* shown = revealed_ ? cellForRowAtIndexPath(*revealed_) : nullptr;
  if (shown && !deleteButton_) {
    auto button = make<UIButton>(UIButtonType::Custom);
    button->setTitle("Delete", UIControlState::Normal);
    button->setTitleColor(UIColor::whiteColor(), UIControlState::Normal);
    button->setBackgroundColor(UIColor::systemRedColor());
    button->addTarget([this] { commitDelete(); }, UIControlEvents::TouchUpInside);
    deleteButton_ = button;
  }
  if (deleteButton_) {
    if (shown) {
      CGRect r = shown->frame();
      deleteButton_->setFrame(CGRect(frame().width() - kDeleteWidth, r.minY(), kDeleteWidth, r.height()));
      if (deleteButton_->superview() != this) addSubview(deleteButton_);
      bringSubviewToFront(deleteButton_.get());
    }
    deleteButton_->setHidden(!shown);
  }

  size_t used = 0;
  if (editing_)
    for (auto& [p, cell] : visible_) {
      if (!canEdit(p)) continue;
      if (used == editControls_.size()) {
        auto control = make<EditControl>();
        control->setAccessibilityIdentifier("DeleteControl");
        auto* raw = control.get();
        control->addTarget([this, raw] { revealDeleteForRow(raw->path); }, UIControlEvents::TouchUpInside);
        editControls_.push_back(control);
      }
      auto& control = editControls_[used++];
      static_cast<EditControl&>(*control).path = p;
      control->setBackgroundColor(cell->backgroundColor());
      control->setFrame(CGRect(0, cell->frame().minY(), kEditInset, cell->frame().height()));
      if (control->superview() != this) addSubview(control);
      control->setHidden(false);
    }
  for (size_t i = used; i < editControls_.size(); ++i) editControls_[i]->setHidden(true);
}

void UITableView::commitDelete() {
  if (!revealed_ || !source_) return;
  const NSIndexPath path = *revealed_;
  auto keep = weak_from_this().lock();
  revealed_.reset();
  layoutRows();
  source_->commitEditingStyle(*this, UITableViewCellEditingStyle::Delete, path);
}

bool UITableView::touchesBegan(CGPoint point) {
  touchStart_ = convertPoint(point, nullptr);
  touchRow_ = indexPathForRowAtPoint(point);
  gesture_ = Gesture::Undecided;
  return UIScrollView::touchesBegan(point);
}

void UITableView::touchesMoved(CGPoint point) {
  const CGPoint d = convertPoint(point, nullptr) - touchStart_;
  if (gesture_ == Gesture::Undecided && std::max(std::abs(d.x), std::abs(d.y)) >= kSlop)
    gesture_ = std::abs(d.x) > std::abs(d.y) && touchRow_ && !editing_ && canEdit(*touchRow_) ? Gesture::Across
                                                                                                   : Gesture::Along;
  if (gesture_ != Gesture::Across) UIScrollView::touchesMoved(point);
}

void UITableView::touchesEnded(CGPoint point) {
  if (gesture_ == Gesture::Across) {
    const double dx = convertPoint(point, nullptr).x - touchStart_.x;
    if (dx <= -kSwipeDistance) revealDeleteForRow(touchRow_);
    else if (dx >= kSwipeDistance) revealDeleteForRow(std::nullopt);
    return;
  }
  // A tap while a row shows its "Delete" puts the row back, as on a phone,
  // and opens nothing.
  if (gesture_ == Gesture::Undecided && revealed_) {
    revealDeleteForRow(std::nullopt);
    return;
  }
  UIScrollView::touchesEnded(point);
}

}  // namespace platform::uikit
