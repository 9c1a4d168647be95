// The main of the test programs whose cases need a widgets application,
// headless.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "tests/support/temp_dir.h"

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  testsupport::ensureRuntimeFolder();
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
