// The verbs of simctl. Each takes the device folder and the arguments after
// it, prints its result on standard output and returns the exit status.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace simctl {

using Args = std::vector<std::string>;

int boot(const std::filesystem::path& dir, const Args& args);
int shutdown(const std::filesystem::path& dir, const Args& args);
int status(const std::filesystem::path& dir, const Args& args);
int post(const std::filesystem::path& dir, const Args& args);
int listen(const std::filesystem::path& dir, const Args& args);
int respring(const std::filesystem::path& dir, const Args& args);
int call(const std::filesystem::path& dir, const Args& args);
int bulletin(const std::filesystem::path& dir, const Args& args);
int appear(const std::filesystem::path& dir, const Args& args);
int screenshot(const std::filesystem::path& dir, const Args& args);
int logs(const std::filesystem::path& dir, const Args& args);

// The usage lines of call, bulletin, appear and screenshot.
std::string eventVerbsUsage();

}  // namespace simctl
