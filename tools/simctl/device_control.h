// Starting and stopping a device's home-screen process.
#pragma once

#include <QJsonObject>
#include <filesystem>
#include <optional>
#include <string>

namespace simctl {

// Creates what the device folder lacks (keeping what it holds) and installs
// the built hook library with its filter into the injection folder.
bool prepareDevice(const std::filesystem::path& dir);
// Starts the home-screen process on the device's bus and waits until it
// answers; its status on success.
std::optional<QJsonObject> startSpringBoard(const std::filesystem::path& dir);
// Asks the home-screen process to quit and waits for it to go.
void stopSpringBoard(const std::filesystem::path& dir);

// The device folder of a verb, made absolute.
std::filesystem::path deviceDir(const std::filesystem::path& dir);

void printJson(const QJsonObject& object);

}  // namespace simctl
