// An import in a process of its own, for the test that kills one midway:
//   backup_import_helper ROOT FILE
// Exits 0 when the backup was imported, 1 with the refusal otherwise.
#include <cstdio>

#include "CalmoPrefs/backup.h"
#include "platform/foundation/device_paths.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  platform::setDeviceRoot(argv[1]);
  auto read = calmoprefs::backup::readBackup(argv[2]);
  auto done = read ? calmoprefs::backup::restore(*read) : read.error();
  if (done) return 0;
  std::fprintf(stderr, "%s\n", done.error().why.c_str());
  return 1;
}
