#include "viewer/record_delete.h"

#include "common/log_store.h"
#include "common/names.h"
#include "platform/foundation/log.h"
#include "platform/foundation/notification_center.h"

namespace calmora::viewer {

bool deleteShownRecord(const EventLogSnapshot& shown, int64_t number, const std::filesystem::path& logFile,
                       const EventKind& kind) {
  const EventRecord r = shown.record(number);
  if (!r.exists) return false;
  const logs::RecordContent content{r.date.toStdString(),    r.data.toStdString(), r.from.toStdString(),
                                    r.appBID.toStdString(),  r.appName.toStdString(), r.msg.toStdString(),
                                    r.iconData};
  auto removed = logs::removeRecord(logFile, number, content);
  if (!removed)
    platform::log("CalmoDebug: record ", number, " not deleted: ", removed.error().describe());
  else if (!*removed)
    platform::log("CalmoDebug: record ", number, " was no longer in ", logFile.string(), "; nothing deleted");
  auto& center = platform::defaultCenter();
  // A mark-one request naming no record marks nothing; the library answers
  // it with show or hide as the logs now stand, so the marker follows.
  center.post(kind.markOne, {{std::string(names::signal::kKey), "-1"}}, platform::Delivery::Immediate);
  center.post(kind.unreadRequest);
  center.post(names::signal::kTableRefresh);
  return removed && *removed;
}

}  // namespace calmora::viewer
