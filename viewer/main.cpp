// Calmora, the log viewer of blocked calls and notifications.
#include "viewer/app_delegate.h"

int main(int argc, char** argv) {
  return platform::uikit::UIApplicationMain(argc, argv,
                                            [] { return std::make_shared<calmora::viewer::CMRAppDelegate>(); });
}
