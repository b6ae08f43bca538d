// zyvora-cli: the configurator's operations for scripts and service work.
#include <algorithm>
#include <csignal>
#include <string>
#include <vector>

#include "command_line.h"
#include "console.h"
#include "files.h"
#include "hid.h"
#include "several_devices.h"
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
    const std::vector<std::string> args = with_help_verb(line, std::vector<std::string>(argv + 1, argv + argc));
    try {
        // The parser takes the arguments last first.
        line.app.parse(std::vector<std::string>(args.rbegin(), args.rend()));
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return line.app.exit(e);  // --help, --version
        const auto unknown = unknown_word(line, args);
        return refuse(unknown ? *unknown : usage_error(line, args, e));
    }
    line.args = args;
    settle_devices(line.options);
    if (const auto refused = refuse_inconsistent(line)) return *refused;
    if (const auto refused = refuse_names(line)) return *refused;

    const Options& o = line.options;
    // Standard output that carries a file or a JSON document takes no status log.
    const LogSetup setup{o.quiet, o.verbose,
                         o.json || o.dry_run || o.out == kStandardStream || o.image_out == kStandardStream};
    ConsoleFeedback feedback(setup);
    if (line.needs_device() && several_devices(o)) {
        if (const auto refused = refuse_several(line)) return *refused;
        const std::vector<std::string> texts = given_devices(o);
        const auto faults = faults_per_device(line.args, texts.size());
        std::vector<GivenDevice> given;
        for (std::size_t i = 0; i < texts.size(); ++i) given.push_back({texts[i], faults[i]});
        if (std::none_of(given.begin(), given.end(), [](const GivenDevice& d) { return d.text == kAllDevices; })) {
            return run_on_devices(line, given, setup);
        }
        HidPort usb;
        const auto devices = expand_all(given, usb, feedback);
        return devices ? run_on_devices(line, *devices, setup) : 1;
    }
    Device device;
    // The transfers decide for themselves what an interrupt does; the queries just end. ruf
    // --send is a transfer too.
    if (line.verb().holds_interrupts || !o.send_to.empty()) feedback.hold_interrupts();
    if (line.needs_device()) {
        if (const auto failed = make_device(line.options, feedback, device)) return *failed;
    }
    return run_verb(line, device, feedback);
}
