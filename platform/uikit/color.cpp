#include "platform/uikit/color.h"

#include <QColor>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <map>

namespace platform::uikit {

namespace {
QColor rgba(int r, int g, int b, int a = 255) { return QColor(r, g, b, a); }
UIColor fixed(QColor c) { return UIColor::colorWithRed(c.redF(), c.greenF(), c.blueF(), c.alphaF()); }
UIColor pair(QColor light, QColor dark) { return UIColor::dynamic(fixed(light), fixed(dark)); }
double unit(double v) { return std::clamp(v, 0.0, 1.0); }
}  // namespace

QColor UIColor::toQt(Components c) { return QColor::fromRgba64(c.red, c.green, c.blue, c.alpha); }

UIColor::Components UIColor::fromQt(const QColor& c) {
  const QRgba64 v = c.rgba64();
  return {v.red(), v.green(), v.blue(), v.alpha()};
}

UIColor UIColor::colorWithRed(double r, double g, double b, double a) {
  UIColor c;
  c.light_ = fromQt(QColor::fromRgbF(float(unit(r)), float(unit(g)), float(unit(b)), float(unit(a))));
  c.dark_ = c.light_;
  return c;
}
UIColor UIColor::colorWithWhite(double w, double a) { return colorWithRed(w, w, w, a); }
UIColor UIColor::dynamic(const UIColor& light, const UIColor& dark) {
  UIColor c;
  c.light_ = light.light_;
  c.dark_ = dark.dark_;
  return c;
}

UIColor UIColor::systemBlueColor() { return pair(rgba(0, 122, 255), rgba(10, 132, 255)); }
UIColor UIColor::systemRedColor() { return pair(rgba(255, 59, 48), rgba(255, 69, 58)); }
UIColor UIColor::systemGreenColor() { return pair(rgba(52, 199, 89), rgba(48, 209, 88)); }
UIColor UIColor::systemGrayColor() { return pair(rgba(142, 142, 147), rgba(142, 142, 147)); }
UIColor UIColor::labelColor() { return pair(rgba(0, 0, 0), rgba(255, 255, 255)); }
UIColor UIColor::secondaryLabelColor() { return pair(rgba(60, 60, 67, 153), rgba(235, 235, 245, 153)); }
UIColor UIColor::systemBackgroundColor() { return pair(rgba(255, 255, 255), rgba(0, 0, 0)); }
UIColor UIColor::systemGroupedBackgroundColor() { return pair(rgba(242, 242, 247), rgba(0, 0, 0)); }
UIColor UIColor::secondarySystemGroupedBackgroundColor() { return pair(rgba(255, 255, 255), rgba(28, 28, 30)); }
UIColor UIColor::separatorColor() { return pair(rgba(60, 60, 67, 73), rgba(84, 84, 88, 153)); }
UIColor UIColor::barBackgroundColor() { return pair(rgba(249, 249, 249), rgba(29, 29, 31)); }

namespace {
double luminance(const QColor& c) {
  auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
  return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}
QColor mixed(const QColor& c, const QColor& toward, double amount) {
  auto mix = [amount](double a, double b) { return a + (b - a) * amount; };
  return QColor::fromRgbF(float(mix(c.redF(), toward.redF())), float(mix(c.greenF(), toward.greenF())),
                          float(mix(c.blueF(), toward.blueF())), c.alphaF());
}
}  // namespace

double UIColor::contrast(const QColor& a, const QColor& b) {
  double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

UIColor UIColor::readableOn(const UIColor& background, double ratio) const {
  const QColor behind = toQt(background.dark_), dark = toQt(dark_);
  const QColor white(255, 255, 255);
  UIColor c = *this;
  if (contrast(dark, behind) >= ratio) return c;
  // A little over the ratio, so that the 8-bit colour drawn still meets it.
  ratio *= 1.02;
  // Once past the background's lightness, contrast only grows with the share
  // of white: the least share that reads is found by halving.
  double low = 0, high = 1;
  for (int i = 0; i < 20; ++i) {
    double mid = (low + high) / 2;
    (contrast(mixed(dark, white, mid), behind) >= ratio ? high : low) = mid;
  }
  c.dark_ = fromQt(mixed(dark, white, high));
  return c;
}

UIColor UIColor::contrastingTextColor() const {
  auto on = [](const QColor& fill) {
    return contrast(fill, Qt::black) >= contrast(fill, Qt::white) ? QColor(Qt::black) : QColor(Qt::white);
  };
  return pair(on(toQt(light_)), on(toQt(dark_)));
}

std::optional<UIColor> UIColor::fromText(const QString& text) {
  static const QRegularExpression shape("^#([0-9A-Fa-f]{6})([0-9A-Fa-f]{2})?$");
  auto m = shape.match(text);
  if (!m.hasMatch()) return std::nullopt;
  bool ok = false;
  uint rgb = m.captured(1).toUInt(&ok, 16);
  uint a = m.captured(2).isEmpty() ? 255 : m.captured(2).toUInt(&ok, 16);
  return fixed(QColor(int((rgb >> 16) & 255), int((rgb >> 8) & 255), int(rgb & 255), int(a)));
}

std::optional<UIColor> UIColor::named(const QString& name) {
  static const std::map<QString, UIColor (*)()> table = {
      {"black", blackColor}, {"white", whiteColor}, {"red", redColor}, {"clear", clearColor},
      {"green", [] { return colorWithRed(0, 1, 0, 1); }}, {"blue", [] { return colorWithRed(0, 0, 1, 1); }},
      {"gray", [] { return colorWithWhite(0.5, 1); }}, {"darkGray", [] { return colorWithWhite(1.0 / 3, 1); }},
      {"lightGray", [] { return colorWithWhite(2.0 / 3, 1); }}, {"orange", [] { return colorWithRed(1, 0.5, 0, 1); }},
      {"systemBlue", systemBlueColor}, {"systemRed", systemRedColor}, {"systemGreen", systemGreenColor},
      {"systemGray", systemGrayColor}, {"label", labelColor}, {"secondaryLabel", secondaryLabelColor},
      {"systemBackground", systemBackgroundColor}, {"systemGroupedBackground", systemGroupedBackgroundColor},
      {"secondarySystemGroupedBackground", secondarySystemGroupedBackgroundColor}, {"separator", separatorColor},
  };
  QString key = name;
  if (key.endsWith("Color")) key.chop(5);
  auto it = table.find(key);
  if (it == table.end()) return std::nullopt;
  return it->second();
}

bool UIColor::getRed(double* r, double* g, double* b, double* a, UIUserInterfaceStyle style) const {
  QColor c = resolved(style);
  if (r) *r = c.redF();
  if (g) *g = c.greenF();
  if (b) *b = c.blueF();
  if (a) *a = c.alphaF();
  return true;
}

QColor UIColor::resolved(UIUserInterfaceStyle style) const {
  return toQt(style == UIUserInterfaceStyle::Dark ? dark_ : light_);
}

QString UIColor::text(UIUserInterfaceStyle style) const {
  QColor c = resolved(style);
  return QString::asprintf("#%02X%02X%02X%02X", c.red(), c.green(), c.blue(), c.alpha());
}

UIColor UIColor::colorWithAlphaComponent(double a) const {
  UIColor c = *this;
  for (Components* side : {&c.light_, &c.dark_}) {
    QColor q = toQt(*side);
    q.setAlphaF(float(unit(a)));
    *side = fromQt(q);
  }
  return c;
}

}  // namespace platform::uikit
