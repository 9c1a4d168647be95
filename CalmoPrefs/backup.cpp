#include "CalmoPrefs/backup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "common/log_xml.h"
#include "common/settings_file.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/file_lock.h"
#include "platform/foundation/log.h"
#include "platform/foundation/plist.h"

namespace calmoprefs::backup {

namespace fs = std::filesystem;
namespace plist = platform::plist;
namespace logs = calmora::logs;
namespace xml = calmora::logs::xml;
using logs::Log;

namespace {

constexpr std::string_view kPrefix = "Calmora-Backup-";
constexpr std::string_view kSuffix = ".plist";

Failure refused(Refusal refusal, std::string why) {
  platform::log("CalmoPrefs: backup: ", why);
  return Failure{refusal, std::move(why)};
}

std::string stamp() { return platform::clock::now().toString("yyyyMMdd-HHmmss").toStdString(); }

const char* logName(Log log) { return log == Log::Calls ? "calls log" : "notifications log"; }
std::string_view logKey(Log log) { return log == Log::Calls ? kCallsKey : kNotificationsKey; }

bool isLink(const fs::path& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// The Documents folder, never through a link: the device keeps its files
// inside its own folder.
Outcome<fs::path> documents() {
  if (isLink(folder())) return refused(Refusal::Unreadable, "Documents is a link to another folder; backups stay on the device.");
  return folder();
}

// The XML of a plist's root dictionary alone, as a backup embeds it: found
// in plain XML, else in what the serialiser makes of the parsed file.
std::optional<std::string> rootDictionary(std::string_view file) {
  if (auto value = xml::rootValue(file)) return std::string(*value);
  auto read = plist::parseDictionary(file);
  if (read.state != plist::ReadState::Ok) return std::nullopt;
  auto value = xml::rootValue(plist::toXml(read.dict.ref()));
  return value ? std::optional<std::string>(*value) : std::nullopt;
}

// The log on this device as a backup holds it, checked as an import checks
// it; an empty one when there is none.
Outcome<std::string> logForBackup(Log log) {
  auto bytes = platform::readFile(logs::logPath(log), platform::kMaxLogBytes, platform::Symlinks::Refuse);
  if (!bytes && bytes.error().code == platform::ErrorCode::NotFound) return std::string("<dict/>");
  if (!bytes)
    return refused(Refusal::Unreadable,
                   std::string("The ") + logName(log) + " cannot be read (" + bytes.error().describe() + ").");
  auto dict = rootDictionary(*bytes);
  if (!dict) return refused(Refusal::BadLog, std::string("The ") + logName(log) + " does not parse.");
  auto whole = logs::validate(*dict);
  if (!whole)
    return refused(Refusal::BadLog, std::string("The ") + logName(log) + " is not a log: " + whole.error() + ".");
  return std::string(*xml::rootValue(whole->bytes));
}

// The settings as the settings file will hold them, checked by the reader
// of that file: within its limit, parsed whole without mending.
Outcome<std::string> settingsFile(std::string_view dict) {
  if (!dict.starts_with("<dict")) return refused(Refusal::BadSettings, "It holds no settings.");
  auto read = plist::parseDictionary("<plist version=\"1.0\">" + std::string(dict) + "</plist>");
  if (read.state != plist::ReadState::Ok)
    return refused(Refusal::BadSettings, "Its settings do not parse (" + plist::describeRead(read) + ").");
  std::string bytes = plist::toXml(read.dict.ref());
  if (bytes.size() > platform::kMaxFileBytes)
    return refused(Refusal::BadSettings, "Its settings are larger than the 64 MB the settings file may hold.");
  auto back = plist::parseDictionary(bytes);
  if (back.state != plist::ReadState::Ok || back.mended)
    return refused(Refusal::BadSettings, "Its settings do not read back (" + plist::describeRead(back) + ").");
  return bytes;
}

}  // namespace

fs::path folder() { return platform::devicePath("/var/mobile/Documents"); }

std::vector<fs::path> list() {
  std::vector<fs::path> found;
  auto docs = documents();
  if (!docs) return found;
  std::error_code ec;
  for (fs::directory_iterator it(*docs, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() > kPrefix.size() + kSuffix.size() && name.starts_with(kPrefix) && name.ends_with(kSuffix))
      found.push_back(it->path());
  }
  // The stamp in the name sorts by time.
  std::sort(found.begin(), found.end(), [](const fs::path& a, const fs::path& b) { return a.filename() > b.filename(); });
  return found;
}

Outcome<fs::path> exportBackup() {
  const fs::path docs = TRY(documents());
  auto settings = plist::readDictionary(calmora::settings::settingsPath());
  if (settings.state == plist::ReadState::Unreadable)
    return refused(Refusal::BadSettings, "The settings file cannot be read: " + plist::describeRead(settings) + ".");
  // Written as text, the logs' records copied as they stand: a backup of
  // large logs is never held as a tree.
  std::string bytes = xml::documentHeader() + "<dict>\n\t<key>" + std::string(kVersionKey) + "</key>\n\t<integer>" +
                      std::to_string(kFormatVersion) + "</integer>\n\t<key>" + std::string(kSettingsKey) +
                      "</key>\n" + *rootDictionary(plist::toXml(settings.dict.ref())) + "\n";
  for (Log log : {Log::Calls, Log::Notifications})
    bytes += "\t<key>" + std::string(logKey(log)) + "</key>\n" + TRY(logForBackup(log)) + "\n";
  bytes += "</dict>\n</plist>\n";
  if (bytes.size() > kMaxBackupBytes)
    return refused(Refusal::TooLarge, "The backup would be larger than 512 MB, which no import takes.");
  std::error_code ec;
  fs::create_directories(docs, ec);
  TRY(documents());  // not made a link meanwhile
  const fs::path file = docs / (std::string(kPrefix) + stamp() + std::string(kSuffix));
  if (isLink(file)) return refused(Refusal::WriteFailed, file.filename().string() + " is a link; nothing was written.");
  if (auto saved = platform::replaceAtomically(file, bytes); !saved)
    return refused(Refusal::WriteFailed, "The backup could not be written (" + saved.error().describe() + ").");
  return file;
}

Outcome<Backup> readBackup(const fs::path& file) {
  auto bytes = platform::readFile(file, kMaxBackupBytes, platform::Symlinks::Refuse);
  if (!bytes) {
    const auto code = bytes.error().code;
    if (code == platform::ErrorCode::TooLarge) return refused(Refusal::TooLarge, "It is larger than 512 MB.");
    if (code == platform::ErrorCode::NotRegularFile) return refused(Refusal::Unreadable, "It is not a regular file.");
    return refused(Refusal::Unreadable, "It cannot be read (" + bytes.error().describe() + ").");
  }
  // Its parts are found without parsing the logs, which would take time
  // growing with the square of the records; a file only the full parse
  // takes (binary, comments) is parsed once and written as plain XML.
  auto entries = xml::rootEntries(*bytes);
  if (!entries) {
    auto parsed = plist::parseDictionary(*bytes);
    if (parsed.state != plist::ReadState::Ok)
      return refused(Refusal::NotAPlist, "It is not a property list of settings.");
    *bytes = plist::toXml(parsed.dict.ref());
    entries = xml::rootEntries(*bytes);
    if (!entries) return refused(Refusal::NotAPlist, "It is not a property list of settings.");
  }
  // A key given twice keeps its last value, as the parse keeps it.
  auto part = [&](std::string_view key) {
    std::string_view value;
    for (const auto& e : *entries)
      if (e.key == key) value = e.value;
    return value;
  };
  const std::string_view version = part(kVersionKey);
  auto number = version.starts_with("<integer>") && version.ends_with("</integer>")
                    ? plist::decimalValue(version.substr(9, version.size() - 19))
                    : std::nullopt;
  if (!number) return refused(Refusal::OtherVersion, "It has no format version: it is no Calmora backup.");
  if (*number != kFormatVersion)
    return refused(Refusal::OtherVersion, "It is of format version " + std::to_string(*number) +
                                              "; this Calmora reads version " + std::to_string(kFormatVersion) + ".");
  Backup backup;
  backup.settings = TRY(settingsFile(part(kSettingsKey)));
  for (Log log : {Log::Calls, Log::Notifications}) {
    auto whole = logs::validate(part(logKey(log)));
    if (!whole) return refused(Refusal::BadLog, std::string("Its ") + logName(log) + " does not parse: " + whole.error() + ".");
    (log == Log::Calls ? backup.calls : backup.notifications) = std::move(*whole);
  }
  return backup;
}

namespace {
// One file of a restore: its replacement, written beside it, and the name
// it is kept under until the import is done.
struct Step {
  platform::Replacement replacement;
  fs::path aside;  // empty when there was no file
  bool committed = false;
};

// Keeps `file` as FILE.before-import-STAMP[-N] by a hard link, which
// copies nothing and leaves the file in place for its readers.
Outcome<fs::path> keepAside(const fs::path& file, const std::string& when) {
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(file, ec))) return fs::path();
  const std::string stem = file.string() + ".before-import-" + when;
  for (int n = 1; n < 100; ++n) {
    fs::path aside = n == 1 ? stem : stem + "-" + std::to_string(n);
    if (::link(file.c_str(), aside.c_str()) == 0) return aside;
    if (errno != EEXIST)
      return refused(Refusal::WriteFailed, "Nothing was imported: " + file.filename().string() +
                                               " could not be kept aside (" + std::strerror(errno) + ").");
  }
  return refused(Refusal::WriteFailed, "Nothing was imported: no name is left to keep " +
                                           file.filename().string() + " aside.");
}

// Puts every file back as it was: a replaced one from the name it was kept
// under, one that was not there removed; the names kept go with the import.
void rollBack(std::vector<Step>& steps) {
  for (Step& step : steps) {
    const fs::path& file = step.replacement.file();
    if (!step.committed) {
      if (!step.aside.empty()) ::unlink(step.aside.c_str());
    } else if (step.aside.empty()) {
      ::unlink(file.c_str());
    } else if (::rename(step.aside.c_str(), file.c_str()) != 0) {
      platform::log("CalmoPrefs: backup: cannot put ", file.string(), " back from ", step.aside.string(), ": ",
                    std::strerror(errno));
    }
  }
}
}  // namespace

Outcome<std::vector<fs::path>> restore(const Backup& backup) {
  const fs::path settingsFile = calmora::settings::settingsPath();
  std::error_code ec;
  fs::create_directories(settingsFile.parent_path(), ec);
  // The three writers' locks for the whole restore, always in this order:
  // no record is appended and no setting changed between a file kept aside
  // and its replacement.
  std::vector<platform::ExclusiveFileLock> locks;
  const fs::path lockFiles[] = {logs::lockPath(Log::Calls), logs::lockPath(Log::Notifications),
                                calmora::settings::lockPath(settingsFile)};
  for (const fs::path& lockFile : lockFiles) {
    auto lock = platform::ExclusiveFileLock::acquire(lockFile);
    if (!lock)
      return refused(Refusal::WriteFailed, "Nothing was imported: " + lockFile.filename().string() +
                                               " is not free (" + lock.error().describe() + ").");
    locks.push_back(std::move(*lock));
  }
  // Every replacement is written before any file is touched; a failure or a
  // kill up to here leaves only temporary files, which the next writer
  // under the lock removes.
  const std::pair<fs::path, std::string_view> files[] = {{settingsFile, backup.settings},
                                                          {logs::logPath(Log::Calls), backup.calls.bytes},
                                                          {logs::logPath(Log::Notifications), backup.notifications.bytes}};
  std::vector<Step> steps;
  for (const auto& [file, bytes] : files) {
    platform::removeStaleTemporaries(file);
    auto prepared = platform::Replacement::prepare(file, bytes);
    if (!prepared)
      return refused(Refusal::WriteFailed, "Nothing was imported: " + file.filename().string() +
                                               " could not be written (" + prepared.error().describe() + ").");
    steps.push_back(Step{std::move(*prepared), {}, false});
  }
  const std::string when = stamp();
  for (Step& step : steps) {
    auto aside = keepAside(step.replacement.file(), when);
    if (!aside) {
      rollBack(steps);
      return aside.error();
    }
    step.aside = std::move(*aside);
  }
  for (Step& step : steps) {
    if (auto done = step.replacement.commit(); !done) {
      rollBack(steps);
      return refused(Refusal::WriteFailed, "Nothing was imported: " + step.replacement.file().filename().string() +
                                               " could not be replaced (" + done.error().describe() + ").");
    }
    step.committed = true;
  }
  std::vector<fs::path> kept;
  for (const Step& step : steps)
    if (!step.aside.empty()) kept.push_back(step.aside);
  return kept;
}

}  // namespace calmoprefs::backup
