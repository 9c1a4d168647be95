#include "platform/foundation/mapped_file.h"

#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <mutex>

namespace platform {

namespace {

// The process's mappings, for the fault handler, which may read only
// lock-free atomics. A mapping that finds no free slot is not made.
constexpr int kSlots = 64;
struct Slot {
  std::atomic<uintptr_t> begin{0}, end{0};
};
Slot mappingSlots[kSlots];
struct sigaction previous;
uintptr_t pageSize = 4096;

void zeroPageOnTruncation(int sig, siginfo_t* info, void* context) {
  const auto at = reinterpret_cast<uintptr_t>(info->si_addr);
  for (const Slot& s : mappingSlots)
    if (at >= s.begin.load() && at < s.end.load()) {
      void* base = reinterpret_cast<void*>(at & ~(pageSize - 1));
      if (::mmap(base, pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) return;
    }
  // Not a mapping of ours: what the process did before.
  ::sigaction(sig, &previous, nullptr);
  if (previous.sa_flags & SA_SIGINFO) {
    if (previous.sa_sigaction) previous.sa_sigaction(sig, info, context);
  } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
    previous.sa_handler(sig);
  }
}

void installHandler() {
  static std::once_flag once;
  std::call_once(once, [] {
    pageSize = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    struct sigaction sa {};
    sa.sa_sigaction = zeroPageOnTruncation;
    sa.sa_flags = SA_SIGINFO;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGBUS, &sa, &previous);
  });
}

int claimSlot(void* data, size_t size) {
  for (int i = 0; i < kSlots; ++i) {
    uintptr_t free = 0;
    if (mappingSlots[i].begin.compare_exchange_strong(free, reinterpret_cast<uintptr_t>(data))) {
      mappingSlots[i].end.store(reinterpret_cast<uintptr_t>(data) + size);
      return i;
    }
  }
  return -1;
}

}  // namespace

Result<void> MappedFile::map(int fd, const std::filesystem::path& file, Pages pages) {
  reset();
  struct stat st {};
  if (::fstat(fd, &st) != 0) return Error{ErrorCode::Unreadable, errno, "stat " + file.string()};
  if (st.st_size == 0) return {};
  installHandler();
  void* at = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE | (pages == Pages::Now ? MAP_POPULATE : 0),
                    fd, 0);
  if (at == MAP_FAILED) return Error{ErrorCode::Unreadable, errno, "map " + file.string()};
  slot_ = claimSlot(at, size_t(st.st_size));
  if (slot_ < 0) {
    ::munmap(at, size_t(st.st_size));
    return Error{ErrorCode::Unreadable, EMFILE, "map " + file.string() + ": too many files mapped"};
  }
  data_ = at;
  size_ = size_t(st.st_size);
  return {};
}

void MappedFile::populate() const {
  // A kernel without it, or a file cut short since, leaves the pages to be
  // entered as they are read.
  if (data_) ::madvise(data_, size_, MADV_POPULATE_READ);
}

void MappedFile::reset() {
  if (!data_) return;
  // Out of the table first: the handler never writes over what the
  // address space holds once the mapping is gone.
  mappingSlots[slot_].end.store(0);
  mappingSlots[slot_].begin.store(0);
  ::munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
  slot_ = -1;
}

}  // namespace platform
