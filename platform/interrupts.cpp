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
