// A call's number matched to its contact, as the telephony does before any
// hook sees the call: the cost per call with a book of 5,000 contacts, and
// the cost of reading the book's numbers again after it changed.
#include <benchmark/benchmark.h>

#include "platform/contacts/contact_store.h"
#include "platform/contacts/phone_numbers.h"

namespace {

using platform::contacts::Contact;

std::shared_ptr<platform::contacts::ContactStore> book(int n) {
  std::vector<Contact> contacts;
  for (int i = 0; i < n; ++i) {
    char number[32];
    std::snprintf(number, sizeof number, "+1 (415) %03d-%04d", 200 + i / 10000, i % 10000);
    contacts.push_back(Contact{"P" + std::to_string(i) + ":ABPerson", "Given" + std::to_string(i), "Family", {number}, {}});
  }
  return platform::contacts::makeFixedStore(std::move(contacts));
}

void BM_NumberToContact(benchmark::State& state) {
  auto store = book(static_cast<int>(state.range(0)));
  platform::contacts::NumberBook numbers(platform::contacts::PhoneNumbers("en_US"));
  numbers.contactFor(*store, "0");  // built once, outside the loop
  const char* calls[] = {"415.200.2500", "+14152004999", "(415) 555-0100", "2500"};
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(numbers.contactFor(*store, calls[i++ % 4]));
}
BENCHMARK(BM_NumberToContact)->Arg(5000)->Unit(benchmark::kMicrosecond);

void BM_NumberBookBuild(benchmark::State& state) {
  auto store = book(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    platform::contacts::NumberBook numbers(platform::contacts::PhoneNumbers("en_US"));
    benchmark::DoNotOptimize(numbers.contactFor(*store, "2500"));
  }
}
BENCHMARK(BM_NumberBookBuild)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_EmergencyCheck(benchmark::State& state) {
  const platform::contacts::PhoneNumbers numbers("en_US");
  const std::string_view listed[] = {"112", "08"};
  const char* texts[] = {"+1 415 555 0100", "911", "Jane Roe"};
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(numbers.isEmergency(texts[i++ % 3], listed));
}
BENCHMARK(BM_EmergencyCheck)->Unit(benchmark::kMicrosecond);

}  // namespace
