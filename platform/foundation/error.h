// The one shape of failure for file, plist and log operations: a code a
// caller can act on (and a test can check), the errno of the system call
// that failed where there was one, and the path or step for a diagnostic
// line.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace platform {

enum class ErrorCode {
  NotFound,        // no such file
  Unreadable,      // the file exists but its bytes could not be had
  NotRegularFile,  // a folder, FIFO, device or socket (or a symbolic link where none is followed)
  Empty,           // a file of no bytes where a plist was expected
  TooLarge,        // past the reader's size limit, or a binary plist expanding past its node budget
  TooDeep,         // nesting past the readers' limit
  TooIrregular,    // an XML plist the shape check gives up on
  ReferenceCycle,  // a binary plist whose objects refer to each other in a cycle
  Malformed,       // not a property list
  NotADictionary,  // a property list whose root is not a dictionary
  HoldsNul,        // a text or key holding a NUL character
  WriteFailed,     // creating, writing, flushing or renaming the replacement failed
  Exists,          // the target of a rename that must not replace is there
  NoNameLeft,      // every name for keeping a file aside is taken
  LockFailed,      // the advisory lock could not be taken
  Changed,         // the file was replaced by another writer since it was read
  OutsideFolder,   // a file that leads out of the folder it must lie in
};

struct Error {
  ErrorCode code = ErrorCode::Unreadable;
  int sysErrno = 0;  // 0 when no system call failed
  std::string context;

  // "context: strerror" (or just the context), for a diagnostic line.
  std::string describe() const;
};

// A value or the error that kept it from being had. Never dropped unread:
// a caller that has nothing to do about a failure says so in a diagnostic
// line. A facility whose failures callers tell apart by its own codes gives
// its own error type.
template <class T, class E = Error>
class [[nodiscard]] Result {
 public:
  Result(T value) : v_(std::in_place_index<0>, std::move(value)) {}
  Result(E error) : v_(std::in_place_index<1>, std::move(error)) {}

  bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }
  T& operator*() { return std::get<0>(v_); }
  const T& operator*() const { return std::get<0>(v_); }
  T* operator->() { return &std::get<0>(v_); }
  const T* operator->() const { return &std::get<0>(v_); }
  const E& error() const { return std::get<1>(v_); }

 private:
  std::variant<T, E> v_;
};

// Done, or the error that kept it from being done; `return {};` is success.
template <class E>
class [[nodiscard]] Result<void, E> {
 public:
  Result() = default;
  Result(E error) : error_(std::move(error)) {}

  bool ok() const { return !error_; }
  explicit operator bool() const { return ok(); }
  const E& error() const { return *error_; }

 private:
  std::optional<E> error_;
};

// A result equals a value when it holds an equal one.
template <class T, class E, class U>
bool operator==(const Result<T, E>& result, const U& value) {
  return result.ok() && *result == value;
}

}  // namespace platform

namespace platform::detail {
// What TRY yields: a success's value, moved out; nothing for Result<void>.
template <class T, class E>
T valueOf(Result<T, E>& result) {
  return std::move(*result);
}
template <class E>
void valueOf(Result<void, E>&) {}
}  // namespace platform::detail

// Evaluates a result; when it failed, returns its error from the enclosing
// function (which returns a Result of any type with that error), else
// yields its value, so that `auto fd = TRY(openRegularFile(...));` and
// `use(TRY(read()))` work as expressions. A GNU statement expression, which
// GCC and Clang both take; the counter keeps nested TRYs from shadowing.
#define TRY(expr) CALMORA_TRY_(expr, CALMORA_TRY_NAME_(tried_, __COUNTER__))
#define CALMORA_TRY_NAME_(a, b) CALMORA_TRY_JOIN_(a, b)
#define CALMORA_TRY_JOIN_(a, b) a##b
#define CALMORA_TRY_(expr, name)              \
  __extension__({                             \
    auto name = (expr);                       \
    if (!name) return name.error();           \
    ::platform::detail::valueOf(name);        \
  })
