// The user-interface verbs over the home screen's screen: its icons are the
// nodes of the tree, and tapping one launches its app.
#include <QBuffer>
#include <QJsonArray>

#include "platform/automation/home_screen_verbs.h"
#include "platform/automation/screenshot_file.h"
#include "platform/automation/wait.h"
#include "platform/springboard/control.h"
#include "platform/springboard/screen_view.h"
#include "platform/springboard/springboard.h"

namespace platform::springboard {
namespace {

namespace ui = platform::automation::ui;

QJsonArray frame(const QRectF& r) { return QJsonArray{r.x(), r.y(), r.width(), r.height()}; }

QJsonObject notFound(const QString& what) { return QJsonObject{{"error", what}, {"code", ui::code::kNotFound}}; }

QJsonObject tree(const SpringBoard& board) {
  QJsonArray icons;
  for (const IconSlot& slot : iconLayout(board))
    icons.append(QJsonObject{{"class", "SBIconView"},
                             {"frame", frame(slot.icon)},
                             {"visible", true},
                             {"enabled", true},
                             {"text", QString::fromStdString(slot.app.displayName)},
                             {"identifier", QString::fromStdString(slot.app.bundleIdentifier)},
                             {"image", QJsonArray{slot.icon.width(), slot.icon.height()}}});
  const auto& d = board.device();
  return QJsonObject{{"tree", QJsonObject{{"class", "SBHomeScreenView"},
                                          {"frame", frame(QRectF(0, 0, d.screenWidth, d.screenHeight))},
                                          {"visible", true},
                                          {"enabled", true},
                                          {"children", icons}}}};
}

// The icon a tap request names: by display name, bundle identifier or a
// point inside it.
std::optional<IconSlot> target(const SpringBoard& board, const QJsonObject& r) {
  for (IconSlot& slot : iconLayout(board)) {
    const bool hit = r.contains("text")         ? r.value("text").toString().toStdString() == slot.app.displayName
                     : r.contains("identifier") ? r.value("identifier").toString().toStdString() ==
                                                      slot.app.bundleIdentifier
                     : r.contains("x") && r.contains("y")
                         ? slot.icon.contains(QPointF(r.value("x").toDouble(), r.value("y").toDouble()))
                         : false;
    if (hit) return std::move(slot);
  }
  return std::nullopt;
}

QJsonObject tap(SpringBoard& board, const QJsonObject& r) {
  auto slot = target(board, r);
  if (!slot) return notFound("no icon matches the tap");
  Launch outcome = board.launch(slot->app.bundleIdentifier);
  QJsonObject answer{{"done", true}};
  if (outcome)
    answer["app"] = appJson(outcome->process);
  else
    answer["launchError"] = launchErrorCode(outcome.error());
  return answer;
}

// Icons come and go as apps are installed, so a wait looks again until its
// time is up.
bool showing(const SpringBoard& board, const QString& text) {
  const std::string name = text.toStdString();
  for (const IconSlot& slot : iconLayout(board))
    if (slot.app.displayName == name) return true;
  return false;
}

QJsonObject screenshot(SpringBoard& board, const QJsonObject& r) {
  const QString path = r.value("path").toString();
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  const QImage image = renderScreen(board);
  if (!image.save(&buffer, "PNG"))
    return QJsonObject{{"error", "cannot encode the screenshot"}, {"code", ui::code::kCannotWrite}};
  if (auto refused = platform::automation::writeScreenshot(path, png)) return *refused;
  return QJsonObject{{"path", path}, {"width", image.width()}, {"height", image.height()}};
}

}  // namespace

void registerScreenVerbs(platform::automation::Server& server, SpringBoard& board) {
  server.on(ui::kTree.name, [&board](const QJsonObject&) { return tree(board); });
  server.on(ui::kTap.name, [&board](const QJsonObject& r) { return tap(board, r); });
  server.onLater(ui::kWait.name, [&board](const QJsonObject& r, platform::automation::Responder answer) {
    platform::automation::answerWait(
        r, [&board](const QString& text) { return showing(board, text); }, std::move(answer));
  });
  server.on(ui::kScreenshot.name, [&board](const QJsonObject& r) { return screenshot(board, r); });
  // The home screen asks nobody to authenticate.
  server.on(ui::kAuth.name, [](const QJsonObject&) {
    return QJsonObject{{"error", "no authentication prompt is open"}, {"code", ui::code::kNoPrompt}};
  });
  // The home screen has no navigation, table or text field to act on.
  for (const auto* verb : {&ui::kBack, &ui::kPull, &ui::kScroll, &ui::kType, &ui::kToggle})
    server.on(verb->name, [name = QString::fromLatin1(verb->name.data(), static_cast<qsizetype>(verb->name.size()))](
                              const QJsonObject&) { return notFound("the home screen has nothing to " + name); });
}

}  // namespace platform::springboard
