#pragma once
// Whole-file reads with a bound, whole-file replacement that never leaves a half-written file (a
// write goes to a file beside the target that is renamed over it only when complete), and one
// writer at a time for a file.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include <sys/types.h>

#include "unique_fd.h"

namespace zyvora {

// "Unable to write to %s".
class WriteError : public std::runtime_error {
public:
    explicit WriteError(const std::string& path);
    // "<path> may be damaged; its previous contents are in <previous>": a write in place failed
    // and putting the old contents back failed too.
    WriteError(const std::string& path, const std::optional<std::string>& previous);
};

// A file name or a device's text as a terminal may show it: control bytes as \n, \t, \r or \xNN,
// C1 controls (0x80-0x9F outside a UTF-8 character, or U+0080-U+009F) among them.
std::string printable(std::string_view text);

// The length of the well-formed UTF-8 character at the start of `text` (RFC 3629: no overlong
// forms, no surrogates, nothing past U+10FFFF), or 0 when there is none.
std::size_t utf8_length(std::string_view text);

// `-` names standard input where a file is read and standard output where one is written.
constexpr std::string_view kStandardStream = "-";
// The name messages give a file: printable, and "standard input" or "standard output" for `-`.
std::string input_name(const std::string& path);
std::string output_name(const std::string& path);

struct FileRead {
    std::optional<std::string> bytes;  // the whole file, when it could be read and fits the bound
    bool too_large = false;            // it holds more than the bound
    std::string reason;                // why it could not be read (strerror text)
};

// Reads at most `limit` bytes and one more to tell a larger file (`-`: standard input); every read is checked, so an
// I/O error or a failed allocation is a failure, never an early end of file.
FileRead read_file(const std::string& path, std::size_t limit);

// The file's bytes, or nullopt with `reason` set when it cannot be read (up to 64 MiB).
std::optional<std::string> read_whole_file(const std::string& path, std::string* reason = nullptr);

// Replaces `path` with `data`, or throws WriteError and leaves it as it was.
// - `-` and a target that is no regular file (a pipe, a terminal, a device) are written straight
//   through: such a target cannot be replaced, only written.
// - A target the user may not write is refused.
// - A symbolic link, dangling or not, keeps being a link and its target is written.
// - A new file is readable and writable by its owner only (settings files hold passwords); an
//   existing one keeps its permissions, owner and group.
// - An existing file's extended attributes, its ACL among them, go to the new file; a default
//   ACL of the folder that the file did not have is not added.
// - A file with other hard links, one whose owner or attributes a new file could not take, or one
//   in a folder the user may not add files to, is rewritten in place (space reserved first), so
//   every name keeps seeing one file with its owner. A write there that fails part-way puts the
//   old contents back, and the cleanup signals wait until the file is whole; when even putting
//   back fails, the old contents are kept in a new file (beside it, or in the data folder) that
//   the error names.
// - The temporary file never outlives a failure or SIGINT, SIGTERM or SIGHUP (see signals).
void write_whole_file(const std::string& path, std::string_view data);

// Whether write_whole_file could replace `path`: its folder takes new files and `path` is a
// regular file the user may write, or not there yet, or `-` or another target written straight through. Lets an operation refuse before slow work.
bool can_replace(const std::string& path);

// Whether `path` is `-` or another target that write_whole_file writes straight through, and
// that no later failure can therefore undo.
bool written_straight_through(const std::string& path);

// One writer at a time for a file: while one lives, another program's FileLock on the same
// file (an advisory flock) waits. Taken before a file is read and kept until it has been
// replaced, so that two programs that each change part of it keep both changes. A later lock in
// the same program on a file it already holds does nothing. Nothing is locked for `-`, a file
// that is not there or cannot be read, or one that is no regular file.
class FileLock {
public:
    explicit FileLock(const std::string& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    UniqueFd fd_;  // its closing lets the lock go, after the key has left the set
    std::pair<dev_t, ino_t> key_{};
};

// Makes `path` as a new empty file, readable and writable by its owner only, and only if no
// file of that name is there: of two programs that want the name at once, one gets it. False
// with `taken` set when the name was taken, or with `why` (strerror text) when it cannot be made.
bool claim_new_file(const std::string& path, bool* taken, std::string* why);

// The name that is really written: symbolic links followed, the last one even when it dangles;
// nullopt for a loop of links.
std::optional<std::string> resolve_links(std::string path);
// pwrite of all of `data` at `at`; false with errno set. With `reached`, tells how far the
// bytes that were written go, when some were.
bool write_all(int fd, std::string_view data, off_t at, off_t* reached = nullptr);

// Whether the two names are one file (both exist and share device and inode).
bool same_file(const std::string& a, const std::string& b);

// At start-up of a program: a write past the file size limit fails with an error instead of
// killing the program (SIGXFSZ ignored), and SIGINT, SIGTERM and SIGHUP remove the temporary
// file of a replacement under way before the program ends as the signal says.
void install_signal_cleanup();

}  // namespace zyvora
