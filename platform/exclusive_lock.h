#pragma once
// An exclusive, non-blocking flock on a file or device node, held while this lives: one program
// at a time on a device. Where paths are not files (or flock is missing), nothing is held.
#include <string>

namespace zyvora {

class ExclusiveLock {
public:
    enum class Result {
        Held,    // this program has the file to itself
        InUse,   // another open file holds it
        NoFile,  // nothing there to lock (yet)
    };
    ExclusiveLock() = default;
    ~ExclusiveLock();
    ExclusiveLock(ExclusiveLock&& other) noexcept;
    ExclusiveLock& operator=(ExclusiveLock&& other) noexcept;

    Result take(const std::string& path);
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace zyvora
