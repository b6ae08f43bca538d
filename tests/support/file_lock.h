#pragma once
// A file lock as another program sees it: whether it could take the lock now, and a lock it
// holds for as long as the holder lives.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

namespace zyvora::test {

inline bool free_for_others(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const bool free = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (fd >= 0) ::close(fd);
    return free;
}

class HeldByOthers {
public:
    explicit HeldByOthers(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        EXPECT_GE(fd_, 0) << path;
        EXPECT_EQ(::flock(fd_, LOCK_EX | LOCK_NB), 0) << path;
    }
    ~HeldByOthers() {
        if (fd_ >= 0) ::close(fd_);
    }
    HeldByOthers(const HeldByOthers&) = delete;
    HeldByOthers& operator=(const HeldByOthers&) = delete;

private:
    int fd_;
};

}  // namespace zyvora::test
