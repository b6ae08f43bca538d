#include "files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace zyvora {

WriteError::WriteError(const std::string& path) : std::runtime_error("Unable to write to " + output_name(path)) {}

std::string input_name(const std::string& path) {
    return path == kStandardStream ? "standard input" : printable(path);
}

std::string output_name(const std::string& path) {
    return path == kStandardStream ? "standard output" : printable(path);
}

std::string printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        }
    }
    return out;
}

FileRead read_file(const std::string& path, std::size_t limit) {
    FileRead result;
    // A copy of standard input, so that closing it below leaves the stream itself open.
    const int fd = path == kStandardStream ? ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0)
                                           : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        result.reason = std::strerror(errno);
        return result;
    }
    try {
        std::string bytes;
        std::vector<char> chunk(64 * 1024);
        for (;;) {
            const ssize_t n = ::read(fd, chunk.data(), chunk.size());
            if (n < 0) {
                if (errno == EINTR) continue;
                result.reason = std::strerror(errno);
                break;
            }
            if (n == 0) {
                result.bytes = std::move(bytes);
                break;
            }
            if (bytes.size() + static_cast<std::size_t>(n) > limit) {
                result.too_large = true;
                break;
            }
            bytes.append(chunk.data(), static_cast<std::size_t>(n));
        }
    } catch (const std::bad_alloc&) {
        result.bytes.reset();
        result.reason = std::strerror(ENOMEM);
    }
    ::close(fd);
    return result;
}

std::optional<std::string> read_whole_file(const std::string& path, std::string* reason) {
    FileRead read = read_file(path, std::size_t{64} << 20);
    if (read.too_large) read.reason = std::strerror(EFBIG);
    if (!read.bytes && reason) *reason = read.reason;
    return std::move(read.bytes);
}

namespace {

// The temporary file of the replacement under way, for the signal handler to remove.
char g_temp[PATH_MAX];
volatile sig_atomic_t g_temp_active = 0;

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

void remove_temp_and_end(int signal) {
    if (g_temp_active) ::unlink(g_temp);
    // The handler was reset to the default action: the signal ends the program once we return.
    ::raise(signal);
}

// Blocks the cleanup signals while the temporary file's name is being registered.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t set;
        sigemptyset(&set);
        for (const int s : kCleanupSignals) sigaddset(&set, s);
        ::sigprocmask(SIG_BLOCK, &set, &previous_);
    }
    ~SignalsHeld() { ::sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t previous_;
};

std::string folder_of(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::optional<std::string> resolve_links(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        char target[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), target, sizeof target);
        if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) return std::nullopt;
        const std::string link(target, static_cast<std::size_t>(n));
        path = link.front() == '/' ? link : folder_of(path) + "/" + link;
    }
    return std::nullopt;  // a loop of links
}

bool write_all(int fd, std::string_view data, off_t at) {
    while (!data.empty()) {
        const ssize_t n = ::pwrite(fd, data.data(), data.size(), at);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
        at += n;
    }
    return true;
}

namespace {

// For a file that must stay the same inode: reserve the space first, so that a full disk fails
// before the old contents are touched, then overwrite and cut to the new length.
void rewrite_in_place(const std::string& path, const struct stat& existing, std::string_view data,
                      const std::string& given) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) throw WriteError(given);
    bool ok = true;
#ifdef __linux__
    if (data.size() > static_cast<std::size_t>(existing.st_size) &&
        ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(data.size())) != 0) {
        ok = errno == EOPNOTSUPP || errno == ENOSYS;
    }
#else
    (void)existing;
#endif
    ok = ok && write_all(fd, data, 0) && ::ftruncate(fd, static_cast<off_t>(data.size())) == 0 && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok) throw WriteError(given);
}

// A pipe or a terminal has no position to write at: plain writes, in order.
bool stream_all(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Whether `path` names something that exists and is neither a regular file nor a folder, its
// links followed as the system follows them (/dev/stdout among them).
bool is_stream_target(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

void write_straight_through(const std::string& given, std::string_view data) {
    if (given == kStandardStream) {
        if (!stream_all(STDOUT_FILENO, data)) throw WriteError(given);
        return;
    }
    const int fd = ::open(given.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) throw WriteError(given);
    const bool ok = stream_all(fd, data);
    if (::close(fd) != 0 || !ok) throw WriteError(given);
}

void sync_folder(const std::string& folder) {
    // Makes the rename itself durable; a failure here loses nothing already written.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

}  // namespace

void write_whole_file(const std::string& given, std::string_view data) {
    if (given == kStandardStream || is_stream_target(given)) return write_straight_through(given, data);
    const auto resolved = resolve_links(given);
    if (!resolved) throw WriteError(given);
    const std::string& path = *resolved;
    struct stat existing {};
    const bool exists = ::lstat(path.c_str(), &existing) == 0;
    if (exists && (!S_ISREG(existing.st_mode) || ::access(path.c_str(), W_OK) != 0)) throw WriteError(given);
    if (exists && existing.st_nlink > 1) return rewrite_in_place(path, existing, data, given);
    const mode_t mode = exists ? (existing.st_mode & 07777) : (S_IRUSR | S_IWUSR);

    // A short hidden name beside the target, so a long target name still leaves room for it.
    const std::string pattern = folder_of(path) + "/.zyvora-XXXXXX";
    if (pattern.size() >= sizeof g_temp) throw WriteError(given);
    int fd;
    {
        SignalsHeld held;
        std::memcpy(g_temp, pattern.c_str(), pattern.size() + 1);
        fd = ::mkstemp(g_temp);
        if (fd >= 0) g_temp_active = 1;
    }
    // A file the user may write in a folder that takes no new files can still be written.
    if (fd < 0 && exists && errno == EACCES) return rewrite_in_place(path, existing, data, given);
    if (fd < 0) throw WriteError(given);
    const std::string temp = g_temp;
    const auto discard = [&] {
        ::unlink(temp.c_str());
        g_temp_active = 0;
    };
    struct stat made {};
    const bool other_owner = exists && ::fstat(fd, &made) == 0 &&
                             (made.st_uid != existing.st_uid || made.st_gid != existing.st_gid);
    if (other_owner && ::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
        // Only the file itself keeps its owner: write into it instead.
        ::close(fd);
        discard();
        return rewrite_in_place(path, existing, data, given);
    }
    // After the owner, since a change of owner may clear the set-id bits.
    const bool ok = write_all(fd, data, 0) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok || ::rename(temp.c_str(), path.c_str()) != 0) {
        discard();
        throw WriteError(given);
    }
    g_temp_active = 0;
    sync_folder(folder_of(path));
}

InPlaceFile::~InPlaceFile() { close(); }

bool InPlaceFile::open(const std::string& path, std::span<const std::uint8_t> initial, std::string* why,
                       bool* created) {
    close();
    if (created) *created = false;
    const auto fail = [&] {
        if (why) *why = std::strerror(errno);
        return false;
    };
    fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd_ >= 0) return true;
    if (errno != ENOENT) return fail();
    // Links that cannot be followed leave the name itself, and opening it says why.
    const std::string target = resolve_links(path).value_or(path);
    fd_ = ::open(target.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd_ < 0) {
        // Another program may have created it meanwhile: its contents are kept, not overwritten.
        if (errno != EEXIST) return fail();
        fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        return fd_ >= 0 || fail();
    }
    const std::string_view bytes(reinterpret_cast<const char*>(initial.data()), initial.size());
    if (!write_all(fd_, bytes, 0)) {
        fail();
        // Half a file would pass for a whole one: better none at all.
        ::unlink(target.c_str());
        close();
        return false;
    }
    if (created) *created = true;
    return true;
}

bool InPlaceFile::write_at(std::size_t offset, std::span<const std::uint8_t> bytes, std::string* why) {
    const std::string_view data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (fd_ >= 0 && write_all(fd_, data, static_cast<off_t>(offset))) return true;
    if (why) *why = std::strerror(fd_ >= 0 ? errno : EBADF);
    return false;
}

bool InPlaceFile::sync(std::string* why) {
    if (fd_ >= 0 && ::fsync(fd_) == 0) return true;
    if (why) *why = std::strerror(fd_ >= 0 ? errno : EBADF);
    return false;
}

void InPlaceFile::close() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
}

bool can_replace(const std::string& given) {
    if (given == kStandardStream) return true;
    if (is_stream_target(given)) return ::access(given.c_str(), W_OK) == 0;
    const auto resolved = resolve_links(given);
    if (!resolved) return false;
    const std::string& path = *resolved;
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0) return S_ISREG(existing.st_mode) && ::access(path.c_str(), W_OK) == 0;
    struct stat folder {};
    const std::string dir = folder_of(path);
    return ::stat(dir.c_str(), &folder) == 0 && S_ISDIR(folder.st_mode) && ::access(dir.c_str(), W_OK | X_OK) == 0;
}

bool claim_new_file(const std::string& path, bool* taken, std::string* why) {
    *taken = false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    *taken = errno == EEXIST;
    if (!*taken) *why = std::strerror(errno);
    return false;
}

bool same_file(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

void install_signal_cleanup() {
    ::signal(SIGXFSZ, SIG_IGN);
    for (const int s : kCleanupSignals) {
        struct sigaction current {};
        ::sigaction(s, nullptr, &current);
        // A signal the caller chose to ignore (nohup) stays ignored.
        if (current.sa_handler == SIG_IGN) continue;
        struct sigaction cleanup {};
        cleanup.sa_handler = remove_temp_and_end;
        sigemptyset(&cleanup.sa_mask);
        cleanup.sa_flags = SA_RESETHAND;
        ::sigaction(s, &cleanup, nullptr);
    }
}

}  // namespace zyvora
