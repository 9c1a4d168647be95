#include "platform/springboard/springboard.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QTimer>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "platform/audio/audio_output.h"
#include "platform/display_client/display_client.h"
#include "platform/display_client/display_requests.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/log.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/sound.h"
#include "platform/runtime/loader.h"
#include "platform/records/call_history.h"
#include "platform/springboard/call_screen.h"
#include "platform/springboard/home_screen.h"
#include "platform/springboard/icon_grid.h"
#include "platform/springboard/opened_requests.h"
#include "platform/springboard/overlay_window.h"
#include "platform/springboard/runtime_views.h"
#include "platform/uikit/alert_controller.h"
#include "platform/uikit/application.h"
#include "platform/uikit/label.h"
#include "platform/uikit/screen.h"

namespace platform::springboard {

SpringBoard::SpringBoard(std::filesystem::path root)
    : root_(std::move(root)),
      device_(platform::readDeviceDescription(root_)),
      apps_(std::make_shared<platform::apps::AppRegistry>(root_)),
      numbers_(platform::contacts::PhoneNumbers(device_.locale)),
      processes_(std::make_shared<AppProcesses>(root_, root_ / "var" / "log")) {}

// The apps end with the home screen, as at a respring; the views go before
// the application that draws them.
SpringBoard::~SpringBoard() {
  processes_->setFrontChanged(nullptr);
  opened_.reset();
  notifications_.reset();
  callScreen_.reset();
  platform::sound::setPlayListener(nullptr);
  platform::sound::setOutput(nullptr);
  processes_->terminateAll();
  releaseRuntimeViews();
  overlay_.reset();
  statusBar_.reset();
  icons_.reset();
  alerts_.reset();
  window_.reset();
}

// The display, where the device has one, shows what the home screen holds to
// be in front; without one there is nothing to show.
void SpringBoard::bringToFront() {
  if (notifications_) notifications_->closeList();
  processes_->bringHomeScreenToFront();
  if (display_) display_->bringToFront(::getpid());
  appear();
}

void SpringBoard::reloadIcons() {
  if (icons_) icons_->reloadIcons();
}

Launch SpringBoard::launch(const std::string& bundleIdentifier) {
  processes_->takeLastLaunch();
  runtime::Id application =
      runtime::sendToClass<runtime::Id>(runtime::getClass("UIApplication"), "sharedApplication");
  runtime::send<bool, Text, bool>(application, "launchApplicationWithIdentifier:suspended:", bundleIdentifier, false);
  if (auto outcome = processes_->takeLastLaunch()) return *outcome;
  // A replaced launch method that did not call the original.
  return LaunchError::CannotStart;
}

void SpringBoard::start(const LoadLibraries& load) {
  if (started_) return;
  started_ = true;
  platform::setDeviceRoot(root_);
  platform::setStatusExtras(extras_);
  uikit::UIScreen::mainScreen().update(device_);
  uikit::UIApplication::sharedApplication().setBundleIdentifier(std::string(kBundleIdentifier));
  registerRuntimeViews();
  registerTelephony(record_);
  registerBulletins(record_);
  if (platform::display::served(root_)) display_ = std::make_shared<platform::display::DisplayRequests>(root_);
  registerHomeScreen(record_, apps_, device_,
                     [weak = std::weak_ptr<AppProcesses>(processes_), apps = apps_,
                      display = std::weak_ptr<platform::display::DisplayRequests>(display_)](const std::string& id) {
                       // The outcome is also kept for launch() to take.
                       auto processes = weak.lock();
                       if (!processes) return;
                       if (auto launched = processes->launch(apps->app(id)); !launched)
                         platform::log("springboard: ", id, " not launched: ", launchErrorCode(launched.error()));
                       else if (auto shown = display.lock(); shown && !launched->started)  // a new window comes to front by itself
                         shown->bringToFront(launched->process.pid);
                     });
  restyle_ = std::make_unique<QTimer>();
  restyle_->setSingleShot(true);
  restyle_->setInterval(0);
  QObject::connect(restyle_.get(), &QTimer::timeout, [this] { restyleStatusBar(); });
  processes_->setFrontChanged([timer = restyle_.get()] { timer->start(); });
  platform::sound::setPlayListener([this](platform::sound::SystemSoundID id) {
    if (id == kRingtoneSound || id == kBannerSound) ++phoneSounds_;
    record_.soundPlayed(id, std::string(kBundleIdentifier));
  });
  soundSwitched();

  if (load)
    load();
  else
    injected_ = runtime::loadInjectedLibraries(platform::devicePath(runtime::kInjectionFolder), kBundleIdentifier);

  statusBarWindow_ = runtime::createInstance(runtime::getClass("UIStatusBarWindow"));
  runtime::send<void, Rect>(statusBarWindow_, "setFrame:", Rect{0, 0, device_.screenWidth, 20});
  setStatusBar();

  const uikit::CGRect screen = uikit::UIScreen::mainScreen().bounds();
  window_ = std::make_shared<uikit::UIWindow>(screen);
  icons_ = std::make_shared<SBHomeScreenView>(screen, apps_, [this](const std::string& id) {
    iconLaunch_ = launch(id);
    if (!*iconLaunch_ && iconLaunch_->error() == LaunchError::NoExecutable) sayNoProgram(id);
  });
  window_->addSubview(icons_);
  // Presents the home screen's alerts; its view takes no room, so the icons keep their taps.
  alerts_ = std::make_shared<uikit::UIViewController>();
  alerts_->view()->setFrame(uikit::CGRect(0, 0, 0, 0));
  window_->addSubview(alerts_->view());
  overlay_ = std::make_shared<SBOverlayWindow>(screen, [this] { notifications_->showList(); });
  if (auto statusBarWindow = runtime::as<RuntimeView>(statusBarWindow_)) overlay_->addSubview(statusBarWindow->view());
  window_->makeKeyAndVisible();
  overlay_->setHidden(false);
  calls_ = std::make_unique<CallQueue>(CallQueue::Observer{
      .shown = [this](const IncomingCall& call, CallState state) { callShown(call, state); },
      .gone = [this] { callsGone(); },
      .ended = [](const platform::records::CallRecord& done) {
        // Opened for each call: calls are few, and a database replaced
        // meanwhile (a reset, a damaged file) is found afresh.
        auto history = platform::records::CallHistory::open(platform::records::Mode::ReadWrite);
        if (history) (void)history->add(done);
      }});
  notifications_ = std::make_unique<NotificationsController>(
      *window_, *overlay_, apps_,
      NotificationsController::Hooks{
          .openApp = [this](const std::string& bundle) { iconLaunch_ = launch(bundle); },
          .badgesChanged = [this](const NotificationsController::Badges& badges) { icons_->setBadges(badges); },
          .listShown = [this] {
            processes_->bringHomeScreenToFront();
            if (display_) display_->bringToFront(::getpid());
          },
          .bannerMoved = [this] { overlay_->setBanner(notifications_->bannerFrame()); }});
  // An app that showed its notifications asks here to mark them opened; its badge follows.
  opened_ = std::make_unique<OpenedRequests>(
      [this](const std::string& bundle, const std::optional<std::string>& title) { notifications_->opened(bundle, title); });
  appear();
}

// An icon whose bundle has no program says so, rather than doing nothing.
void SpringBoard::sayNoProgram(const std::string& bundleIdentifier) {
  if (!alerts_ || alerts_->presentedViewController()) return;
  const auto app = apps_->app(bundleIdentifier);
  const std::string name = app && !app->displayName.empty() ? app->displayName : bundleIdentifier;
  auto alert = uikit::UIAlertController::alertControllerWithTitle(
      QString::fromStdString("\u201C" + name + "\u201D Cannot Open"),
      "This app was installed without a program to run.", uikit::UIAlertControllerStyle::Alert);
  alert->addAction(std::make_shared<uikit::UIAlertAction>("OK", uikit::UIAlertActionStyle::Cancel, nullptr));
  alerts_->presentViewController(alert, true);
}

void SpringBoard::setStatusBar() {
  statusBar_ = std::make_shared<SBStatusBarView>(device_.screenWidth);
  restyleStatusBar();
  runtime::send<void, runtime::Id>(statusBarWindow_, "setStatusBar:", wrapView(statusBar_));
}

// Over the home screen (its icons, its call screen, its list) the text is
// light on the wallpaper; over an app it follows the device's appearance,
// which every app follows.
void SpringBoard::restyleStatusBar(bool asOverHome) {
  if (!statusBar_) return;
  const bool homeInFront = asOverHome || !processes_->front() || (callScreen_ && !callScreen_->isHidden());
  statusBar_->setOverApp(!homeInFront);
}

void SpringBoard::appear() { runtime::send<void, bool>(homeScreenController(), "viewDidAppear:", true); }

bool SpringBoard::deliverCallEvent(const CallDescription& call) {
  static runtime::Id manager = runtime::sendToClass<runtime::Id>(runtime::getClass("SBTelephonyManager"), "sharedTelephonyManager");
  uint64_t before = record_.callsHandedOn();
  runtime::send<void, runtime::Id>(manager, "callEventHandler:",
                                   makeCallEventNotification(makeCall(identifyCaller(call, numbers_, platform::contacts::sharedStore()))));
  return record_.callsHandedOn() > before;
}

bool SpringBoard::deliverCallUpdate(const CallDescription& call) {
  // The phone updates the call it already tracks with a call object that
  // carries the new state.
  const CallDescription identified = identifyCaller(call, numbers_, platform::contacts::sharedStore());
  CallDescription tracked = identified;
  tracked.status = 0;
  runtime::Id receiver = makeCall(tracked);
  uint64_t before = record_.callsHandedOn();
  runtime::send<void, runtime::Id>(receiver, "updateWithCall:", makeCall(identified));
  return record_.callsHandedOn() > before;
}

void SpringBoard::ring(const CallDescription& call) {
  IncomingCall incoming;
  incoming.name = call.displayName.value_or("");
  incoming.contact = call.contactIdentifier.value_or("");
  incoming.bundle = call.providerBundleIdentifier.value_or("");
  // The system's own provider is the Phone app.
  const std::string provider = call.providerName.value_or("");
  incoming.appName = provider.empty() || provider == "Telephony" ? "Phone" : provider;
  incoming.dateMs = platform::clock::nowMs();
  calls_->ring(std::move(incoming));
}

void SpringBoard::callShown(const IncomingCall& call, CallState state) {
  if (!callScreen_) {
    callScreen_ = std::make_shared<SBCallScreenView>(
        uikit::UIScreen::mainScreen().bounds(),
        SBCallScreenView::Actions{.accept = [this] { calls_->answer(); },
                                  .decline = [this] { calls_->decline(); },
                                  .end = [this] { calls_->end(); }},
        [this] { return calls_->elapsedMs(); });
    // Under the alerts; the status bar shows the time over it from its own window.
    window_->insertSubview(callScreen_, 1);
  }
  callScreen_->show(call, state);
  if (callScreen_->isHidden() || !frontBeforeCall_) {
    callScreen_->setHidden(false);
    frontBeforeCall_ = processes_->front().value_or("");
    if (display_) display_->bringToFront(::getpid());
  }
  restyleStatusBar();
  if (state == CallState::Ringing) {
    platform::sound::startRingtone();
  } else {
    platform::sound::stopRingtone();
  }
}

void SpringBoard::callsGone() {
  platform::sound::stopRingtone();
  if (callScreen_) callScreen_->setHidden(true);
  restyleStatusBar();
  const std::string before = frontBeforeCall_.value_or("");
  frontBeforeCall_.reset();
  if (!display_) return;
  if (auto app = before.empty() ? std::nullopt : processes_->running(before))
    display_->bringToFront(app->pid);
}

bool SpringBoard::deliverBulletin(const BulletinDescription& bulletin) {
  uint64_t before = record_.bulletinsPublished();
  runtime::send<void, runtime::Id, uint64_t>(bulletinServer(), "publishBulletin:destinations:", makeBulletin(bulletin), 0xF);
  return record_.bulletinsPublished() > before;
}

std::optional<SpringBoard::Marker> SpringBoard::marker() const {
  if (!statusBarWindow_ || !statusBarWindow_->isa()->respondsTo("label")) return std::nullopt;
  auto label = runtime::as<RuntimeView>(runtime::send<runtime::Id>(statusBarWindow_, "label"));
  if (!label || !label->view()) return std::nullopt;
  const uikit::UIView& view = *label->view();
  const uikit::CGRect f = view.frame();
  return Marker{view.alpha() > 0.0, Rect{f.minX(), f.minY(), f.width(), f.height()}, hostColor(view.backgroundColor())};
}

void SpringBoard::soundReported(const platform::UserInfo& report) {
  auto text = [&](const char* key) {
    auto it = report.find(key);
    return it == report.end() ? std::string() : it->second;
  };
  const std::string sound = text(platform::sound::kSoundKey), process = text(platform::sound::kProcessKey);
  char* end = nullptr;
  const unsigned long long id = std::strtoull(sound.c_str(), &end, 10);
  if (sound.empty() || *end || sound.front() == '-' || id > UINT32_MAX || !platform::apps::isValidBundleIdentifier(process)) {
    platform::log("springboard: a sound report without a sound number and a bundle identifier; dropped");
    return;
  }
  record_.soundPlayed(static_cast<uint32_t>(id), process);
  if (output_) output_->play(static_cast<uint32_t>(id));
}

void SpringBoard::soundSwitched() {
  const platform::DeviceDescription d = platform::readDeviceDescription(root_);
  const bool heard = d.sound && !d.silent;
  if (heard == (output_ != nullptr)) return;
  output_ = heard ? platform::audio::makeOutput() : nullptr;
  platform::sound::setOutput(output_);
  platform::log("springboard: sounds are ", output_ ? "heard" : d.silent ? "silent (Silent is on)" : "recorded, not heard");
}

namespace {
QJsonValue colorJson(const std::optional<Color>& c) {
  if (!c) return QJsonValue::Null;
  auto channel = [](double v) { return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); };
  char buf[16];
  std::snprintf(buf, sizeof buf, "#%02X%02X%02X%02X", channel(c->red), channel(c->green), channel(c->blue),
                channel(c->alpha));
  return QString::fromLatin1(buf);
}

QJsonArray strings(const std::vector<std::string>& v) {
  QJsonArray out;
  for (const auto& s : v) out.append(QString::fromStdString(s));
  return out;
}
}  // namespace

QJsonObject SpringBoard::status() const {
  QJsonObject out;
  out["running"] = true;
  out["injected"] = strings(injected_);
  QJsonArray inst;
  for (const auto& i : runtime::installations())
    inst.append(QJsonObject{{"class", QString::fromStdString(i.className)},
                            {"selector", QString::fromStdString(i.selector)},
                            {"kind", QString::fromLatin1(runtime::installKindName(i.kind))}});
  out["installations"] = inst;
  auto snap = record_.snapshot();
  out["callsEnded"] = static_cast<qint64>(snap.callsEnded);
  QJsonArray sounds;
  for (auto s : snap.sounds) sounds.append(static_cast<qint64>(s));
  out["sounds"] = sounds;
  out["soundProcesses"] = strings(snap.soundProcesses);
  QJsonArray published;
  for (const auto& b : snap.published)
    published.append(QJsonObject{{"section", QString::fromStdString(b.section)},
                                 {"title", QString::fromStdString(b.title)},
                                 {"subtitle", QString::fromStdString(b.subtitle)},
                                 {"message", QString::fromStdString(b.message)}});
  out["published"] = published;
  out["launched"] = strings(snap.launched);
  out["soundsCount"] = static_cast<qint64>(snap.soundsCount);
  out["phoneSoundsCount"] = static_cast<qint64>(phoneSounds_);
  out["publishedCount"] = static_cast<qint64>(snap.publishedCount);
  out["launchedCount"] = static_cast<qint64>(snap.launchedCount);
  for (const auto& [name, value] : extras_->values()) out[QString::fromStdString(name)] = static_cast<qint64>(value);
  if (auto m = marker()) {
    out["marker"] = QJsonObject{
        {"visible", m->visible},
        {"frame", QJsonArray{m->frame.x, m->frame.y, m->frame.width, m->frame.height}},
        {"color", colorJson(m->color)}};
  } else {
    out["marker"] = QJsonValue::Null;
  }
  out["screen"] = QJsonObject{{"width", device_.screenWidth},
                              {"height", device_.screenHeight},
                              {"scale", device_.screenScale},
                              {"systemVersion", QString::fromStdString(device_.systemVersion)}};
  return out;
}

}  // namespace platform::springboard
