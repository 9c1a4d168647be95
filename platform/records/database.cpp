#include "platform/records/database.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cerrno>
#include <vector>

#include "platform/foundation/clock.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/log.h"

namespace platform::records {
namespace fs = std::filesystem;

namespace {

Error refuse(ErrorCode code, const fs::path& where, std::string what, int sysErrno = 0) {
  log("records: ", where.string(), ": ", what);
  return Error{code, sysErrno, where.string() + ": " + what};
}

// The folders from the device root (exclusive) down to `folder`, or just
// `folder` for a path outside the device.
std::vector<fs::path> foldersToCheck(const fs::path& folder) {
  const fs::path root = deviceRoot().lexically_normal();
  const fs::path rel = folder.lexically_normal().lexically_relative(root);
  if (rel.empty() || *rel.begin() == "..") return {folder};
  std::vector<fs::path> out;
  fs::path at = root;
  for (const auto& part : rel) {
    if (part.empty() || part == ".") continue;
    at /= part;
    out.push_back(at);
  }
  return out;
}

Result<void> ensureFolders(const fs::path& folder, Mode mode) {
  for (const fs::path& at : foldersToCheck(folder)) {
    struct stat st{};
    if (::lstat(at.c_str(), &st) != 0) {
      if (errno != ENOENT) return refuse(ErrorCode::Unreadable, at, "cannot be read", errno);
      if (mode == Mode::ReadOnly) return Error{ErrorCode::NotFound, ENOENT, at.string()};
      if (::mkdir(at.c_str(), 0755) != 0 && errno != EEXIST)
        return refuse(ErrorCode::WriteFailed, at, "folder cannot be made", errno);
      if (::lstat(at.c_str(), &st) != 0) return refuse(ErrorCode::WriteFailed, at, "folder cannot be made", errno);
    }
    if (S_ISLNK(st.st_mode)) return refuse(ErrorCode::NotRegularFile, at, "is a symbolic link, not a folder; refused");
    if (!S_ISDIR(st.st_mode)) return refuse(ErrorCode::NotRegularFile, at, "is not a folder; refused");
  }
  return {};
}

bool isDamage(int code) {
  code &= 0xff;
  return code == SQLITE_NOTADB || code == SQLITE_CORRUPT;
}

// Answers SQLITE_OK, or the code of the step that failed with its message.
int prepare(sqlite3* db, Mode mode, std::string_view schema, std::string& message) {
  auto run = [&](const std::string& sql) {
    char* err = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) message = err ? err : sqlite3_errstr(rc);
    sqlite3_free(err);
    return rc;
  };
  sqlite3_busy_timeout(db, 2000);
  std::string check;
  // quick_check reads every page, so a damaged file shows here rather than
  // in the middle of a later query.
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &stmt, nullptr);
  if (rc == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW) check = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
  if (rc == SQLITE_OK) rc = sqlite3_finalize(stmt);
  if (rc != SQLITE_OK) {
    message = sqlite3_errmsg(db);
    return rc;
  }
  if (check != "ok") {
    message = check;
    return SQLITE_CORRUPT;
  }
  if (mode == Mode::ReadOnly) return SQLITE_OK;
  if ((rc = run("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL")) != SQLITE_OK) return rc;
  return run(std::string(schema));
}

Result<void> keepAside(const fs::path& file) {
  const std::string aside = file.string() + ".damaged-" + std::to_string(clock::nowMs());
  TRY(renameNoReplace(file, aside));
  for (const char* suffix : {"-wal", "-shm"}) {
    std::error_code ec;
    if (fs::exists(file.string() + suffix, ec)) fs::rename(file.string() + suffix, aside + suffix, ec);
  }
  return {};
}

}  // namespace

Result<std::unique_ptr<Database>> Database::open(const fs::path& file, Mode mode, std::string_view schema) {
  TRY(ensureFolders(file.parent_path(), mode));
  for (int attempt = 0;; ++attempt) {
    struct stat st{};
    const bool exists = ::lstat(file.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) return refuse(ErrorCode::NotRegularFile, file, "is not a regular file; refused");
    if (!exists && mode == Mode::ReadOnly) return Error{ErrorCode::NotFound, ENOENT, file.string()};
    const int flags = SQLITE_OPEN_NOFOLLOW |
                      (mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(file.c_str(), &db, flags, nullptr);
    std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    if (rc == SQLITE_OK) rc = prepare(db, mode, schema, message);
    if (rc == SQLITE_OK) return std::unique_ptr<Database>(new Database(db, mode, file));
    sqlite3_close(db);
    if (!isDamage(rc) || mode == Mode::ReadOnly || attempt > 0)
      return refuse(isDamage(rc) ? ErrorCode::Malformed : mode == Mode::ReadOnly ? ErrorCode::Unreadable
                                                                                 : ErrorCode::WriteFailed,
                    file, message);
    if (auto kept = keepAside(file); !kept) return refuse(kept.error().code, file, "damaged, and cannot be kept aside");
    log("records: ", file.string(), " is damaged (", message, "); kept aside, starting afresh");
  }
}

Database::~Database() { sqlite3_close_v2(db_); }

bool Database::exec(std::string_view sql) {
  char* err = nullptr;
  int rc = sqlite3_exec(db_, std::string(sql).c_str(), nullptr, nullptr, &err);
  if (rc != SQLITE_OK) log("records: ", file_.filename().string(), ": ", err ? err : sqlite3_errstr(rc));
  sqlite3_free(err);
  return rc == SQLITE_OK;
}

int64_t Database::lastInsertId() const { return sqlite3_last_insert_rowid(db_); }
int Database::changes() const { return sqlite3_changes(db_); }

Statement::Statement(sqlite3* db, std::string_view sql) {
  if (sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr) !=
      SQLITE_OK) {
    log("records: ", sqlite3_errmsg(db));
    stmt_ = nullptr;
  }
}
Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement& Statement::bind(int index, int64_t value) {
  if (stmt_) sqlite3_bind_int64(stmt_, index, value);
  return *this;
}
Statement& Statement::bind(int index, std::string_view text) {
  if (stmt_) sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  return *this;
}
bool Statement::step() {
  if (!stmt_) return false;
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc != SQLITE_DONE) log("records: ", sqlite3_errmsg(sqlite3_db_handle(stmt_)));
  return false;
}
bool Statement::run() {
  if (!stmt_) return false;
  int rc;
  while ((rc = sqlite3_step(stmt_)) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) log("records: ", sqlite3_errmsg(sqlite3_db_handle(stmt_)));
  reset();
  return rc == SQLITE_DONE;
}
int64_t Statement::integer(int column) const { return stmt_ ? sqlite3_column_int64(stmt_, column) : 0; }
std::string Statement::text(int column) const {
  const auto* p = stmt_ ? reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column)) : nullptr;
  return p ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(stmt_, column))) : std::string();
}
void Statement::reset() {
  if (stmt_) {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
}

}  // namespace platform::records
