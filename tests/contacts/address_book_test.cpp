#include "platform/contacts/address_book.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "platform/contacts/contact_store.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"

namespace platform::contacts {
namespace {

namespace fs = std::filesystem;

class AddressBookTest : public ::testing::Test {
 protected:
  void write(const std::string& text) {
    fs::create_directories(book_.parent_path());
    std::ofstream(book_, std::ios::binary) << text;
  }
  std::string text() const {
    std::ifstream in(book_, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::vector<Person> people() {
    auto read = readPeople(book_);
    EXPECT_TRUE(read) << (read ? "" : read.error().describe());
    return read ? read->people : std::vector<Person>{};
  }

  testsupport::TempDir scratch_{"calmora-book"};
  const fs::path book_ = scratch_.path() / "AddressBook" / "contacts.vcf";
  testsupport::LogCapture log_;
};

TEST_F(AddressBookTest, AddedPeopleReadBackAsTheyWereAndTheStoreSeesThemAtOnce) {
  auto store = makeVCardStore(book_, ContactsAccess::Granted);
  EXPECT_TRUE(store->allContacts()->empty());  // no book yet
  Person jane{{}, "Jane", "Doe; Jr.", "Acme, Inc.", {{"mobile", "+1 555 0100"}, {"work \"desk\"", "1-800-FLOWERS"}},
              {{"home", "jane@example.com"}}, {{"twitter", "jane:doe"}}};
  Person odd{{}, std::string(100 * 1024, 'x') + "\xF0\x9F\x98\x80", "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D", {}, {}, {}, {}};
  auto janeId = addPerson(book_, jane);
  auto oddId = addPerson(book_, odd);
  ASSERT_TRUE(janeId && oddId);
  jane.identifier = *janeId;
  odd.identifier = *oddId;
  EXPECT_EQ(people(), (std::vector<Person>{jane, odd}));
  // The hook library's store decides with the new book at its next query.
  auto found = store->contactsMatchingName("jane");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0]->phoneNumbers, (std::vector<std::string>{"+1 555 0100", "1-800-FLOWERS"}));
  EXPECT_EQ(found[0]->socialProfiles, jane.socialProfiles);

  EXPECT_FALSE(addPerson(book_, Person{}));  // nobody to add
  EXPECT_EQ(people().size(), 2u);
}

TEST_F(AddressBookTest, AnEditKeepsWhatItDoesNotEditAndDeleteTakesOnlyItsCard) {
  const std::string photo = "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQEASABIAAD\n /2wBDAAMCAgMCAgMDAwMEAwMEBQgFBQQEBQoHBwYHBwYHBw\n";
  const std::string first = "BEGIN:VCARD\nVERSION:3.0\nN:Roe;Rita;;;\nFN:Rita Roe\n" + photo +
                            "item1.TEL:+44 20 1234\nitem1.X-ABLabel:_$!<Mobile>!$_\n"
                            "item2.ADR:;;1 Main St;Springfield;;;\nitem2.X-ABLabel:_$!<Home>!$_\n"
                            "NOTE:met at the fair\\, 2019\nX-CUSTOM;FOO=bar:kept\nEND:VCARD\n";
  const std::string second = "BEGIN:VCARD\nVERSION:3.0\nN:Poe;Pat;;;\nUID:P-1\nTEL:+1 555 0199\nEND:VCARD\n";
  const std::string stray = "not a vcard line\n";
  write(first + stray + second);
  auto before = people();
  ASSERT_EQ(before.size(), 2u);
  EXPECT_EQ(before[0].phones, (std::vector<LabeledValue>{{"mobile", "+44 20 1234"}}));
  EXPECT_EQ(before[1].identifier, "P-1:ABPerson");

  Person rita = before[0];
  rita.givenName = "Rita Mae";
  rita.phones = {{"home", "+44 20 9999"}};
  ASSERT_TRUE(updatePerson(book_, rita));
  const std::string after = text();
  for (const std::string& kept : {photo, std::string("item2.ADR:;;1 Main St;Springfield;;;\n"),
                                  std::string("item2.X-ABLabel:_$!<Home>!$_\n"), std::string("NOTE:met at the fair\\, 2019\n"),
                                  std::string("X-CUSTOM;FOO=bar:kept\n"), stray, second})
    EXPECT_NE(after.find(kept), std::string::npos) << kept;
  EXPECT_EQ(after.find("+44 20 1234"), std::string::npos);
  EXPECT_EQ(after.find("item1.X-ABLabel"), std::string::npos);  // the label of the number it replaced
  EXPECT_EQ(after.find('\r'), std::string::npos);                 // the book's own line ends
  // A card without UID is given the identifier it had, so it stays the same person.
  EXPECT_EQ(people(), (std::vector<Person>{rita, before[1]}));

  ASSERT_TRUE(deletePerson(book_, rita.identifier));
  EXPECT_EQ(text(), stray + second);
  EXPECT_EQ(deletePerson(book_, rita.identifier).error().code, ErrorCode::NotFound);
}

TEST_F(AddressBookTest, ItsLinesAreTheReadersABlankOneIsNoDamage) {
  write("\xEF\xBB\xBF" "BEGIN:VCARD\r\n\r\nN:Able;Ann;;;\r\nUID:A\r\nNOTE:a\r\n  fold\r\nEND:VCARD\r\n\r\n");
  auto read = readPeople(book_);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->problem, "");
  ASSERT_EQ(read->people.size(), 1u);
  Person ann = read->people[0];
  ann.familyName = "Abel";
  ASSERT_TRUE(updatePerson(book_, ann));
  EXPECT_TRUE(text().starts_with("\xEF\xBB\xBF" "BEGIN:VCARD\r\n")) << text();
  EXPECT_NE(text().find("NOTE:a\r\n  fold\r\n"), std::string::npos) << text();
  EXPECT_EQ(people(), std::vector<Person>{ann});
}

TEST_F(AddressBookTest, ADamagedBookIsShownAsFarAsItReadsAndNeverWritten) {
  const std::string damaged = "BEGIN:VCARD\nN:Able;Ann;;;\nUID:A\nEND:VCARD\nBEGIN:VCARD\nN:Cut;Carl;;;\nUID:C\n";
  write(damaged);
  auto read = readPeople(book_);
  ASSERT_TRUE(read);
  EXPECT_TRUE(read->damaged);
  EXPECT_EQ(read->people.size(), 2u);
  EXPECT_NE(read->problem.find("line 5"), std::string::npos) << read->problem;
  auto added = addPerson(book_, Person{{}, "New", {}, {}, {}, {}, {}});
  ASSERT_FALSE(added);
  EXPECT_EQ(added.error().code, ErrorCode::Malformed);
  EXPECT_FALSE(deletePerson(book_, "A:ABPerson"));
  EXPECT_EQ(text(), damaged);

  fs::remove(book_);
  fs::create_directory(book_);  // no file at all where the book should be
  EXPECT_FALSE(readPeople(book_));
  EXPECT_FALSE(addPerson(book_, Person{{}, "New", {}, {}, {}, {}, {}}));
}

TEST_F(AddressBookTest, ConcurrentWritersLoseNoCard) {
  ASSERT_TRUE(addPerson(book_, Person{{}, "Keep", {}, {}, {}, {}, {}}));
  std::vector<std::thread> writers;
  for (int w = 0; w < 4; ++w)
    writers.emplace_back([this, w] {
      for (int i = 0; i < 25; ++i)
        EXPECT_TRUE(addPerson(book_, Person{{}, "W" + std::to_string(w), std::to_string(i), {}, {}, {}, {}}));
    });
  Person keep = people().at(0);
  for (int i = 0; i < 20; ++i) {  // one person edited over and over meanwhile, as Contacts saves
    keep.organization = "Org " + std::to_string(i);
    EXPECT_TRUE(updatePerson(book_, keep));
  }
  for (auto& t : writers) t.join();
  auto all = people();
  EXPECT_EQ(all.size(), 101u);
  EXPECT_EQ(all.at(0).organization, "Org 19");
}

}  // namespace
}  // namespace platform::contacts
