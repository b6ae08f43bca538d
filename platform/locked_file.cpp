#include "locked_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "files.h"

namespace zyvora {

namespace {

// What a file that is no regular file is, for the message that refuses it.
std::string not_regular(mode_t mode) {
    const char* what = S_ISFIFO(mode)                     ? "a FIFO"
                       : S_ISDIR(mode)                    ? "a folder"
                       : S_ISCHR(mode) || S_ISBLK(mode)   ? "a device"
                       : S_ISSOCK(mode)                   ? "a socket"
                                                          : "something else";
    return std::string("is ") + what + ", not a regular file";
}

bool fail(std::string* why, int error) {
    if (why) *why = std::strerror(error);
    return false;
}

}  // namespace

LockedFile::Result LockedFile::open(const std::string& path, std::string* why) {
    close();
    // Looked at before it is opened, so that a device node is never opened at all; the open file
    // is looked at again in case the name changed between.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT) return Result::Missing;
        fail(why, errno);
        return Result::Failed;
    }
    if (!S_ISREG(st.st_mode)) {
        if (why) *why = not_regular(st.st_mode);
        return Result::Failed;
    }
    // Non-blocking, so that a FIFO put there meanwhile cannot hold the open.
    constexpr int flags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    UniqueFd fd(::open(path.c_str(), O_RDWR | flags));
    int write_error = 0;
    if (!fd && errno != ENOENT) {
        write_error = errno;
        fd.reset(::open(path.c_str(), O_RDONLY | flags));
    }
    if (!fd) {
        if (errno == ENOENT) return Result::Missing;
        fail(why, errno);
        return Result::Failed;
    }
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        if (why) *why = S_ISREG(st.st_mode) ? std::strerror(errno) : not_regular(st.st_mode);
        return Result::Failed;
    }
    // Where the file system keeps no locks, the file is used unlocked, as a device node would be.
    while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno == EWOULDBLOCK) return Result::InUse;
        break;
    }
    fd_ = std::move(fd);
    write_error_ = write_error;
    return Result::Held;
}

LockedFile::Result LockedFile::open_or_create(const std::string& path, std::span<const std::uint8_t> initial,
                                              std::string* why, bool* created) {
    if (created) *created = false;
    const Result opened = open(path, why);
    if (opened != Result::Missing) return opened;
    // Made and locked under a name of its own, then given its name in one step: whoever finds
    // the name finds it whole and locked.
    const std::string target = resolve_links(path).value_or(path);
    std::vector<char> temp(target.begin(), target.end());
    const std::string_view suffix = ".XXXXXX";
    temp.insert(temp.end(), suffix.begin(), suffix.end());
    temp.push_back('\0');
    UniqueFd fd(::mkostemp(temp.data(), O_CLOEXEC));  // owner-only, as it may hold passwords
    if (!fd) {
        fail(why, errno);
        return Result::Failed;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(initial.data()), initial.size());
    bool made = ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
    if (made && !write_all(fd.get(), bytes, 0)) made = fail(why, errno);
    if (made && ::link(temp.data(), target.c_str()) != 0) {
        if (errno != EEXIST) made = fail(why, errno);
        else {
            // Another program made it first: its file counts, as it is.
            ::unlink(temp.data());
            fd.reset();
            return open(path, why);
        }
    }
    ::unlink(temp.data());
    if (!made) return Result::Failed;
    fd_ = std::move(fd);
    write_error_ = 0;
    if (created) *created = true;
    return Result::Held;
}

long LockedFile::read_at(std::size_t offset, std::span<std::uint8_t> bytes, std::string* why) const {
    if (!fd_) return fail(why, EBADF) ? 0 : -1;
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::pread(fd_.get(), bytes.data() + got, bytes.size() - got, static_cast<off_t>(offset + got));
        if (n == 0) break;
        if (n > 0) got += static_cast<std::size_t>(n);
        else if (errno != EINTR) return fail(why, errno) ? 0 : -1;
    }
    return static_cast<long>(got);
}

bool LockedFile::write_at(std::size_t offset, std::span<const std::uint8_t> bytes, std::string* why) {
    if (!fd_ || write_error_ != 0) return fail(why, !fd_ ? EBADF : write_error_);
    const std::string_view data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return write_all(fd_.get(), data, static_cast<off_t>(offset)) || fail(why, errno);
}

bool LockedFile::sync(std::string* why) {
    if (fd_ && ::fsync(fd_.get()) == 0) return true;
    return fail(why, fd_ ? errno : EBADF);
}

void LockedFile::close() {
    fd_.reset();
    write_error_ = 0;
}

}  // namespace zyvora
