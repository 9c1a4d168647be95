// The library's two load-time steps.
#pragma once

namespace calmora {

// Step 1: reads the settings into the snapshot and, when the master switch
// is on, makes the ten installations on the host classes.
void loadTimeStep1();
// Step 2: builds the messaging-app list.
void loadTimeStep2();

// The ten installations, in order.
void installHooks();

}  // namespace calmora
