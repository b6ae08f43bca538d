#pragma once
// Whole-file reads and writes. A write goes to a file beside the target that is renamed over it
// only when complete, so a failed write leaves the previous file exactly as it was.
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zyvora {

// "Unable to write to %s".
class WriteError : public std::runtime_error {
public:
    explicit WriteError(const std::string& path) : std::runtime_error("Unable to write to " + path) {}
};

// The file's bytes, or nullopt with `reason` set when it cannot be read.
std::optional<std::string> read_whole_file(const std::string& path, std::string* reason = nullptr);

// Replaces `path` with `data`. A new file is readable and writable by its owner only (settings
// files hold passwords); an existing file keeps its permissions. Throws WriteError.
void write_whole_file(const std::string& path, std::string_view data);

// Whether write_whole_file could replace `path`: its folder takes new files and `path` is a
// regular file or not there yet. Lets an operation refuse before doing slow work.
bool can_replace(const std::string& path);

}  // namespace zyvora
