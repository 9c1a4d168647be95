// The call and bulletin decisions with a small phone (50 contact entries,
// 500 contacts) and a large one (500 entries, 5,000 contacts, 30% of them
// with a social profile), in blocklist and whitelist mode, for a listed
// sender and for an unknown one, with the opt-in rules off and on. The
// large phone should cost no more than twice the small one, and the rules
// on no more than 1.1 times off.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <thread>

#include "bench/bench_support.h"
#include "common/names.h"
#include "hook/bulletin_interception.h"
#include "hook/call_interception.h"
#include "hook/sender_matching.h"
#include "hook/installation.h"
#include "hook/process_state.h"
#include "platform/contacts/address_book.h"
#include "platform/contacts/contact_store.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/log.h"
#include "platform/springboard/springboard.h"

namespace {
using namespace calmora;

const char* const kGiven[] = {"Anna",  "Ben",   "Carla", "David", "Emma",  "Felix", "Greta", "Hugo",
                              "Ida",   "Jonas", "Klara", "Lukas", "Mia",   "Noah",  "Olga",  "Paul",
                              "Rosa",  "Simon", "Tara",  "Udo",   "Vera",  "Wim",   "Xenia", "Yusuf"};
const char* const kSyllables[] = {"ba", "ke", "lo", "mi", "nu", "ra", "so", "ti", "vu", "we", "xa", "zo"};

std::string givenName(int i) { return kGiven[i % std::size(kGiven)]; }

// Distinct for every i below 12^4.
std::string familyName(int i) {
  std::string s;
  for (int k = 0; k < 4; ++k, i /= 12) s += kSyllables[i % 12];
  s[0] = static_cast<char>(s[0] - 'a' + 'A');
  return s + "mann";
}

// Contact i carries the identifier of settings entry i (bench_support);
// every tenth of the first three in ten has a WhatsApp profile.
std::string addressBook(int contacts) {
  std::string out;
  for (int i = 0; i < contacts; ++i) {
    out += "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    out += "N:" + familyName(i) + ";" + givenName(i) + ";;;\r\n";
    out += "FN:" + givenName(i) + " " + familyName(i) + "\r\n";
    out += "UID:" + bench::contactKey(i) + "\r\n";
    out += "TEL;type=CELL:+49 30 " + std::to_string(1000000 + i) + "\r\n";
    if (i % 10 < 3) {
      std::string user = givenName(i) + "_" + familyName(i);
      out += "X-SOCIALPROFILE;type=WhatsApp;x-user=" + user + ":https://wa.example/" + user + "\r\n";
    }
    out += "END:VCARD\r\n";
  }
  return out;
}

// One home screen for the whole run; each size rewrites its two files.
class Phone {
 public:
  static Phone& at(int entries, int contacts) {
    static Phone phone;
    phone.resize(entries, contacts);
    return phone;
  }

  // The next case writes both files again.
  void forget() { entries_ = contacts_ = -1; }

  // A listed contact halfway down the settings: blocked (an even entry)
  // and with a profile.
  int listed() const { return entries_ / 2 / 10 * 10; }

 private:
  Phone() {
    static int argc = 1;
    static char arg0[] = "calmora_bench";
    static char* argv[] = {arg0, nullptr};
    if (!QCoreApplication::instance()) new QApplication(argc, argv);
    root_ = bench::scratchDir("interception");
    platform::setDeviceRoot(root_);
    std::filesystem::create_directories(platform::devicePath(names::kSettingsPath).parent_path());
    std::filesystem::create_directories(platform::devicePath(platform::contacts::kAddressBookPath).parent_path());
    bench::must(platform::plist::writeXmlAtomically(platform::devicePath(names::kSettingsPath),
                                                    bench::settingsWithEntries(1).ref()));
    // A Monday inside every entry's 08:00-17:00 window.
    platform::clock::setTimeZoneForTesting("Europe/Berlin");
    platform::clock::setNowForTesting(
        QDateTime(QDate(2026, 12, 7), QTime(10, 30), platform::clock::timeZone()).toMSecsSinceEpoch());
    // Decisions log as they go; the benchmark measures the deciding.
    platform::setLogSink([](std::string_view, void*) {}, nullptr);
    board_ = std::make_unique<platform::springboard::SpringBoard>(root_);
    board_->start([] {
      loadTimeStep1();
      loadTimeStep2();
    });
  }

  void resize(int entries, int contacts) {
    if (entries == entries_ && contacts == contacts_) return;
    entries_ = entries;
    contacts_ = contacts;
    bench::must(platform::plist::writeXmlAtomically(platform::devicePath(names::kSettingsPath),
                                                    bench::settingsWithEntries(entries).ref()));
    bench::must(platform::replaceAtomically(platform::devicePath(platform::contacts::kAddressBookPath),
                                            addressBook(contacts)));
    platform::contacts::setSharedStore(nullptr);
    // The store reads a book younger than its clock's tick anew at every
    // query; a real book is older than that.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    decisionState().contactsNow();
  }

  std::filesystem::path root_;
  std::unique_ptr<platform::springboard::SpringBoard> board_;
  int entries_ = 0, contacts_ = 0;
};

struct Case {
  int entries, contacts;
  bool whitelist, listedSender, optIns;
};

// The mode, and the opt-in rules all on or all off.
Case caseOf(const benchmark::State& state) {
  Case c{static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), state.range(2) == 1,
         state.range(3) == 1, state.range(4) == 1};
  SettingsSnapshot& s = decisionState().snapshot;
  s.methodspecifier = c.whitelist ? 1 : 0;
  s.overnightWindows = s.blockUnknown = s.repeatCallers = c.optIns;
  return c;
}

void label(benchmark::State& state, const Case& c, bool expected) {
  state.SetLabel(std::string(c.whitelist ? "whitelist" : "blocklist") + (c.listedSender ? " listed" : " unknown") +
                 (c.optIns ? " opt-ins on" : "") + (expected ? " -> blocked" : " -> let through"));
}

void BM_CallDecision(benchmark::State& state) {
  const Case c = caseOf(state);
  Phone& phone = Phone::at(c.entries, c.contacts);
  hostapi::CallFields call;
  call.isIncoming = true;
  call.callStatus = 4;
  call.providerLocalizedName = "Telephony";
  call.providerBundleIdentifier = "com.apple.mobilephone";
  if (c.listedSender) {
    int i = phone.listed();
    call.contactIdentifier = bench::contactKey(i) + ":ABPerson";
    call.displayName = givenName(i) + " " + familyName(i);
  } else {
    call.displayName = "+1 555 0100";
  }
  bool blocked = false;
  for (auto _ : state) benchmark::DoNotOptimize(blocked = calls::shouldEnd(call, calls::Source::CallEvent));
  label(state, c, blocked);
}

// The part of the call decision that reads the address book; checkContact,
// the rest, walks the settings keys as documented.
void BM_CallSocialTest(benchmark::State& state) {
  const Case c = caseOf(state);
  Phone& phone = Phone::at(c.entries, c.contacts);
  int i = phone.listed();
  const platform::Text caller = c.listedSender ? givenName(i) + "_" + familyName(i) : std::string("+1 555 0100");
  const platform::Text app = std::string("whatsapp"), flag = std::string("com.apple.mobilephoneCall");
  bool blocked = false;
  for (auto _ : state) {
    DecisionState& p = decisionState();
    Reason reason;
    benchmark::DoNotOptimize(blocked = p.contactsNow()->isSocialBlocked(p.inputs(), caller, app, flag, reason));
  }
  label(state, c, blocked);
}

void BM_BulletinDecision(benchmark::State& state) {
  const Case c = caseOf(state);
  Phone& phone = Phone::at(c.entries, c.contacts);
  hostapi::BulletinFields bulletin;
  bulletin.sectionID = "net.whatsapp.WhatsApp";
  int i = phone.listed();
  bulletin.title = c.listedSender ? givenName(i) + " " + familyName(i) : std::string("Zed Unknown");
  bulletin.message = "are you there?";
  bulletin.date = static_cast<double>(platform::clock::nowMs()) / 1000.0;
  bool suppressed = false;
  for (auto _ : state) benchmark::DoNotOptimize(suppressed = bulletins::shouldSuppress(bulletin));
  label(state, c, suppressed);
}

// What the index costs to build once after either file changed.
void BM_IndexRebuild(benchmark::State& state) {
  const Case c = caseOf(state);
  Phone::at(c.entries, c.contacts);
  auto settings = decisionState().settingsFile.get();
  auto contacts = platform::contacts::sharedStore().allContacts();
  for (auto _ : state) benchmark::DoNotOptimize(ContactIndex(settings, contacts).relevantContactCount());
}

// A blocked contact renamed in the address book as the Contacts app saves
// it (the writers' lock, the book read afresh, replaced atomically), then a
// message under the new name: the hook must decide with the change at once,
// reading the book again and rebuilding its index. Should stay under 100 ms
// with 5,000 people.
void BM_ContactSavedToDecision(benchmark::State& state) {
  const Case c = caseOf(state);
  Phone& phone = Phone::at(c.entries, c.contacts);
  const auto book = platform::devicePath(platform::contacts::kAddressBookPath);
  platform::contacts::Person person;
  if (auto read = platform::contacts::readPeople(book))
    for (auto& p : read->people)
      if (p.identifier == bench::contactKey(phone.listed()) + ":ABPerson") person = p;
  if (person.identifier.empty()) return state.SkipWithError("the listed contact is not in the book");
  hostapi::BulletinFields bulletin;
  bulletin.sectionID = "net.whatsapp.WhatsApp";
  bulletin.message = "are you there?";
  bulletin.date = static_cast<double>(platform::clock::nowMs()) / 1000.0;
  int saved = 0;
  for (auto _ : state) {
    person.givenName = "Renamed" + std::to_string(++saved);
    bench::must(platform::contacts::updatePerson(book, person));
    bulletin.title = person.givenName + " " + person.familyName;
    if (!bulletins::shouldSuppress(bulletin)) {
      state.SkipWithError("the hook did not decide with the saved name");
      break;
    }
  }
  // Later cases read the book as the fixture wrote it.
  phone.forget();
}

void sizes(benchmark::internal::Benchmark* b) {
  for (auto [entries, contacts] : {std::pair{50, 500}, std::pair{500, 5000}})
    for (int whitelist : {0, 1})
      for (int listed : {1, 0})
        for (int optIns : {0, 1}) b->Args({entries, contacts, whitelist, listed, optIns});
  b->ArgNames({"entries", "contacts", "whitelist", "listed", "optIns"});
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_CallDecision)->Apply(sizes);
BENCHMARK(BM_CallSocialTest)->Apply(sizes);
BENCHMARK(BM_BulletinDecision)->Apply(sizes);
BENCHMARK(BM_ContactSavedToDecision)
    ->Args({50, 500, 0, 1, 0})
    ->Args({500, 5000, 0, 1, 0})
    ->ArgNames({"entries", "contacts", "", "", ""})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IndexRebuild)
    ->Args({50, 500, 0, 0, 0})
    ->Args({500, 5000, 0, 0, 0})
    ->ArgNames({"entries", "contacts", "", "", ""})
    ->Unit(benchmark::kMillisecond);

}  // namespace
