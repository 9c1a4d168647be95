#include "platform/preferences/cells.h"

#include <QJsonObject>
#include <QPainter>
#include <algorithm>

#include "platform/uikit/automation/reading.h"

namespace platform::preferences {
namespace uk = platform::uikit;

namespace {

// Changes are handed over only while the row exists.
void handOver(const std::weak_ptr<PSSpecifier>& weak, const ValueChanged& changed, plist::Value value) {
  auto row = weak.lock();
  if (row && changed) changed(std::move(value), *row);
}

QString text(plist::Ref node) {
  auto t = node.text();
  return t ? QString::fromStdString(*t) : QString();
}

// A control in the right part of the cell, vertically centred.
void placeRight(uk::UITableViewCell& cell, const uk::UIViewPtr& control, double width, double controlWidth) {
  uk::CGSize size = control->frame().size;
  control->setFrame(uk::CGRect(width - 15 - controlWidth, (44 - size.height) / 2, controlWidth, size.height));
  cell.contentView()->addSubview(control);
}

}  // namespace

int indexOfValidValue(const PSSpecifier& row, plist::Ref value) {
  plist::Ref values = row.propertyForKey("validValues");
  if (!value) return -1;
  const std::string wanted = plist::toXml(value);
  for (size_t i = 0; i < values.size(); ++i)
    if (values.at(i).type() == value.type() && plist::toXml(values.at(i)) == wanted) return int(i);
  return -1;
}

QString titleOfValidValue(const PSSpecifier& row, int index) {
  if (index < 0) return {};
  QString title = text(row.propertyForKey("validTitles").at(size_t(index)));
  return title.isEmpty() ? text(row.propertyForKey("validValues").at(size_t(index))) : title;
}

uk::UITableViewCellPtr makeCell(const PSSpecifierPtr& row, plist::Ref value, double width, ValueChanged changed) {
  using Style = uk::UITableViewCellStyle;
  const PSCellType type = row->cellType();
  const bool valued = type == PSCellType::LinkList || type == PSCellType::ListItem;
  auto cell = uk::make<uk::UITableViewCell>(valued ? Style::Value1 : Style::Default, QString());
  cell->textLabel()->setText(row->name());
  if (row->iconImage) cell->imageView()->setImage(row->iconImage);
  const bool enabled = row->isEnabled();
  if (!enabled) cell->textLabel()->setTextColor(uk::UIColor::systemGrayColor());
  const std::weak_ptr<PSSpecifier> weak = row;
  const QString id = row->key().isEmpty() ? row->name() : row->key();

  switch (type) {
    case PSCellType::Switch: {
      cell->setSelectionStyle(uk::UITableViewCellSelectionStyle::None);
      auto sw = uk::make<uk::UISwitch>();
      sw->setOn(value.truthy());
      sw->setEnabled(enabled);
      sw->setAccessibilityIdentifier(id);
      uk::UISwitch* raw = sw.get();
      sw->addTarget([weak, changed, raw] { handOver(weak, changed, plist::Value::boolean(raw->isOn())); },
                    uk::UIControlEvents::ValueChanged);
      cell->setAccessoryView(sw);
      break;
    }
    case PSCellType::Segment: {
      cell->setSelectionStyle(uk::UITableViewCellSelectionStyle::None);
      std::vector<QString> titles;
      for (size_t i = 0; i < row->propertyForKey("validValues").size(); ++i)
        titles.push_back(titleOfValidValue(*row, int(i)));
      auto segments = uk::make<uk::UISegmentedControl>(titles);
      segments->setSelectedSegmentIndex(indexOfValidValue(*row, value));
      segments->setEnabled(enabled);
      segments->setAccessibilityIdentifier(id);
      uk::UISegmentedControl* raw = segments.get();
      segments->addTarget(
          [weak, changed, raw] {
            auto r = weak.lock();
            plist::Ref chosen = r ? r->propertyForKey("validValues").at(size_t(raw->selectedSegmentIndex())) : plist::Ref();
            if (chosen) handOver(weak, changed, chosen.copy());
          },
          uk::UIControlEvents::ValueChanged);
      // The segments take the whole row; a titled row keeps its label.
      double segmentWidth = row->name().isEmpty() ? width - 30 : std::max(120.0, width * 0.55);
      placeRight(*cell, segments, width, segmentWidth);
      break;
    }
    case PSCellType::Slider: {
      cell->setSelectionStyle(uk::UITableViewCellSelectionStyle::None);
      double min = row->propertyForKey("min").real().value_or(0), max = row->propertyForKey("max").real().value_or(1);
      auto slider = uk::make<PSSlider>(min, max, value.real().value_or(min));
      slider->setEnabled(enabled);
      slider->setAccessibilityIdentifier(id);
      PSSlider* raw = slider.get();
      slider->addTarget([weak, changed, raw] { handOver(weak, changed, plist::Value::real(raw->value())); },
                        uk::UIControlEvents::ValueChanged);
      placeRight(*cell, slider, width, row->name().isEmpty() ? width - 30 : width * 0.55);
      break;
    }
    case PSCellType::EditText: {
      cell->setSelectionStyle(uk::UITableViewCellSelectionStyle::None);
      auto field = uk::make<uk::UITextField>(uk::CGRect(0, 0, 10, 32));
      field->setText(text(value));
      field->setPlaceholder(text(row->propertyForKey("placeholder")));
      field->setEnabled(enabled);
      field->setAccessibilityIdentifier(id);
      uk::UITextField* raw = field.get();
      field->addTarget(
          [weak, changed, raw] { handOver(weak, changed, plist::Value::string(raw->text().toStdString())); },
          uk::UIControlEvents::EditingDidEnd);
      placeRight(*cell, field, width, width * 0.55);
      break;
    }
    case PSCellType::Link:
    case PSCellType::LinkList:
      cell->setAccessoryType(uk::UITableViewCellAccessoryType::DisclosureIndicator);
      if (type == PSCellType::LinkList) cell->detailTextLabel()->setText(titleOfValidValue(*row, indexOfValidValue(*row, value)));
      break;
    case PSCellType::Button:
      if (enabled) cell->textLabel()->setTextColor(uk::UIColor::systemBlueColor());
      break;
    case PSCellType::StaticText:
    case PSCellType::Group:
      cell->setSelectionStyle(uk::UITableViewCellSelectionStyle::None);
      break;
    case PSCellType::ListItem:
      break;
  }
  return cell;
}

PSSlider::PSSlider(double min, double max, double value)
    : min_(min), max_(std::max(min, max)), value_(std::clamp(value, min_, max_)) {
  setFrame(uk::CGRect(0, 0, 100, 31));
}

bool PSSlider::touchesBegan(uk::CGPoint point) {
  pressX_ = point.x;
  return UIControl::touchesBegan(point);
}

void PSSlider::tapped() {
  double width = frame().width();
  double fraction = width > 0 ? std::clamp(pressX_ / width, 0.0, 1.0) : 0;
  value_ = min_ + fraction * (max_ - min_);
  sendActionsForControlEvents(uk::UIControlEvents::ValueChanged);
}

void PSSlider::draw(QPainter& painter, const uk::CGRect&) {
  double width = frame().width();
  double x = max_ > min_ ? (value_ - min_) / (max_ - min_) * width : 0;
  painter.fillRect(QRectF(0, 14, width, 3), QColor(120, 120, 128, 60));
  painter.fillRect(QRectF(0, 14, x, 3), QColor(0, 122, 255));
  painter.setBrush(Qt::white);
  painter.setPen(QColor(0, 0, 0, 40));
  painter.drawEllipse(QRectF(std::clamp(x - 14, 0.0, std::max(0.0, width - 28)), 1.5, 28, 28));
}

namespace {
[[maybe_unused]] const bool sliderRead = uk::automation::readAs<PSSlider, uk::UIControl>({
    .className = "UISlider",
    .fields = [](const PSSlider& s, QJsonObject& node) { node["value"] = s.value(); },
});
}  // namespace

}  // namespace platform::preferences
