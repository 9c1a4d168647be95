#include "hook/log_requests.h"

#include "common/names.h"
#include "hook/process_state.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/log.h"
#include "platform/foundation/qt_text.h"

namespace calmora::logs {

namespace sig = names::signal;

// Records that wait to be written are unread too.
void reportReadState() {
  LogState& p = logState();
  bool allRead = p.pendingRecords.size() == 0 && isAllRead(&p.unreadMemo);
  platform::log(allRead ? "CalmoraDebug isAllRead::YES" : "CalmoraDebug isAllRead::NOO");
  platform::defaultCenter().post(allRead ? sig::kHide : sig::kShow);
}

namespace {

void reportUnmarked(Log log, const platform::Result<void>& marked) {
  if (!marked) platform::log("CalmoraDebug: ", logPath(log).string(), " not marked read: ", marked.error().describe());
}

// Records that wait go first, so that a mark applies to them once they are
// written. After a failure the answer follows the logs as they are.
void markAll(Log log) {
  LogState& p = logState();
  const size_t logLimit = decisionState().snapshot.logLimit;
  p.pendingRecords.flush(p.unreadMemo, logLimit);
  reportUnmarked(log, markAllRead(log, &p.unreadMemo));
  reportReadState();
}

// The record key as the app sends it: decimal text.
void markOne(Log log, const platform::Notification& request) {
  auto it = request.userInfo.find(std::string(sig::kKey));
  platform::log(log == Log::Calls ? "CalmoraDebug markReadC:-" : "CalmoraDebug markReadN:-",
                it == request.userInfo.end() ? std::string("(null)") : it->second, "..");
  LogState& p = logState();
  const size_t logLimit = decisionState().snapshot.logLimit;
  p.pendingRecords.flush(p.unreadMemo, logLimit);
  if (it != request.userInfo.end()) reportUnmarked(log, markRead(log, it->second, &p.unreadMemo));
  reportReadState();
}

void postUnreadCount(Log log) {
  LogState& p = logState();
  const auto unread = unreadCount(log, &p.unreadMemo) + static_cast<int64_t>(p.pendingRecords.count(log));
  platform::defaultCenter().post(log == Log::Calls ? sig::kUnreadCallCount : sig::kUnreadNotifCount,
                                 {{std::string(sig::kBadges), std::to_string(unread)}});
}

}  // namespace

std::string currentDateText() {
  return platform::clock::now().toString(platform::toQString(names::record::kDateFormat)).toStdString();
}

void writeRecord(CallRecord record) {
  LogState& p = logState();
  const size_t logLimit = decisionState().snapshot.logLimit;
  p.pendingRecords.write(std::move(record), p.unreadMemo, logLimit);
}

void writeRecord(NotificationRecord record) {
  LogState& p = logState();
  const size_t logLimit = decisionState().snapshot.logLimit;
  p.pendingRecords.write(std::move(record), p.unreadMemo, logLimit);
}

void markAllReadN() { markAll(Log::Notifications); }
void markAllReadC() { markAll(Log::Calls); }
void markReadN(const platform::Notification& request) { markOne(Log::Notifications, request); }
void markReadC(const platform::Notification& request) { markOne(Log::Calls, request); }

void unreadCall() {
  platform::log("CalmoraDebug unreadCall::RECEVEDPOST");
  postUnreadCount(Log::Calls);
}

void unreadNotif() {
  platform::log("CalmoraDebug unreadNotif::RECEVEDPOST");
  postUnreadCount(Log::Notifications);
}

}  // namespace calmora::logs
