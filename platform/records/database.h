// One SQLite database file of the device, opened the way the home screen's
// records need: WAL (the home screen writes while apps read), a damaged file
// kept aside and started afresh, and never a file outside its folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "platform/foundation/error.h"

struct sqlite3;
struct sqlite3_stmt;

namespace platform::records {

// The home screen is the only writer; apps read.
enum class Mode { ReadWrite, ReadOnly };

// A prepared statement, reset for its next use when the binding ends.
class Statement {
 public:
  Statement(sqlite3* db, std::string_view sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& bind(int index, int64_t value);
  Statement& bind(int index, std::string_view text);
  // True while a row is there to read; false when done or failed.
  bool step();
  // Steps to the end; false when a step failed.
  bool run();
  int64_t integer(int column) const;
  std::string text(int column) const;
  void reset();

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

class Database {
 public:
  // Opens `file` (a host path), creating its missing folders and the file in
  // ReadWrite mode, then runs `schema` there. The folder that holds it, and
  // each one between it and the device root, must be a real folder: a
  // symbolic link (which could lead out of the device) or a file is refused
  // as NotRegularFile with one diagnostic line. A file SQLite cannot read as
  // a database is renamed aside (".damaged-<ms>") and started afresh in
  // ReadWrite mode; ReadOnly answers Malformed for it.
  static Result<std::unique_ptr<Database>> open(const std::filesystem::path& file, Mode mode,
                                                std::string_view schema);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  sqlite3* handle() const { return db_; }
  Mode mode() const { return mode_; }
  const std::filesystem::path& file() const { return file_; }
  // Runs statements without results; false (with a diagnostic line) when one fails.
  bool exec(std::string_view sql);
  int64_t lastInsertId() const;
  int changes() const;

 private:
  Database(sqlite3* db, Mode mode, std::filesystem::path file) : db_(db), mode_(mode), file_(std::move(file)) {}
  sqlite3* db_;
  Mode mode_;
  std::filesystem::path file_;
};

}  // namespace platform::records
