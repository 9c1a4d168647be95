// The device's bus: the D-Bus bus every process of one simulated device
// posts and observes on. Its address is recorded in ROOT/run/bus; when the
// device had to start a bus daemon of its own, the daemon's pid is in
// ROOT/run/bus.pid.
#pragma once

#include <filesystem>
#include <string>

namespace platform {

// The recorded address, or empty when none is recorded.
std::string deviceBusAddress(const std::filesystem::path& root);

// The device's bus, found or started: the recorded one if it answers, else
// the session bus of the environment if it answers (and records it), else a
// private bus daemon started here (and records it). Empty, with a diagnostic
// line, when none can be had. Safe against concurrent callers on one root.
std::string ensureDeviceBus(const std::filesystem::path& root);

// Stops the private daemon if this device started it, and removes the
// records. A borrowed session bus is left running.
void stopDeviceBus(const std::filesystem::path& root);

// True when a connection to `address` completes its greeting with the bus.
bool busReachable(const std::string& address);

}  // namespace platform
