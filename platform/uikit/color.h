// Colours: fixed components, or a pair that follows the interface style.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

class QColor;

namespace platform::uikit {

enum class UIUserInterfaceStyle { Light, Dark };

class UIColor {
 public:
  UIColor() = default;  // clear
  static UIColor colorWithRed(double r, double g, double b, double a);
  static UIColor colorWithWhite(double w, double a);
  // A colour that takes `dark` under the dark interface style.
  static UIColor dynamic(const UIColor& light, const UIColor& dark);
  // "#RRGGBB" or "#RRGGBBAA"; anything else gives nothing.
  static std::optional<UIColor> fromText(const QString& text);
  // The named colours: black, white, red, ... and the system ones
  // (systemBlue, labelColor, systemBackgroundColor, ...). Unknown: nothing.
  static std::optional<UIColor> named(const QString& name);

  static UIColor clearColor() { return {}; }
  static UIColor blackColor() { return colorWithWhite(0, 1); }
  static UIColor whiteColor() { return colorWithWhite(1, 1); }
  static UIColor redColor() { return colorWithRed(1, 0, 0, 1); }
  static UIColor systemBlueColor();
  static UIColor systemRedColor();
  static UIColor systemGreenColor();
  static UIColor systemGrayColor();
  static UIColor labelColor();
  static UIColor secondaryLabelColor();
  static UIColor systemBackgroundColor();
  static UIColor systemGroupedBackgroundColor();
  static UIColor secondarySystemGroupedBackgroundColor();
  static UIColor separatorColor();
  // What navigation bars are filled with.
  static UIColor barBackgroundColor();

  // The contrast ratio of two opaque colours, 1 to 21 (relative luminance).
  static double contrast(const QColor& a, const QColor& b);
  // This colour in light appearance; in dark appearance the variant of its
  // dark colour, mixed toward white no further than needed, that reads at
  // `ratio`:1 on `background`'s dark colour, as the system's tints do.
  UIColor readableOn(const UIColor& background, double ratio = 4.5) const;
  // Black or white, whichever reads better on this colour in each appearance.
  UIColor contrastingTextColor() const;

  // The components under `style`, each between 0 and 1.
  bool getRed(double* r, double* g, double* b, double* a,
              UIUserInterfaceStyle style = UIUserInterfaceStyle::Light) const;
  QColor resolved(UIUserInterfaceStyle style) const;
  // "#RRGGBBAA" under `style`.
  QString text(UIUserInterfaceStyle style) const;
  UIColor colorWithAlphaComponent(double a) const;
  bool operator==(const UIColor&) const = default;

 private:
  // 16 bits a component, as Qt keeps a colour.
  struct Components {
    std::uint16_t red = 0, green = 0, blue = 0, alpha = 0;
    bool operator==(const Components&) const = default;
  };
  static QColor toQt(Components c);
  static Components fromQt(const QColor& c);
  Components light_;
  Components dark_;
};

}  // namespace platform::uikit
