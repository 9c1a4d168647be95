#include "CalmoPrefs/backup.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "common/log_store.h"
#include "common/settings_file.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/file_lock.h"
#include "platform/foundation/log.h"

namespace calmoprefs::backup {

namespace fs = std::filesystem;
namespace plist = platform::plist;
using calmora::logs::Log;

namespace {

constexpr std::string_view kPrefix = "Calmora-Backup-";
constexpr std::string_view kSuffix = ".plist";

Outcome refused(Refusal refusal, std::string why) {
  platform::log("CalmoPrefs: backup: ", why);
  return Outcome{refusal, std::move(why)};
}

std::string stamp() { return platform::clock::now().toString("yyyyMMdd-HHmmss").toStdString(); }

const char* logName(Log log) { return log == Log::Calls ? "calls log" : "notifications log"; }
std::string_view logKey(Log log) { return log == Log::Calls ? kCallsKey : kNotificationsKey; }

// A log is a dictionary of records under the keys "0" to count - 1, as the
// engine writes it and the viewer reads it.
std::optional<std::string> notALog(plist::Ref log) {
  if (!log.isDict()) return "it is no dictionary";
  std::optional<std::string> problem;
  size_t index = 0;
  log.forEach([&](std::string_view key, plist::Ref record) {
    if (!record.isDict()) problem = "the entry under \"" + std::string(key) + "\" is no record";
    ++index;
    return !problem;
  });
  for (size_t k = 0; !problem && k < log.size(); ++k)
    if (!log[std::to_string(k)]) problem = "its keys are not 0 to " + std::to_string(log.size() - 1);
  return problem;
}

// The log on this device, parsed; an empty one when there is none.
Outcome readLog(Log log, plist::Value* out) {
  auto bytes = platform::readFile(calmora::logs::logPath(log), platform::kMaxLogBytes, platform::Symlinks::Refuse);
  if (!bytes && bytes.error().code == platform::ErrorCode::NotFound) {
    *out = plist::Value::dict();
    return {};
  }
  if (!bytes) return refused(Refusal::Unreadable, std::string("The ") + logName(log) + " cannot be read (" +
                                                      bytes.error().describe() + ").");
  auto parsed = plist::parseDictionary(*bytes);
  if (parsed.state != plist::ReadState::Ok)
    return refused(Refusal::BadLog, std::string("The ") + logName(log) + " does not parse.");
  if (auto problem = notALog(parsed.dict.ref()))
    return refused(Refusal::BadLog, std::string("The ") + logName(log) + " is not a log: " + *problem + ".");
  *out = std::move(parsed.dict);
  return {};
}

// Keeps `file` as FILE.before-import-STAMP[-N] by a hard link, which
// copies nothing and leaves the file in place for its readers.
Outcome keepAside(const fs::path& file, const std::string& when, std::vector<fs::path>* kept) {
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(file, ec))) return {};
  const std::string stem = file.string() + ".before-import-" + when;
  for (int n = 1; n < 100; ++n) {
    fs::path aside = n == 1 ? stem : stem + "-" + std::to_string(n);
    if (::link(file.c_str(), aside.c_str()) == 0) {
      if (kept) kept->push_back(aside);
      return {};
    }
    if (errno != EEXIST)
      return refused(Refusal::WriteFailed, "Nothing was imported: " + file.filename().string() +
                                               " could not be kept aside (" + std::strerror(errno) + ").");
  }
  return refused(Refusal::WriteFailed, "Nothing was imported: no name is left to keep " +
                                           file.filename().string() + " aside.");
}

Outcome wrote(const fs::path& file, const platform::Result<void>& written) {
  if (written) return {};
  return refused(Refusal::WriteFailed, "The import stopped at " + file.filename().string() + " (" +
                                           written.error().describe() +
                                           "); the files as they were are kept beside it.");
}

}  // namespace

fs::path folder() { return platform::devicePath("/var/mobile/Documents"); }

std::vector<fs::path> list() {
  std::vector<fs::path> found;
  std::error_code ec;
  for (fs::directory_iterator it(folder(), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() > kPrefix.size() + kSuffix.size() && name.starts_with(kPrefix) && name.ends_with(kSuffix))
      found.push_back(it->path());
  }
  // The stamp in the name sorts by time.
  std::sort(found.begin(), found.end(), [](const fs::path& a, const fs::path& b) { return a.filename() > b.filename(); });
  return found;
}

Outcome exportBackup(fs::path* written) {
  auto settings = plist::readDictionary(calmora::settings::settingsPath());
  if (settings.state == plist::ReadState::Unreadable)
    return refused(Refusal::BadSettings, "The settings file cannot be read: " + plist::describeRead(settings) + ".");
  auto backup = plist::Value::dict();
  backup.set(kVersionKey, plist::Value::integer(kFormatVersion));
  backup.set(kSettingsKey, std::move(settings.dict));
  for (Log log : {Log::Calls, Log::Notifications}) {
    plist::Value records;
    if (auto read = readLog(log, &records); !read) return read;
    backup.set(logKey(log), std::move(records));
  }
  const std::string bytes = plist::toXml(backup.ref());
  if (bytes.size() > kMaxBackupBytes)
    return refused(Refusal::TooLarge, "The backup would be larger than 512 MB, which no import takes.");
  const fs::path file = folder() / (std::string(kPrefix) + stamp() + std::string(kSuffix));
  std::error_code ec;
  fs::create_directories(folder(), ec);
  if (auto saved = platform::replaceAtomically(file, bytes); !saved)
    return refused(Refusal::WriteFailed, "The backup could not be written (" + saved.error().describe() + ").");
  if (written) *written = file;
  return {};
}

Outcome readBackup(const fs::path& file, plist::Value* backup) {
  auto bytes = platform::readFile(file, kMaxBackupBytes, platform::Symlinks::Refuse);
  if (!bytes) {
    const auto code = bytes.error().code;
    if (code == platform::ErrorCode::TooLarge) return refused(Refusal::TooLarge, "It is larger than 512 MB.");
    if (code == platform::ErrorCode::NotRegularFile) return refused(Refusal::Unreadable, "It is not a regular file.");
    return refused(Refusal::Unreadable, "It cannot be read (" + bytes.error().describe() + ").");
  }
  auto parsed = plist::parseDictionary(*bytes);
  if (parsed.state != plist::ReadState::Ok) return refused(Refusal::NotAPlist, "It is not a property list of settings.");
  plist::Ref version = parsed.dict[kVersionKey];
  if (version.type() != plist::Type::Integer)
    return refused(Refusal::OtherVersion, "It has no format version: it is no Calmora backup.");
  if (*version.integer() != kFormatVersion)
    return refused(Refusal::OtherVersion, "It is of format version " + std::to_string(*version.integer()) +
                                              "; this Calmora reads version " + std::to_string(kFormatVersion) + ".");
  if (!parsed.dict[kSettingsKey].isDict()) return refused(Refusal::BadSettings, "It holds no settings.");
  for (Log log : {Log::Calls, Log::Notifications})
    if (auto problem = notALog(parsed.dict[logKey(log)]))
      return refused(Refusal::BadLog, std::string("Its ") + logName(log) + " does not parse: " + *problem + ".");
  *backup = std::move(parsed.dict);
  return {};
}

Outcome restore(plist::Ref backup, std::vector<fs::path>* keptAside) {
  const fs::path settingsFile = calmora::settings::settingsPath();
  std::error_code ec;
  fs::create_directories(settingsFile.parent_path(), ec);
  // Both logs' locks for the whole restore, always calls first: no record
  // is appended between a log kept aside and its replacement.
  std::vector<platform::ExclusiveFileLock> locks;
  for (Log log : {Log::Calls, Log::Notifications}) {
    auto lock = platform::ExclusiveFileLock::acquire(calmora::logs::lockPath(log));
    if (!lock)
      return refused(Refusal::WriteFailed, std::string("Nothing was imported: the ") + logName(log) +
                                               " is not free (" + lock.error().describe() + ").");
    locks.push_back(std::move(*lock));
    platform::removeStaleTemporaries(calmora::logs::logPath(log));
  }
  const std::string when = stamp();
  for (const fs::path& file : {settingsFile, calmora::logs::logPath(Log::Calls), calmora::logs::logPath(Log::Notifications)})
    if (auto kept = keepAside(file, when, keptAside); !kept) return kept;

  // Under the settings writers' lock, like every other write of the file.
  auto restored = calmora::settings::update(
      settingsFile, [&](plist::Value& settings) { settings = backup[kSettingsKey].copy(); });
  if (auto done = wrote(settingsFile, restored); !done) return done;
  for (Log log : {Log::Calls, Log::Notifications}) {
    const fs::path file = calmora::logs::logPath(log);
    if (auto done = wrote(file, plist::writeXmlAtomically(file, backup[logKey(log)])); !done) return done;
  }
  return {};
}

}  // namespace calmoprefs::backup
