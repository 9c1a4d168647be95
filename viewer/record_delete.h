// "Delete" on a row: the record the row showed leaves the log, found by its
// content in the log as it is now (common/log_store.h, removeRecord).
#pragma once

#include <cstdint>
#include <filesystem>

#include "viewer/event_kind.h"
#include "viewer/event_log.h"

namespace calmora::viewer {

// Removes record `number` of the version `shown` that a list showed, then
// asks for the badge and the marker as the log now stands and has the
// lists reload. Answers whether a record was removed.
bool deleteShownRecord(const EventLogSnapshot& shown, int64_t number, const std::filesystem::path& logFile,
                       const EventKind& kind);

}  // namespace calmora::viewer
