#include "data_folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace zyvora {

std::string data_home() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') return xdg;
    // `/` counts as no home folder: what is kept there would be every user's.
    const auto usable = [](const char* home) { return home && home[0] == '/' && std::strcmp(home, "/") != 0; };
    const char* home = std::getenv("HOME");
    if (!usable(home)) {
        const passwd* user = ::getpwuid(::getuid());
        home = user ? user->pw_dir : nullptr;
    }
    return usable(home) ? std::string(home) + "/.local/share" : std::string();
}

bool make_folders(const std::string& folder, std::string* why) {
    for (std::size_t at = 1; at <= folder.size(); ++at) {
        if (at < folder.size() && folder[at] != '/') continue;
        const std::string part = folder.substr(0, at);
        struct stat st {};
        if (::stat(part.c_str(), &st) == 0) {
            if (S_ISDIR(st.st_mode)) continue;
            *why = part + ": " + std::strerror(ENOTDIR);
            return false;
        }
        if (::mkdir(part.c_str(), S_IRWXU) != 0 && errno != EEXIST) {
            *why = part + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

const std::vector<std::string>& udev_rule_folders() {
    static const std::vector<std::string> folders = {"/etc/udev/rules.d/", "/run/udev/rules.d/",
                                                     "/usr/lib/udev/rules.d/", "/lib/udev/rules.d/"};
    return folders;
}

bool udev_reads(const std::string& path) {
    const auto& folders = udev_rule_folders();
    return std::any_of(folders.begin(), folders.end(), [&](const std::string& folder) { return path.starts_with(folder); });
}

}  // namespace zyvora
