#include "platform/contacts/contact_store.h"

#include <mutex>
#include <utility>

#include "platform/contacts/contact_set.h"
#include "platform/foundation/device_description.h"
#include "platform/foundation/device_paths.h"

namespace platform::contacts {
namespace {

class FixedStore final : public ContactStore {
 public:
  explicit FixedStore(std::vector<Contact> contacts) : set_(std::move(contacts)) {}
  ContactList contactsMatchingName(std::string_view text) override { return set_.matchingName(text); }
  std::shared_ptr<const ContactList> allContacts() override { return set_.all(); }
  uint64_t generation() override { return 1; }

 private:
  const ContactSet set_;
};

struct SharedSlot {
  std::mutex mutex;
  std::shared_ptr<ContactStore> current;
  std::vector<std::shared_ptr<ContactStore>> retired;
};

SharedSlot& sharedSlot() {
  static SharedSlot slot;
  return slot;
}

}  // namespace

std::shared_ptr<ContactStore> makeFixedStore(std::vector<Contact> contacts) {
  return std::make_shared<FixedStore>(std::move(contacts));
}

std::shared_ptr<ContactStore> makeVCardStore(std::filesystem::path file, bool accessRefused) {
  return makeVCardStore(std::move(file), accessRefused ? ContactsAccess::Refused : ContactsAccess::Granted);
}

ContactStore& sharedStore() {
  SharedSlot& slot = sharedSlot();
  std::lock_guard lock(slot.mutex);
  if (!slot.current) {
    bool refused = !readDeviceDescription(deviceRoot()).contactsAccess;
    slot.current = makeVCardStore(devicePath(kAddressBookPath), refused);
  }
  return *slot.current;
}

void setSharedStore(std::shared_ptr<ContactStore> store) {
  SharedSlot& slot = sharedSlot();
  std::lock_guard lock(slot.mutex);
  if (slot.current) slot.retired.push_back(std::move(slot.current));
  slot.current = std::move(store);
}

}  // namespace platform::contacts
