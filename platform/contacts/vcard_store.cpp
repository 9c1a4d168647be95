// The device's contact store over its vCard address book.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "platform/contacts/contact_set.h"
#include "platform/contacts/contact_store.h"
#include "platform/contacts/vcard.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/log.h"

namespace platform::contacts {
namespace {

// What stat says about the book. Any difference means a re-read; the change
// time also catches a rewrite in place that restores the old mtime.
struct FileStamp {
  int error = 0;  // errno of stat, 0 when the file is there
  uint64_t device = 0, inode = 0;
  int64_t size = 0;
  int64_t mtimeSec = 0, mtimeNsec = 0, ctimeSec = 0, ctimeNsec = 0;

  bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const std::filesystem::path& file) {
  FileStamp s;
  struct stat st;
  if (::stat(file.c_str(), &st) != 0) {
    s.error = errno;
    return s;
  }
  s.device = st.st_dev;
  s.inode = st.st_ino;
  s.size = st.st_size;
  s.mtimeSec = st.st_mtim.tv_sec;
  s.mtimeNsec = st.st_mtim.tv_nsec;
  s.ctimeSec = st.st_ctim.tv_sec;
  s.ctimeNsec = st.st_ctim.tv_nsec;
  return s;
}

// The file's bytes, or nullopt (after saying why when `report`).
std::optional<std::string> readBook(const std::filesystem::path& file, const FileStamp& stamp, bool report) {
  auto problem = [&](const auto&... why) {
    if (report) platform::log("contacts: cannot read the address book ", file.string(), ": ", why...);
    return std::nullopt;
  };
  if (stamp.error == ENOENT) return std::nullopt;  // a phone without an address book: nobody to know
  if (stamp.error != 0) return problem(std::strerror(stamp.error));
  // Anything but a regular file in its place reads as nothing, and so does
  // a file far beyond any real address book.
  auto fd = platform::openRegularFile(file, platform::kMaxFileBytes);
  if (!fd) return problem(fd.error().describe());
  auto text = platform::readAll(*fd, file, platform::kMaxFileBytes);
  ::close(*fd);
  if (!text) return problem(text.error().describe());
  return std::move(*text);
}

std::vector<Contact> parseBook(const std::filesystem::path& file, std::string_view text) {
  VCardParseResult parsed = parseVCards(text);
  if (parsed.skippedLines > 0)
    platform::log("contacts: ", file.string(), ": skipped ", parsed.skippedLines,
                  " line(s) that are no vCard property, the first at line ", parsed.firstSkippedLine);
  if (parsed.unterminatedCards > 0)
    platform::log("contacts: ", file.string(), ": ", parsed.unterminatedCards, " card(s) without END:VCARD");
  return std::move(parsed.contacts);
}

// File times come from the kernel's coarse clock, so a same-size rewrite in
// place within one of its ticks leaves the stamp as it was. A stamp that
// young proves nothing: the bytes are read and compared again until the file
// has aged past the window. Whole-second times mean a file system that keeps
// seconds only, whose tick is a second.
bool isRecent(const FileStamp& s) {
  if (s.error != 0) return false;
  constexpr int64_t kNs = 1'000'000'000;
  struct timespec now;
  ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
  const int64_t nowNs = int64_t{now.tv_sec} * kNs + now.tv_nsec;
  const int64_t fileNs = std::max(s.mtimeSec * kNs + s.mtimeNsec, s.ctimeSec * kNs + s.ctimeNsec);
  const bool wholeSeconds = s.mtimeNsec == 0 && s.ctimeNsec == 0;
  const int64_t window = wholeSeconds ? 2 * kNs : 50'000'000;
  return nowNs - fileNs < window;  // a file time in the future counts as recent
}

bool sameContacts(const ContactList& old, const std::vector<Contact>& fresh) {
  return std::equal(old.begin(), old.end(), fresh.begin(), fresh.end(),
                    [](const auto& a, const Contact& b) { return *a == b; });
}

class VCardStore final : public ContactStore {
 public:
  VCardStore(std::filesystem::path file, ContactsAccess access)
      : file_(std::move(file)), access_(access), state_(std::make_shared<const State>(State{ContactSet({}), 0})) {}

  ContactList contactsMatchingName(std::string_view text) override { return current()->set.matchingName(text); }
  std::shared_ptr<const ContactList> allContacts() override { return current()->set.all(); }
  uint64_t generation() override { return current()->generation; }

 private:
  struct State {
    ContactSet set;
    uint64_t generation;
  };

  // Queries scan the returned state outside the lock; it never changes.
  std::shared_ptr<const State> current() {
    std::lock_guard lock(mutex_);
    if (access_ == ContactsAccess::Refused) return state_;
    // Stamped before reading: a write that lands during the read changes
    // the stamp again and is picked up by the next query.
    FileStamp now = stampOf(file_);
    bool sameStamp = stamp_ && *stamp_ == now;
    if (sameStamp && !recent_) return state_;
    stamp_ = now;
    recent_ = isRecent(now);
    std::optional<std::string> text = readBook(file_, now, !sameStamp);
    if (text == text_) return state_;
    std::vector<Contact> contacts = text ? parseBook(file_, *text) : std::vector<Contact>{};
    text_ = std::move(text);
    // Content that reads the same (an edit of a field the store ignores)
    // keeps the snapshot, so caches built on it stay valid.
    if (!sameContacts(*state_->set.all(), contacts))
      state_ = std::make_shared<const State>(State{ContactSet(std::move(contacts)), state_->generation + 1});
    return state_;
  }

  const std::filesystem::path file_;
  const ContactsAccess access_;
  std::mutex mutex_;
  std::optional<FileStamp> stamp_;  // none before the first look
  bool recent_ = false;             // stamp_ too young to vouch for the content
  std::optional<std::string> text_;  // the bytes state_ was read from
  std::shared_ptr<const State> state_;
};

}  // namespace

std::shared_ptr<ContactStore> makeVCardStore(std::filesystem::path file, ContactsAccess access) {
  return std::make_shared<VCardStore>(std::move(file), access);
}

}  // namespace platform::contacts
