#pragma once
// A file one program at a time works on, as a device node is: opened and locked in one step, or
// made with the lock already held when its name appears, so no other program finds it unlocked.
// The lock is an advisory flock on the open file, let go when it closes.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "unique_fd.h"

namespace zyvora {

class LockedFile {
public:
    enum class Result {
        Held,     // open and locked by this program
        InUse,    // another open file holds the lock
        Missing,  // no file of that name
        Failed,   // `why` says why
    };
    LockedFile() = default;
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    // Opens `path` to read and write it (only to read when it may not be written: writes then
    // fail with the reason) and locks it. What is no regular file is refused unread and without
    // waiting, with `why` such as "is a FIFO, not a regular file"; otherwise `why` is strerror text.
    Result open(const std::string& path, std::string* why);
    // The same; a missing file is made holding `initial`, readable and writable by its owner only,
    // at the end of its symbolic links. One that cannot take `initial` whole is not left behind;
    // one another program makes meanwhile is opened as it is. `created` tells whether this call
    // made it.
    Result open_or_create(const std::string& path, std::span<const std::uint8_t> initial, std::string* why,
                          bool* created = nullptr);
    bool is_open() const { return static_cast<bool>(fd_); }

    // Reads from `offset` until `bytes` is full or the file ends: the count read, or -1 with
    // `why` (strerror text).
    long read_at(std::size_t offset, std::span<std::uint8_t> bytes, std::string* why) const;
    // False with `why` (strerror text) when the file does not take all of `bytes` at `offset`.
    bool write_at(std::size_t offset, std::span<const std::uint8_t> bytes, std::string* why);
    // fsync: false with `why` when what was written may not be on the disk.
    bool sync(std::string* why);
    void close();

private:
    UniqueFd fd_;  // closing it lets the lock go
    int write_error_ = 0;  // why writes fail on a file opened only to read
};

}  // namespace zyvora
