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

ExclusiveLock::Result ExclusiveLock::take(const std::string& path) {
#ifdef ZYVORA_HAVE_FLOCK
    if (fd_) return Result::Held;
    // Reading is enough to lock; non-blocking, so a FIFO or a slow device node cannot hold us here.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) return Result::NoFile;
    while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        return errno == EWOULDBLOCK ? Result::InUse : Result::NoFile;
    }
    fd_ = std::move(fd);
    return Result::Held;
#else
    (void)path;
    return Result::NoFile;
#endif
}

}  // namespace zyvora
