#include "platform/foundation/plist_cache.h"

#include <sys/stat.h>

namespace platform::plist {

std::shared_ptr<const CachedDictionary::Snapshot> CachedDictionary::get() {
  struct stat st {};
  std::optional<Identity> now;
  if (::stat(file_.c_str(), &st) == 0)
    now = Identity{st.st_dev, st.st_ino, st.st_size,
                   static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};

  std::lock_guard lock(mutex_);
  if (snapshot_ && now == identity_) return snapshot_;
  auto fresh = std::make_shared<Snapshot>();
  auto read = readDictionary(file_);
  fresh->dict = std::move(read.dict);
  fresh->state = read.state;
  fresh->generation = ++generation_;
  // A file that changed while it was read is read again next time.
  struct stat after {};
  if (now && ::stat(file_.c_str(), &after) == 0 &&
      Identity{after.st_dev, after.st_ino, after.st_size,
               static_cast<int64_t>(after.st_mtim.tv_sec) * 1000000000 + after.st_mtim.tv_nsec} == *now)
    identity_ = now;
  else
    identity_.reset();
  snapshot_ = std::move(fresh);
  return snapshot_;
}

}  // namespace platform::plist
