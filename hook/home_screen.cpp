#include "hook/home_screen.h"

#include "hook/process_state.h"

namespace calmora::homescreen {

void viewDidAppear(const rt::Id& self, bool animated) { process().previous.viewDidAppear(self, animated); }

void launchApp(const rt::Id&, rt::Id) {}

}  // namespace calmora::homescreen
