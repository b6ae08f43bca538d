#include "files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <set>
#include <utility>
#include <vector>

#include "data_folders.h"

namespace zyvora {

WriteError::WriteError(const std::string& path) : std::runtime_error("Unable to write to " + output_name(path)) {}

WriteError::WriteError(const std::string& path, const std::optional<std::string>& previous)
    : std::runtime_error(output_name(path) + " may be damaged; " +
                         (previous ? "its previous contents are in " + printable(*previous)
                                   : std::string("its previous contents could not be kept"))) {}

std::string input_name(const std::string& path) {
    return path == kStandardStream ? "standard input" : printable(path);
}

std::string output_name(const std::string& path) {
    return path == kStandardStream ? "standard output" : printable(path);
}

std::size_t utf8_length(std::string_view text) {
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = at(0);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the bounds of the byte after the lead
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    }
    if (length == 0 || text.size() < length || at(1) < low || at(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (at(i) < 0x80 || at(i) > 0xBF) return 0;
    }
    return length;
}

namespace {


void append_hex(std::string& out, std::string_view bytes) {
    for (const char c : bytes) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
        out += hex;
    }
}

}  // namespace

std::string printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            // A C1 control (0x80-0x9F) is a byte outside any UTF-8 character, or U+0080-U+009F,
            // whose two bytes are C2 80 to C2 9F.
            const std::size_t length = utf8_length(text.substr(i));
            const std::string_view bytes = text.substr(i, length == 0 ? 1 : length);
            const bool c1 = length == 0 ? byte <= 0x9F : byte == 0xC2 && static_cast<unsigned char>(bytes[1]) <= 0x9F;
            if (c1) append_hex(out, bytes);
            else out += bytes;
            i += bytes.size();
            continue;
        }
        if (byte >= 0x20 && byte != 0x7F) {
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            append_hex(out, text.substr(i, 1));
        }
        ++i;
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

bool write_all(int fd, std::string_view data, off_t at, off_t* reached) {
    while (!data.empty()) {
        const ssize_t n = ::pwrite(fd, data.data(), data.size(), at);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
        at += n;
        if (reached) *reached = at;
    }
    return true;
}

namespace {

// The whole of an open file, from its start; nullopt when a read fails.
std::optional<std::string> read_all(int fd) {
    std::string bytes;
    char chunk[64 * 1024];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd, chunk, sizeof chunk, at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) return bytes;
        bytes.append(chunk, static_cast<std::size_t>(n));
        at += n;
    }
}

// Keeps `bytes` in a new file, readable by its owner only, beside `path` or else in the data
// folder; its name, or nullopt when neither takes it.
std::optional<std::string> keep_copy(const std::string& path, std::string_view bytes) {
    const auto slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string data_folder = data_home() + "/zyvora-configurator";
    std::string why;
    for (const std::string& folder : {folder_of(path), data_folder}) {
        if (folder == data_folder && !make_folders(folder, &why)) break;
        std::string copy = folder + "/" + name + ".previous-XXXXXX";
        const int fd = ::mkstemp(copy.data());
        if (fd < 0) continue;
        const bool ok = write_all(fd, bytes, 0) && ::fsync(fd) == 0;
        if (::close(fd) == 0 && ok) return copy;
        ::unlink(copy.c_str());
    }
    return std::nullopt;
}

// For a file that must stay the same inode: reserve the space first, so that a full disk fails
// before the old contents are touched, then overwrite and cut to the new length. The old
// contents are kept in memory and put back when a write fails part-way, and the cleanup signals
// wait until the file is whole, old or new.
void rewrite_in_place(const std::string& path, const struct stat& existing, std::string_view data,
                      const std::string& given) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) throw WriteError(given);
    const auto old = read_all(fd);
    if (!old) {
        ::close(fd);
        throw WriteError(given);
    }
    SignalsHeld held;
    bool ok = true;
#ifdef __linux__
    if (data.size() > static_cast<std::size_t>(existing.st_size) &&
        ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(data.size())) != 0) {
        ok = errno == EOPNOTSUPP || errno == ENOSYS;
    }
#else
    (void)existing;
#endif
    // How far from the start the file may now differ from its old contents.
    off_t changed = 0;
    ok = ok && write_all(fd, data, 0, &changed) && ::ftruncate(fd, static_cast<off_t>(data.size())) == 0 &&
         ::fsync(fd) == 0;
    if (ok) {
        if (::close(fd) != 0) throw WriteError(given);
        return;
    }
    // Only what was overwritten goes back, so the old contents never meet a limit they did not
    // meet before; the length is set again only when it changed.
    const std::string_view before(*old);
    const std::size_t overwritten = std::min(static_cast<std::size_t>(changed), before.size());
    struct stat now {};
    const bool restored = write_all(fd, before.substr(0, overwritten), 0) && ::fstat(fd, &now) == 0 &&
                          (now.st_size == static_cast<off_t>(before.size()) ||
                           ::ftruncate(fd, static_cast<off_t>(before.size())) == 0) &&
                          ::fsync(fd) == 0;
    ::close(fd);
    if (restored) throw WriteError(given);
    throw WriteError(given, keep_copy(path, before));
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

// The names of a file's extended attributes (its ACL among them); nullopt when they cannot be
// listed. A file system without them has none.
std::optional<std::vector<std::string>> attribute_names(const std::string& path, int fd) {
    for (;;) {
        const ssize_t size = fd >= 0 ? ::flistxattr(fd, nullptr, 0) : ::listxattr(path.c_str(), nullptr, 0);
        if (size < 0) {
            if (errno == ENOTSUP) return std::vector<std::string>{};
            return std::nullopt;
        }
        std::string list(static_cast<std::size_t>(size), '\0');
        const ssize_t n = fd >= 0 ? ::flistxattr(fd, list.data(), list.size()) : ::listxattr(path.c_str(), list.data(), list.size());
        if (n < 0 && errno == ERANGE) continue;  // one was added meanwhile
        if (n < 0) return std::nullopt;
        std::vector<std::string> names;
        for (std::size_t at = 0; at < static_cast<std::size_t>(n);) {
            const std::size_t end = list.find('\0', at);
            names.push_back(list.substr(at, end - at));
            at = end + 1;
        }
        return names;
    }
}

std::optional<std::string> attribute_value(const std::string& path, int fd, const std::string& name) {
    for (;;) {
        const ssize_t size = fd >= 0 ? ::fgetxattr(fd, name.c_str(), nullptr, 0) : ::getxattr(path.c_str(), name.c_str(), nullptr, 0);
        if (size < 0) return std::nullopt;
        std::string value(static_cast<std::size_t>(size), '\0');
        const ssize_t n = fd >= 0 ? ::fgetxattr(fd, name.c_str(), value.data(), value.size())
                                  : ::getxattr(path.c_str(), name.c_str(), value.data(), value.size());
        if (n < 0 && errno == ERANGE) continue;
        if (n < 0) return std::nullopt;
        value.resize(static_cast<std::size_t>(n));
        return value;
    }
}

// Gives the new file `fd` exactly the extended attributes of `path`: its ACL (an attribute
// too) and the others; what the folder gave the new file by default and `path` lacks is taken
// away. False when that cannot be done, so that the caller writes `path` in place instead.
bool copy_attributes(const std::string& path, int fd) {
    const auto wanted = attribute_names(path, -1);
    const auto present = attribute_names(path, fd);
    if (!wanted || !present) return false;
    const std::set<std::string> keep(wanted->begin(), wanted->end());
    for (const std::string& name : *present) {
        if (!keep.count(name) && ::fremovexattr(fd, name.c_str()) != 0 && errno != ENODATA) return false;
    }
    for (const std::string& name : *wanted) {
        const auto value = attribute_value(path, -1, name);
        if (!value) return false;
        // An attribute the user may not set (a security label) is fine when it is already the same.
        if (::fsetxattr(fd, name.c_str(), value->data(), value->size(), 0) != 0 && attribute_value(path, fd, name) != value) {
            return false;
        }
    }
    return true;
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
    // Only the file itself keeps its owner, or the attributes that say who may read it: write
    // into it instead.
    if ((other_owner && ::fchown(fd, existing.st_uid, existing.st_gid) != 0) || (exists && !copy_attributes(path, fd))) {
        ::close(fd);
        discard();
        return rewrite_in_place(path, existing, data, given);
    }
    // After the owner, since a change of owner may clear the set-id bits, and after the ACL, so
    // that one the folder gave by default never widens access meanwhile.
    const bool ok = write_all(fd, data, 0) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok || ::rename(temp.c_str(), path.c_str()) != 0) {
        discard();
        throw WriteError(given);
    }
    g_temp_active = 0;
    sync_folder(folder_of(path));
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

bool written_straight_through(const std::string& path) {
    return path == kStandardStream || is_stream_target(path);
}

namespace {

// The files this program holds a FileLock on, so that a second lock on one of them, further
// down the same save, neither waits for the first nor lets it go early.
std::set<std::pair<dev_t, ino_t>>& locked_files() {
    static std::set<std::pair<dev_t, ino_t>> files;
    return files;
}

}  // namespace

FileLock::FileLock(const std::string& path) {
    if (path == kStandardStream) return;
    for (;;) {
        // Not blocking, so that a FIFO put there meanwhile does not hold us here.
        UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        if (!fd) return;  // nothing there yet, or nothing we may read: no merge to lose
        struct stat locked {};
        if (::fstat(fd.get(), &locked) != 0 || !S_ISREG(locked.st_mode) ||
            locked_files().count({locked.st_dev, locked.st_ino}) != 0) {
            return;
        }
        while (::flock(fd.get(), LOCK_EX) != 0 && errno == EINTR) {
        }
        // The writer we waited for may have renamed a new file over the one we opened: then
        // that new file is the one to lock.
        struct stat now {};
        if (::stat(path.c_str(), &now) == 0 && now.st_dev == locked.st_dev && now.st_ino == locked.st_ino) {
            fd_ = std::move(fd);
            key_ = {locked.st_dev, locked.st_ino};
            locked_files().insert(key_);
            return;
        }
    }
}

FileLock::~FileLock() {
    if (fd_) locked_files().erase(key_);
}

bool claim_new_file(const std::string& path, bool* taken, std::string* why) {
    *taken = false;
    if (UniqueFd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR))) return true;
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
