#include "command_line.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <iostream>
#include <utility>

#include "files.h"
#include "hid.h"
#include "image.h"
#include "nearest.h"
#include "report.h"
#include "send_update.h"
#include "settingsfile.h"

namespace zyvora::cli {

namespace {

// Whether two file names given on the command line name one file, there or still to be made.
bool one_file(const std::string& a, const std::string& b) {
    // `-` in and `-` out are two streams, whatever files a folder holds by that name.
    if (a == kStandardStream || b == kStandardStream) return false;
    if (same_file(a, b)) return true;
    std::error_code ea, eb;
    const auto ca = std::filesystem::weakly_canonical(a, ea), cb = std::filesystem::weakly_canonical(b, eb);
    return !ea && !eb && ca == cb;
}

// The options of the device and the simulated device, on the main command and on each verb that
// talks to the device, so that they are given before or after the verb and the verb's help lists them.
std::vector<CLI::Option*> add_device_options(CLI::App& app, Options& o, std::vector<std::string>& faults) {
    std::vector<CLI::Option*> added;
    added.push_back(app.add_option(
        "--device", o.device_text,
        "hid (the one USB device attached, the default), hid:PATH or hid:SERIAL (the USB device at that path "
        "or with that serial number), sim (a simulated device) or sim:FILE (its EEPROM kept in FILE)"));
    added.push_back(app.add_option("--sim-firmware-version", o.sim.firmware_version,
                                   "Simulated device: firmware version number (113 = 1.13)"));
    added.push_back(app.add_option("--sim-hardware", o.sim.hardware_version, "Simulated device: hardware version text"));
    added.push_back(app.add_option("--sim-fault", faults,
                   "Simulated device: a fault, COMMAND[@PAGE]=KIND; commands hwversion, fwversion, read, write, "
                   "firmware; kinds wrong-sum, wrong-echo, short-reply, no-reply, gone, corrupt"));
    added.push_back(app.add_flag("--sim-erased", o.sim.erased, "Simulated device: a fresh EEPROM is erased (all 0xFF)"));
    added.push_back(app.add_flag("--sim-absent", o.sim.not_found, "Simulated device: not attached"));
    // A reply later than the device's reply limit is no reply, so a longer latency is no device.
    added.push_back(app.add_option("--sim-latency-us", o.latency_us,
                                   "Simulated device: microseconds before each reply, at most " +
                                       std::to_string(kReplyTimeoutMs * 1000L) + " (the reply limit)")
                        ->check(CLI::Range(0L, kReplyTimeoutMs * 1000L)));
    return added;
}

constexpr const char* kFirmwareHelp = "Firmware image to upload or pack instead of the one built in ('-': standard input)";
constexpr const char* kJsonHelp = "Print the result as one JSON document; the status log goes to standard error";

}  // namespace

void define_options(CommandLine& line) {
    CLI::App& app = line.app;
    Options& o = line.options;
    char firmware[16];
    std::snprintf(firmware, sizeof firmware, "%.2f", kExpectedFirmwareVersion * 0.01);
    app.set_version_flag("-V,--version", std::string(kApplicationName) + " " + std::string(kVersionTag) +
                                              ", for device firmware " + firmware);
    app.require_subcommand(1);
    app.footer("A file named '-' is standard input where a file is read and standard output where one is written.");
    app.fallthrough();

    line.device_options = add_device_options(app, o, o.fault_texts);
    line.firmware_option = app.add_option("--firmware", o.firmware_file, kFirmwareHelp);
    auto* quiet = app.add_flag("-q,--quiet", o.quiet, "Print only failures: no status log, no messages of success");
    app.add_flag("-v,--verbose", o.verbose, "Print every status log line, the page lines too, even on a terminal")
        ->excludes(quiet);
    line.json_option = app.add_flag("--json", o.json, kJsonHelp);
}

void define_verbs(CommandLine& line) {
    CLI::App& app = line.app;
    Options& o = line.options;
    line.defaults = app.add_subcommand("defaults", "Save the start-up settings to a settings file.");
    line.defaults->add_option("OUT.cfg", o.out, "Settings file to write")->required();

    line.check = app.add_subcommand("check", "Read a settings file and check every setting as \"Write config\" does.");
    line.check->add_option("IN.cfg", o.in, "Settings file to check")->required();
    line.check->add_flag("--all", o.all, "Go on after a failing check and print every failing check's message");
    line.check->add_flag("--strict", o.strict, "Fail (exit status 1) when there is a warning about the file");
    line.check->add_flag("--partial", o.partial, kPartialHelp);
    line.check->add_flag("--json", o.json,
                         "Print the outcome as one JSON document on standard output instead of messages");

    line.encode = app.add_subcommand("encode", "Check a settings file and write its 16384-byte settings image.");
    line.encode->add_option("IN.cfg", o.in, "Settings file to read")->required();
    line.encode->add_option("OUT.bin", o.out, "Settings image to write")->required();
    line.encode->add_flag("--partial", o.partial, kPartialHelp);

    line.decode =
        app.add_subcommand("decode", "Verify and decode a settings image, then save it as a settings file.");
    line.decode->add_option("IN.bin", o.in, "Settings image to read")->required();
    line.decode->add_option("OUT.cfg", o.out, "Settings file to write")->required();

    line.read = app.add_subcommand("read",
                                   "\"Read config\": read the device's settings and save them to a settings file.");
    line.read->add_option("OUT.cfg", o.out, "Settings file to write")->required();
    line.read->add_option("--image", o.image_out, "Also write the image as read from the device");

    line.write =
        app.add_subcommand("write", "\"Write config\": check a settings file and write it to the device.");
    line.write->add_option("IN.cfg", o.in, "Settings file to write to the device")->required();
    line.write->add_flag("--no-backup", o.no_backup,
                         "Do not read and keep the device's settings before writing (kept by default in "
                         "$XDG_DATA_HOME/zyvora-configurator/backups/)");
    line.write->add_flag("--partial", o.partial, kPartialHelp);
    line.write->add_flag("--no-verify", o.no_verify, "Do not read the settings back and compare them after writing");
    line.write->add_flag("--dry-run", o.dry_run,
                         "Write nothing: read the device and print the settings a write would change, as diff "
                         "prints them; exit 0 whether or not any would");

    line.upload =
        app.add_subcommand("upload-firmware", "\"Upload firmware\": send the firmware image to the device.");
    line.ruf = app.add_subcommand(
        "ruf", "\"Build remote update file\": a settings file's settings and the firmware in one package for TFTP.");
    line.ruf->add_option("IN.cfg", o.in, "Settings file to pack")->required();
    line.ruf->add_option("OUT.ruf", o.out, "Remote update file to write")->required();
    line.ruf->add_flag("--partial", o.partial, kPartialHelp);

    line.send_update = app.add_subcommand(
        "send-update", "Send a remote update file to the device over the network (TFTP), after checking it is one.");
    line.send_update->add_option("HOST[:PORT]", o.send_to, "The device's address or name; port 69 unless given")
        ->required();
    line.send_update->add_option("FILE.ruf", o.in, "Remote update file to send")->required();
    line.send_option = line.ruf->add_option("--send", o.send_to,
                                            "Then send the file to the device at HOST[:PORT] (TFTP, port 69 unless given)");
    for (CLI::App* verb : {line.send_update, line.ruf}) {
        verb->add_option("--remote-name", o.remote_name, "The name the device gets the file by (default: its own name)");
        verb->add_option("--timeout", o.send_timeout,
                         "Seconds the device may take to answer a packet before the transfer fails (default 5)")
            ->check(CLI::Range(1L, 60L));
    }

    line.info = app.add_subcommand("info", "Show the device's firmware and hardware versions.");
    line.list = app.add_subcommand(
        "list", "List the attached devices, one per line: path, serial number, and firmware and hardware versions.");
    define_setting_verbs(app, line.setting_verbs);

    for (CLI::App* verb :
         {line.read, line.write, line.upload, line.info, line.list, line.setting_verbs.get, line.setting_verbs.diff}) {
        add_device_options(*verb, o, o.verb_fault_texts);
    }
    for (CLI::App* verb : {line.upload, line.ruf}) verb->add_option("--firmware", o.firmware_file, kFirmwareHelp);
    for (CLI::App* verb : {line.info, line.list}) verb->add_flag("--json", o.json, kJsonHelp);
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
        if (verb || args[at] != "help") return true;
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(at));
        // `help VERB` is the verb's help; `help` alone the command's.
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
    const CLI::App* verb = line.app.get_subcommands().front();
    const bool needs_device = line.needs_device();
    for (const CLI::Option* option : line.device_options) {
        if (!needs_device && option->count() > 0) {
            return refuse(option->get_name() + " does not apply to " + verb->get_name());
        }
    }
    if (line.firmware_option->count() > 0 && !*line.upload && !*line.ruf) {
        return refuse("--firmware does not apply to " + verb->get_name());
    }
    if (*line.ruf && line.send_option->count() == 0) {
        for (const char* name : {"--remote-name", "--timeout"}) {
            if (line.ruf->get_option(name)->count() > 0) return refuse(std::string(name) + " applies only with --send");
        }
    }
    if (*line.send_update || (*line.ruf && line.send_option->count() > 0)) {
        std::string why;
        if (!parse_update_address(o.send_to, &why)) return refuse(why);
        if (*line.ruf && o.out == kStandardStream) return refuse("--send needs OUT.ruf to be a file, not standard output");
    }
    const bool takes_json = *line.info || *line.list || *line.check || *line.setting_verbs.get || *line.setting_verbs.diff;
    if (line.json_option->count() > 0 && !takes_json) {
        return refuse("--json does not apply to " + verb->get_name());
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
