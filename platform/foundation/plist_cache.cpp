#include "platform/foundation/plist_cache.h"

namespace platform::plist {

std::shared_ptr<const CachedDictionary::Snapshot> CachedDictionary::get() {
  const std::optional<FileVersion> now = fileVersion(file_);

  std::lock_guard lock(mutex_);
  if (snapshot_ && now == identity_) return snapshot_;
  auto fresh = std::make_shared<Snapshot>();
  auto read = readDictionary(file_);
  fresh->dict = std::move(read.dict);
  fresh->state = read.state;
  fresh->generation = ++generation_;
  // A file that changed while it was read is read again next time.
  if (now && fileVersion(file_) == now)
    identity_ = now;
  else
    identity_.reset();
  snapshot_ = std::move(fresh);
  return snapshot_;
}

}  // namespace platform::plist
