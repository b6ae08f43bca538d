#include "interrupts.h"

#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace zyvora {

namespace {

constexpr int kHeldSignals[] = {SIGINT, SIGTERM, SIGHUP};
volatile sig_atomic_t g_interrupts = 0;
struct sigaction g_previous[3];

void count_interrupt(int) { g_interrupts = g_interrupts + 1; }

}  // namespace

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

HeldInterrupts::HeldInterrupts() {
    g_interrupts = 0;
    for (int i = 0; i < 3; ++i) {
        ::sigaction(kHeldSignals[i], nullptr, &g_previous[i]);
        if (g_previous[i].sa_handler == SIG_IGN) continue;
        struct sigaction held {};
        held.sa_handler = count_interrupt;
        sigemptyset(&held.sa_mask);
        held.sa_flags = SA_RESTART;
        ::sigaction(kHeldSignals[i], &held, nullptr);
    }
}

HeldInterrupts::~HeldInterrupts() {
    for (int i = 0; i < 3; ++i) ::sigaction(kHeldSignals[i], &g_previous[i], nullptr);
}

int HeldInterrupts::count() const { return g_interrupts; }

}  // namespace zyvora
