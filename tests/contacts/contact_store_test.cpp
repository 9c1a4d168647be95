#include "platform/contacts/contact_store.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <future>
#include <string>
#include <thread>

#include "platform/foundation/device_description.h"
#include "platform/foundation/device_paths.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"

namespace platform::contacts {
namespace {

namespace fs = std::filesystem;

std::string card(const std::string& family, const std::string& given, const std::string& uid) {
  return "BEGIN:VCARD\r\nVERSION:3.0\r\nN:" + family + ";" + given + ";;;\r\nUID:" + uid + "\r\nEND:VCARD\r\n";
}

std::vector<std::string> ids(const std::vector<std::shared_ptr<const Contact>>& list) {
  std::vector<std::string> out;
  for (const auto& c : list) out.push_back(c->identifier.substr(0, c->identifier.find(':')));
  return out;
}

using Ids = std::vector<std::string>;

class ContactStoreTest : public ::testing::Test {
 protected:
  void TearDown() override { setSharedStore(nullptr); }
  // Written beside and renamed over, as address-book programs save.
  void writeBook(const std::string& text) {
    fs::path tmp = dir_ / "contacts.vcf.tmp";
    std::ofstream(tmp, std::ios::binary) << text;
    fs::rename(tmp, book_);
  }

  testsupport::TempDir scratch_{"calmora-contacts"};
  const fs::path dir_ = scratch_.path(), book_ = dir_ / "contacts.vcf";
  testsupport::LogCapture log_;
};

TEST_F(ContactStoreTest, NamesFitWhenEveryWordPrefixesAWordOfGivenOrFamilyName) {
  writeBook(card("Doe", "Jane", "1") + card("ÉLODIE", "Anne Marie", "2") + card("Jandoe", "Bob", "3") +
            card("Martin", "E\xCC\x81lise", "4") + card("Παππάς", "Νίκος", "5"));
  auto store = makeVCardStore(book_, ContactsAccess::Granted);
  const std::pair<const char*, Ids> queries[] = {
      {"jan", {"1", "3"}}, {"  DOE   ja ", {"1"}}, {"élodie mar", {"2"}}, {"élodie a", {"2"}},
      {"Anne Marie Élodie", {"2"}},
      {"ane", {}},         // inside a word, not its start
      {"jane doe x", {}},  // every word must fit
      {"ÉLI", {"4"}},      // decomposed in the book, composed here
      {"ΝΊΚΟΣ ΠΑΠ", {"5"}},  // final sigma too
      {"", {}}, {" \t\n", {}},
  };
  for (const auto& [query, want] : queries) EXPECT_EQ(ids(store->contactsMatchingName(query)), want) << query;
  EXPECT_EQ(ids(*store->allContacts()), (Ids{"1", "2", "3", "4", "5"}));
}

TEST_F(ContactStoreTest, ARewrittenBookIsReadAgainAndMovesTheGeneration) {
  writeBook(card("Doe", "Jane", "1"));
  auto store = makeVCardStore(book_, ContactsAccess::Granted);
  auto first = store->allContacts();
  uint64_t generation = store->generation();
  EXPECT_EQ(ids(*first), Ids{"1"});

  // The same content saved again changes nothing callers may have cached.
  writeBook(card("Doe", "Jane", "1"));
  EXPECT_EQ(store->allContacts(), first);
  EXPECT_EQ(store->generation(), generation);

  writeBook(card("Doe", "Jane", "1") + card("Roe", "Rick", "2"));
  EXPECT_EQ(ids(store->contactsMatchingName("rick")), Ids{"2"});
  EXPECT_NE(store->generation(), generation);
  EXPECT_EQ(ids(*first), Ids{"1"});  // an old snapshot stays as it was

  // Rewritten in place at the same size with the old modification time put
  // back: only the content tells, as the change time may share its tick.
  generation = store->generation();
  auto written = fs::last_write_time(book_);
  std::ofstream(book_, std::ios::binary | std::ios::trunc) << card("Doe", "Jane", "1") + card("Roe", "Nick", "2");
  fs::last_write_time(book_, written);
  EXPECT_EQ(ids(store->contactsMatchingName("nick")), Ids{"2"});
  EXPECT_NE(store->generation(), generation);
}

TEST_F(ContactStoreTest, MissingUnreadableOrRefusedBooksGiveNoContacts) {
  auto store = makeVCardStore(book_, ContactsAccess::Granted);
  EXPECT_TRUE(store->allContacts()->empty());
  EXPECT_TRUE(log_.lines().empty());  // a phone without an address book is normal

  writeBook(card("Doe", "Jane", "1"));
  EXPECT_EQ(ids(store->contactsMatchingName("jane")), Ids{"1"});
  uint64_t generation = store->generation();
  fs::remove(book_);
  EXPECT_TRUE(store->contactsMatchingName("jane").empty());
  EXPECT_NE(store->generation(), generation);

  fs::create_directory(book_);
  EXPECT_TRUE(store->allContacts()->empty());
  EXPECT_EQ(log_.lines().size(), 1u);
  fs::remove(book_);

  writeBook(card("Doe", "Jane", "1"));
  auto refused = makeVCardStore(book_, true);
  EXPECT_TRUE(refused->allContacts()->empty());
  EXPECT_TRUE(refused->contactsMatchingName("jane").empty());
}

TEST_F(ContactStoreTest, GarbageInTheBookIsLoggedOnceAndTheRestIsRead) {
  writeBook("junk\r\n" + card("Doe", "Jane", "1") + "BEGIN:VCARD\r\nN:Roe;Rick;;;\r\n");
  auto store = makeVCardStore(book_, ContactsAccess::Granted);
  EXPECT_EQ(ids(*store->allContacts()).size(), 2u);
  store->contactsMatchingName("jane");
  EXPECT_EQ(log_.lines().size(), 2u) << log_.all();  // once, not again for the second query
}

TEST_F(ContactStoreTest, TheSharedStoreReadsTheDeviceBookUnlessAccessIsRefused) {
  setDeviceRoot(dir_);
  fs::path book = devicePath(kAddressBookPath);
  fs::create_directories(book.parent_path());
  std::ofstream(book, std::ios::binary) << card("Doe", "Jane", "1");
  EXPECT_EQ(ids(*sharedStore().allContacts()), Ids{"1"});

  setSharedStore(makeFixedStore({Contact{"9:ABPerson", "Zoe", "Fix", {}, {}}}));
  EXPECT_EQ(ids(sharedStore().contactsMatchingName("zo")), Ids{"9"});

  DeviceDescription d;
  d.contactsAccess = false;
  ASSERT_TRUE(writeDeviceDescription(dir_, d));
  setSharedStore(nullptr);
  EXPECT_TRUE(sharedStore().allContacts()->empty());
  setDeviceRoot(".");
}

TEST_F(ContactStoreTest, ConcurrentQueriesDuringRewritesSeeWholeBooks) {
  const std::string small = card("Doe", "Jane", "1");
  const std::string large = small + card("Doe", "John", "2");
  writeBook(small);
  auto store = makeVCardStore(book_, ContactsAccess::Granted);
  std::atomic<bool> stop{false};
  auto reader = [&] {
    int bad = 0;
    while (!stop) {
      size_t n = store->contactsMatchingName("doe").size();
      if (n != 1 && n != 2) ++bad;
    }
    return bad;
  };
  auto a = std::async(std::launch::async, reader);
  auto b = std::async(std::launch::async, reader);
  for (int i = 0; i < 200; ++i) writeBook(i % 2 ? small : large);
  stop = true;
  for (auto* f : {&a, &b}) {
    if (f->wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
      ADD_FAILURE() << "a reader is stuck";
      std::_Exit(1);  // joining it would hang the run
    }
    EXPECT_EQ(f->get(), 0);
  }
}

}  // namespace
}  // namespace platform::contacts
