#include "exclusive_lock.h"

#include <cerrno>
#include <utility>

#if __has_include(<sys/file.h>)
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#define ZYVORA_HAVE_FLOCK 1
#endif

namespace zyvora {

ExclusiveLock::~ExclusiveLock() {
#ifdef ZYVORA_HAVE_FLOCK
    if (fd_ >= 0) ::close(fd_);  // closing the last descriptor lets the lock go
#endif
}

ExclusiveLock::ExclusiveLock(ExclusiveLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

ExclusiveLock& ExclusiveLock::operator=(ExclusiveLock&& other) noexcept {
    if (this != &other) {
        ExclusiveLock gone(std::move(*this));
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

ExclusiveLock::Result ExclusiveLock::take(const std::string& path) {
#ifdef ZYVORA_HAVE_FLOCK
    if (fd_ >= 0) return Result::Held;
    // Reading is enough to lock; non-blocking, so a FIFO or a slow device node cannot hold us here.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return Result::NoFile;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        const bool busy = errno == EWOULDBLOCK;
        ::close(fd);
        return busy ? Result::InUse : Result::NoFile;
    }
    fd_ = fd;
    return Result::Held;
#else
    (void)path;
    return Result::NoFile;
#endif
}

}  // namespace zyvora
