// The contact list's rows for 5,000 contacts with 500 contact entries in the
// settings file, against what it cannot do without: reading the address
// book and parsing the settings once.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "CalmoPrefs/contact_rows.h"
#include "CalmoPrefs/settings_store.h"
#include "bench/bench_support.h"
#include "common/settings_file.h"
#include "platform/contacts/contact_store.h"
#include "platform/foundation/device_paths.h"

namespace {

namespace plist = platform::plist;

struct Fixture {
  std::filesystem::path root, book;
  Fixture() {
    char templ[] = "/tmp/calmora-bench-pane.XXXXXX";
    root = mkdtemp(templ);
    platform::setDeviceRoot(root);
    book = root / "contacts.vcf";
    std::ofstream out(book);
    for (int i = 0; i < 5000; ++i)
      out << "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Family" << i % 700 << ";Given" << i << ";;;\r\nUID:C-" << i
          << "\r\nTEL:+1 555 " << i << "\r\nEND:VCARD\r\n";
    auto settings = plist::Value::dict();
    for (int i = 0; i < 5000; i += 10) {
      auto entry = plist::Value::dict();
      entry.set("isBlocked", plist::Value::boolean(i % 20 == 0));
      entry.set("com.apple.mobilephoneCall", plist::Value::boolean(true));
      entry.set("weekdayHour2", plist::Value::string("08:00-17:00"));
      settings.set("C-" + std::to_string(i), std::move(entry));
    }
    auto file = calmora::settings::settingsPath();
    std::filesystem::create_directories(file.parent_path());
    calmora::bench::must(platform::plist::writeXmlAtomically(file, settings.ref()));
  }
  ~Fixture() { std::filesystem::remove_all(root); }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

void BM_ReadBookAndParseSettingsOnce(benchmark::State& state) {
  for (auto _ : state) {
    auto contacts = platform::contacts::makeVCardStore(fixture().book, false)->allContacts();
    auto settings = calmoprefs::readSettings();
    benchmark::DoNotOptimize(contacts->size() + settings.size());
  }
}

void BM_BuildContactRows(benchmark::State& state) {
  for (auto _ : state) {
    auto contacts = platform::contacts::makeVCardStore(fixture().book, false)->allContacts();
    auto sorted = calmoprefs::sortedContacts(*contacts);
    auto settings = calmoprefs::readSettings();
    long blocked = 0;
    for (const auto& key : sorted.keys()) blocked += calmoprefs::isBlocked(settings.ref(), key);
    benchmark::DoNotOptimize(blocked + calmoprefs::blockedCount(settings.ref()));
  }
}

BENCHMARK(BM_ReadBookAndParseSettingsOnce)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildContactRows)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // The rows' diagnostic lines would drown the figures.
  std::freopen("/dev/null", "w", stderr);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
