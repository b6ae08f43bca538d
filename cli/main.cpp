// zyvora-cli: the configurator's operations for scripts and service work.
#include <csignal>

#include "command_line.h"
#include "console.h"
#include "files.h"
#include "verbs.h"

using namespace zyvora;
using namespace zyvora::cli;

int main(int argc, char** argv) {
    install_signal_cleanup();
    // A closed standard output (a pipe into `head`, say) must not stop a transfer half way: the
    // log lines that cannot be written are dropped.
    std::signal(SIGPIPE, SIG_IGN);
    CommandLine line;
    define_options(line);
    define_verbs(line);
    try {
        line.app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = line.app.exit(e);
        return code == 0 ? 0 : 2;
    }
    if (const auto refused = refuse_inconsistent(line)) return *refused;

    ConsoleFeedback feedback;
    Device device;
    // The transfers decide for themselves what an interrupt does; the queries just end.
    if (*line.read || *line.write || *line.upload) feedback.hold_interrupts();
    if (line.needs_device()) {
        if (const auto failed = make_device(line.options, feedback, device)) return *failed;
    }
    return run_verb(line, device, feedback);
}
