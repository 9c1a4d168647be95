// What the system says of another process of this machine, and the pid
// files the device's programs leave in their run/ folder.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The argument vector a live process was started with; nothing when there
// is no such process or it cannot be read.
std::optional<std::vector<std::string>> processArguments(pid_t pid);

// The pid of a live process's parent; nothing when there is no such process.
std::optional<pid_t> parentProcess(pid_t pid);

// The positive pid a pid file names, or nothing. Whether that process is
// still the one that wrote the file is for the caller to check: a pid file
// outlives its process and the pid may since name anything.
std::optional<pid_t> readPidFile(const std::filesystem::path& file);

}  // namespace platform
