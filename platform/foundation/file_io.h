// Files as the platform reads and writes them: read whole, replaced
// atomically (a temporary file in the same folder, written, flushed to disk,
// renamed over the old one), renamed without replacing.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/error.h"

namespace platform {

// The whole file. NotFound when there is none, Unreadable when it cannot be
// opened or read.
Result<std::string> readFile(const std::filesystem::path& file);
// Everything an open descriptor holds from its start; it does not move the
// descriptor's offset.
Result<std::string> readAll(int fd, const std::filesystem::path& nameForErrors);

// Writes all of `bytes` to `fd`, through short writes and interruptions;
// false with errno set when a write fails.
bool writeAll(int fd, std::string_view bytes);

// Writes the replacement of `file` through `write`, which gets the
// temporary file's descriptor and answers an error if it could not write
// it all. On any failure the old file is untouched and the temporary file
// is removed. The new file is mode 0644.
using ReplacementWriter = std::function<std::optional<Error>(int fd)>;
std::optional<Error> replaceAtomically(const std::filesystem::path& file, const ReplacementWriter& write);
std::optional<Error> replaceAtomically(const std::filesystem::path& file, std::string_view bytes);

// Renames `from` to `to` unless `to` exists (Exists then), also on file
// systems without a no-replace rename.
std::optional<Error> renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace platform
