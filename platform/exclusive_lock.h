#pragma once
// An exclusive, non-blocking flock on a file or device node, held while this lives: one program
// at a time on a device. Where paths are not files (or flock is missing), nothing is held.
#include <string>

#include "unique_fd.h"

namespace zyvora {

class ExclusiveLock {
public:
    enum class Result {
        Held,    // this program has the file to itself
        InUse,   // another open file holds it
        NoFile,  // nothing there to lock (yet)
    };
    Result take(const std::string& path);
    bool held() const { return static_cast<bool>(fd_); }

private:
    UniqueFd fd_;  // closing the last descriptor lets the lock go
};

}  // namespace zyvora
