#include "command_line.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <iostream>
#include <stdexcept>
#include <utility>

#include "files.h"
#include "firmware_embedded.h"
#include "hid.h"
#include "image.h"
#include "nearest.h"
#include "report.h"
#include "settingsfile.h"

namespace zyvora::cli {

bool one_file(const std::string& a, const std::string& b) {
    // `-` in and `-` out are two streams, whatever files a folder holds by that name.
    if (a == kStandardStream || b == kStandardStream) return false;
    if (same_file(a, b)) return true;
    std::error_code ea, eb;
    const auto ca = std::filesystem::weakly_canonical(a, ea), cb = std::filesystem::weakly_canonical(b, eb);
    return !ea && !eb && ca == cb;
}

namespace {

// The options of the device and the simulated device, on the main command and on each verb that
// talks to the device, so that they are given before or after the verb and the verb's help lists them.
std::vector<CLI::Option*> add_device_options(CLI::App& app, Options& o, std::vector<std::string>& devices,
                                             std::vector<std::string>& faults) {
    std::vector<CLI::Option*> added;
    added.push_back(app.add_option(
        "--device", devices,
        "hid (the one USB device attached, the default), hid:PATH or hid:SERIAL (the USB device at that path "
        "or with that serial number), sim (a simulated device), sim:FILE (its EEPROM kept in FILE) or all (every "
        "USB device attached); given several times, the verb runs on each device in turn"));
    // One value each time it is given: the word after it may be the verb's file.
    added.back()->allow_extra_args(false);
    added.push_back(app.add_option("--sim-firmware-version", o.sim.firmware_version,
                                   "Simulated device: firmware version number (113 = 1.13)"));
    added.push_back(app.add_option("--sim-hardware", o.sim.hardware_version, "Simulated device: hardware version text"));
    added.push_back(app.add_option("--sim-serial", o.sim.serial_number,
                                   "Simulated device: serial number (default: SIM- and the EEPROM file's name, "
                                   "upper-cased; SIM without one)"));
    added.push_back(app.add_option("--sim-fault", faults,
                   "Simulated device: a fault, COMMAND[@PAGE]=KIND; commands hwversion, fwversion, read, write, "
                   "firmware; kinds wrong-sum, wrong-echo, short-reply, no-reply, gone, corrupt; after a --device, "
                   "that device's alone"));
    added.back()->allow_extra_args(false);
    added.push_back(app.add_flag("--sim-erased", o.sim.erased, "Simulated device: a fresh EEPROM is erased (all 0xFF)"));
    added.push_back(app.add_flag("--sim-absent", o.sim.not_found, "Simulated device: not attached"));
    // A reply later than the device's reply limit is no reply, so a longer latency is no device.
    added.push_back(app.add_option("--sim-latency-us", o.latency_us,
                                   "Simulated device: microseconds before each reply, at most " +
                                       std::to_string(kReplyTimeoutMs * 1000L) + " (the reply limit)")
                        ->check(CLI::Range(0L, kReplyTimeoutMs * 1000L)));
    return added;
}

// True of this build: one without firmware needs the option for an upload or a remote update file.
const std::string kFirmwareHelp = embedded_firmware()
                                      ? "Firmware image to upload or pack instead of the one built in ('-': standard input)"
                                      : "Firmware image to upload or pack; this build carries none ('-': standard input)";

// The help as CLI11 lays it out, its long lines then broken at spaces to the width: an option's
// or a verb's description goes on under itself, a paragraph at the margin.
class WrappingFormatter : public CLI::Formatter {
public:
    explicit WrappingFormatter(std::size_t width) : width_(width) {}
    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override {
        const std::string help = CLI::Formatter::make_help(app, std::move(name), mode);
        std::string out;
        std::size_t from = 0;
        for (std::size_t end; (end = help.find('\n', from)) != std::string::npos; from = end + 1) {
            out += wrapped(help.substr(from, end - from)) + '\n';
        }
        return out + wrapped(help.substr(from));
    }

private:
    std::string wrapped(std::string line) const {
        const std::size_t indent = !line.empty() && line[0] == ' ' ? get_column_width() : 0;
        std::string out;
        while (line.size() > width_) {
            const std::size_t at = line.rfind(' ', width_);
            if (at == std::string::npos || at <= indent) break;  // a word longer than the room
            const std::size_t last = line.find_last_not_of(' ', at);
            out += line.substr(0, last + 1) + '\n';
            line = std::string(indent, ' ') + line.substr(line.find_first_not_of(' ', at));
        }
        return out + line;
    }
    std::size_t width_;
};

// The terminal's width for the help, which goes to standard output; 80 columns when that is
// no terminal.
std::size_t help_width() {
    winsize size{};
    if (::isatty(STDOUT_FILENO) && ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return std::max<std::size_t>(size.ws_col, 40);
    }
    return 80;
}

constexpr const char* kJsonHelp = "Print the result as one JSON document; the status log goes to standard error";

}  // namespace

void define_options(CommandLine& line) {
    CLI::App& app = line.app;
    Options& o = line.options;
    app.set_version_flag("-V,--version", std::string(kApplicationName) + " " + std::string(kVersionTag) +
                                              ", for device firmware " +
                                              firmware_version_text(kExpectedFirmwareVersion));
    app.formatter(std::make_shared<WrappingFormatter>(help_width()));
    app.require_subcommand(1);
    app.footer("A file named '-' is standard input where a file is read and standard output where one is written.");
    app.fallthrough();

    line.device_options = add_device_options(app, o, o.devices, o.fault_texts);
    line.firmware_option = app.add_option("--firmware", o.firmware_file, kFirmwareHelp);
    auto* quiet = app.add_flag("-q,--quiet", o.quiet, "Print only failures: no status log, no messages of success");
    app.add_flag("-v,--verbose", o.verbose, "Print every status log line, the page lines too, even on a terminal")
        ->excludes(quiet);
    line.json_option = app.add_flag("--json", o.json, kJsonHelp);
}

void define_verbs(CommandLine& line) {
    Options& o = line.options;
    for (const Verb& verb : verb_table()) {
        CLI::App* app = line.app.add_subcommand(verb.name, verb.summary);
        verb.define(*app, line);
        if (verb.device != DeviceUse::none) add_device_options(*app, o, o.verb_devices, o.verb_fault_texts);
        if (verb.firmware) app->add_option("--firmware", o.firmware_file, kFirmwareHelp);
        if (verb.json && !app->get_option_no_throw("--json")) app->add_flag("--json", o.json, kJsonHelp);
        // The table says whether --json before the verb is taken, so it must know of a verb's own.
        if (!verb.json && app->get_option_no_throw("--json")) {
            throw std::logic_error(std::string(verb.name) + " defines --json, but the verb table says it takes none");
        }
        line.verbs.emplace_back(&verb, app);
    }
}

const Verb& CommandLine::verb() const {
    const CLI::App* given = app.get_subcommands().front();
    for (const auto& [verb, subcommand] : verbs) {
        if (subcommand == given) return *verb;
    }
    throw std::logic_error("a verb outside the verb table");
}

const CLI::App& CommandLine::verb_app() const { return *app.get_subcommands().front(); }

bool CommandLine::needs_device() const {
    const DeviceUse use = verb().device;
    if (use == DeviceUse::when_given) {
        const CLI::Option* own = verb_app().get_option_no_throw("--device");
        return app.get_option("--device")->count() > 0 || (own && own->count() > 0);
    }
    return use == DeviceUse::always || (use == DeviceUse::by_source && setting_verbs.names_device());
}

int refuse(const std::string& why) {
    std::cerr << "zyvora-cli: " << why << '\n';
    return 2;
}

namespace {

bool is_option(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }

const CLI::App* verb_named(const CommandLine& line, const std::string& name) {
    const auto verbs = line.app.get_subcommands([&](const CLI::App* v) { return v->get_name() == name; });
    return verbs.empty() ? nullptr : verbs.front();
}

// Walks the arguments as the parser does: options (with their values) of the command or the
// verb, then the verb, then the verb's arguments. `visit` gets the position of each word that is
// no option, and the verb found so far; true stops the walk.
template <typename Visit>
void walk(const CommandLine& line, const std::vector<std::string>& args, Visit visit,
          const std::function<bool(std::size_t, const std::string&)>& on_unknown_option) {
    const CLI::App* verb = nullptr;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") return;
        if (is_option(arg)) {
            // A short option holds its value or other short flags after its letter (-qv).
            const bool is_short = arg[1] != '-';
            const std::string name = is_short ? arg.substr(0, 2) : arg.substr(0, arg.find('='));
            const CLI::Option* option = verb ? verb->get_option_no_throw(name) : nullptr;
            if (!option) option = line.app.get_option_no_throw(name);
            if (!option) {
                if (on_unknown_option(i, name)) return;
                continue;
            }
            if (!is_short && arg.find('=') == std::string::npos && option->get_items_expected_max() > 0) ++i;
            continue;
        }
        if (visit(i, verb)) return;
        if (!verb) verb = verb_named(line, arg);
    }
}

std::vector<std::string> verb_names(const CommandLine& line) {
    std::vector<std::string> names;
    for (const CLI::App* verb : line.app.get_subcommands([](const CLI::App*) { return true; })) {
        names.push_back(verb->get_name());
    }
    return names;
}

std::string hint(const std::string& word, const std::vector<std::string>& known) {
    const auto near = nearest(word, known);
    return near ? "; did you mean '" + *near + "'?" : "; see zyvora-cli --help";
}

}  // namespace

std::vector<std::string> with_help_verb(const CommandLine& line, std::vector<std::string> args) {
    walk(line, args, [&](std::size_t at, const CLI::App* verb) {
        if (verb || args[at] != kHelpVerb) return true;
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(at));
        // `help VERB` is the verb's help; `help` alone the command's. `help NOSUCH` is left as
        // NOSUCH, for the parser to refuse as an unknown verb.
        if (at < args.size() && !is_option(args[at]) && !verb_named(line, args[at])) return true;
        const std::size_t after = at < args.size() && verb_named(line, args[at]) ? at + 1 : at;
        args.insert(args.begin() + static_cast<std::ptrdiff_t>(after), "--help");
        return true;
    }, [](std::size_t, const std::string&) { return false; });
    return args;
}

std::optional<std::string> unknown_word(const CommandLine& line, const std::vector<std::string>& args) {
    std::optional<std::string> found;
    const CLI::App* current = nullptr;
    walk(line, args, [&](std::size_t at, const CLI::App* verb) {
        if (verb) return false;
        current = verb_named(line, args[at]);
        if (current) return false;
        found = "unknown verb '" + printable(args[at]) + "'" + hint(args[at], verb_names(line));
        return true;
    }, [&](std::size_t, const std::string& name) {
        // An option of other verbs is no typing mistake: say where it belongs.
        std::string owners;
        for (const CLI::App* verb : line.app.get_subcommands([](const CLI::App*) { return true; })) {
            if (verb->get_option_no_throw(name)) owners += (owners.empty() ? "" : ", ") + verb->get_name();
        }
        if (!owners.empty()) {
            found = current ? name + " does not apply to " + current->get_name()
                            : name + " is an option of " + owners + "; give it after the verb";
            return true;
        }
        std::vector<std::string> known;
        const auto add_names = [&](const CLI::App& app) {
            for (const CLI::Option* option : app.get_options()) {
                for (const std::string& l : option->get_lnames()) known.push_back("--" + l);
            }
        };
        add_names(line.app);
        for (const CLI::App* verb : line.app.get_subcommands([](const CLI::App*) { return true; })) add_names(*verb);
        found = "unknown option '" + printable(name) + "'" + hint(name, known);
        return true;
    });
    return found;
}

std::string usage_error(const CommandLine& line, const std::vector<std::string>& args, const CLI::ParseError& e) {
    const CLI::App* verb = nullptr;
    walk(line, args, [&](std::size_t at, const CLI::App* found) {
        if (!found) verb = verb_named(line, args[at]);
        return verb != nullptr;
    }, [](std::size_t, const std::string&) { return false; });
    // The parser's words quote the argument as given, escape sequences and all.
    std::string what = printable(e.what());
    if (dynamic_cast<const CLI::RequiredError*>(&e) && !verb && line.app.get_subcommands().empty()) {
        what = "a verb is required";
    } else if (std::vector<std::string> extras = line.app.remaining(true);
               dynamic_cast<const CLI::ExtrasError*>(&e) && !extras.empty()) {
        // Named in the order given (the parser lists them last first).
        const auto at = [&](const std::string& word) { return std::find(args.begin(), args.end(), word) - args.begin(); };
        std::stable_sort(extras.begin(), extras.end(), [&](const auto& a, const auto& b) { return at(a) < at(b); });
        what = extras.size() == 1 ? "unexpected argument" : "unexpected arguments";
        for (const std::string& extra : extras) what += " '" + printable(extra) + "'";
    }
    return what + "; see zyvora-cli " + (verb ? verb->get_name() + " " : std::string()) + "--help";
}

std::optional<int> refuse_inconsistent(const CommandLine& line) {
    const Options& o = line.options;
    const Verb& verb = line.verb();
    const CLI::App& verb_app = line.verb_app();
    const bool needs_device = line.needs_device();
    for (const CLI::Option* option : line.device_options) {
        // Given before the verb, or after it.
        const CLI::Option* own = verb_app.get_option_no_throw(option->get_name());
        if (!needs_device && (option->count() > 0 || (own && own->count() > 0))) {
            return refuse(option->get_name() + " does not apply to " + verb.name);
        }
    }
    if (line.firmware_option->count() > 0 && !verb.firmware) {
        return refuse(std::string("--firmware does not apply to ") + verb.name);
    }
    if (verb.refusals) {
        if (const auto refused = verb.refusals(line, verb_app)) return refused;
    }
    if (line.json_option->count() > 0 && !verb.json) {
        return refuse(std::string("--json does not apply to ") + verb.name);
    }
    const auto dashes = [](std::initializer_list<const std::string*> names) {
        return std::count_if(names.begin(), names.end(), [](const std::string* n) { return *n == kStandardStream; });
    };
    const SettingVerbs& v = line.setting_verbs;
    if (dashes({&o.in, &o.firmware_file, &v.source, &v.file, &v.a, &v.b}) > 1) return refuse("standard input is given twice; only one input can be '-'");
    if (dashes({&o.out, &o.image_out}) > 1) return refuse("standard output is given twice; only one output can be '-'");
    // An output never replaces an input, nor the other output.
    std::vector<std::pair<std::string, std::string>> inputs;
    if (!o.in.empty()) inputs.emplace_back("the input file", o.in);
    if (!o.firmware_file.empty()) inputs.emplace_back("the firmware file", o.firmware_file);
    if (needs_device && o.device_text.size() > 4 && o.device_text.rfind("sim:", 0) == 0) {
        inputs.emplace_back("the simulated device's EEPROM file", o.device_text.substr(4));
    }
    for (const std::string* output : {&o.out, &o.image_out}) {
        for (const auto& [what, input] : inputs) {
            if (!output->empty() && one_file(*output, input)) {
                return refuse(printable(*output) + " is " + what + "; choose another output file");
            }
        }
    }
    if (!o.image_out.empty() && one_file(o.out, o.image_out)) {
        return refuse(printable(o.image_out) + " is the settings file to write; choose another image file");
    }
    return std::nullopt;
}

}  // namespace zyvora::cli
