#include "files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace zyvora {

std::optional<std::string> read_whole_file(const std::string& path, std::string* reason) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        if (reason) *reason = std::strerror(EISDIR);
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (reason) *reason = std::strerror(errno);
        return std::nullopt;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) {
        if (reason) *reason = "read error";
        return std::nullopt;
    }
    return buffer.str();
}

namespace {

std::string folder_of(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool write_all(int fd, std::string_view data) {
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

}  // namespace

void write_whole_file(const std::string& given, std::string_view data) {
    // Through a symbolic link, replace the file it points to and keep the link.
    char resolved[PATH_MAX];
    const std::string path = ::realpath(given.c_str(), resolved) ? std::string(resolved) : given;
    struct stat existing {};
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) throw WriteError(given);
    const mode_t mode = exists ? (existing.st_mode & 07777) : (S_IRUSR | S_IWUSR);

    // A short hidden name beside the target, so a long target name still leaves room for it.
    std::string temp = folder_of(path) + "/.zyvora-XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) throw WriteError(given);
    temp = name.data();
    const bool ok = write_all(fd, data) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        throw WriteError(given);
    }
    // Make the rename itself durable; a failure here loses nothing already written.
    const int dir = ::open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

bool can_replace(const std::string& given) {
    char resolved[PATH_MAX];
    const std::string path = ::realpath(given.c_str(), resolved) ? std::string(resolved) : given;
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) return false;
    struct stat folder {};
    const std::string dir = folder_of(path);
    return ::stat(dir.c_str(), &folder) == 0 && S_ISDIR(folder.st_mode) && ::access(dir.c_str(), W_OK | X_OK) == 0;
}

}  // namespace zyvora
