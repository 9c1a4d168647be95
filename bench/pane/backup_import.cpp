// The import of a backup of N empty records (as an attack sent it) against
// one libplist read of the same file, and the import's peak memory over the
// file's size (the process's peak resident size, reset before each run).
#include <benchmark/benchmark.h>
#include <plist/plist.h>

#include <fstream>
#include <string>

#include "CalmoPrefs/backup.h"
#include "platform/foundation/device_paths.h"
#include "platform/foundation/file_io.h"
#include "tests/support/temp_dir.h"

namespace {
namespace fs = std::filesystem;

std::string backupOf(int64_t records) {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n\t<key>formatVersion</key>\n"
      "\t<integer>1</integer>\n\t<key>settings</key>\n\t<dict/>\n\t<key>blockedCalls</key>\n\t<dict>\n";
  for (int64_t k = 0; k < records; ++k) xml += "\t\t<key>" + std::to_string(k) + "</key>\n\t\t<dict/>\n";
  return xml + "\t</dict>\n\t<key>blockedNotifications</key>\n\t<dict/>\n</dict>\n</plist>\n";
}

// VmHWM or VmRSS of this process, in bytes.
int64_t memory(std::string_view field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.starts_with(field)) return std::stoll(line.substr(field.size() + 1)) * 1024;
  return 0;
}

void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

void BM_LibplistRead(benchmark::State& state) {
  const std::string xml = backupOf(state.range(0));
  for (auto _ : state) {
    plist_t root = nullptr;
    plist_from_xml(xml.data(), static_cast<uint32_t>(xml.size()), &root);
    benchmark::DoNotOptimize(root);
    plist_free(root);
  }
}

void BM_Import(benchmark::State& state) {
  testsupport::TempDir device;
  platform::setDeviceRoot(device.path());
  const fs::path file = device.path() / "backup.plist";
  int64_t fileBytes = 0;
  {
    const std::string xml = backupOf(state.range(0));
    fileBytes = static_cast<int64_t>(xml.size());
    if (!platform::replaceAtomically(file, xml)) state.SkipWithError("cannot write the backup");
  }
  int64_t peak = 0;
  for (auto _ : state) {
    const int64_t before = memory("VmRSS:");
    resetPeak();
    auto read = calmoprefs::backup::readBackup(file);
    if (!read || !calmoprefs::backup::restore(*read)) state.SkipWithError("the import failed");
    peak = std::max(peak, memory("VmHWM:") - before);
  }
  state.counters["file_MB"] = static_cast<double>(fileBytes) / 1e6;
  state.counters["peak_MB"] = static_cast<double>(peak) / 1e6;
  state.counters["peak_over_file"] = static_cast<double>(peak) / static_cast<double>(fileBytes);
  platform::setDeviceRoot({});
}

}  // namespace

BENCHMARK(BM_LibplistRead)->Arg(1'000'000)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_Import)->Arg(150'000)->Arg(600'000)->Arg(1'000'000)->Arg(2'000'000)->Iterations(1)->Unit(benchmark::kSecond);
