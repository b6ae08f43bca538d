#pragma once
// The command line: its options, its verbs, and the refusals of what does not hold together.
#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "setting_verbs.h"
#include "sheet_verbs.h"
#include "simulated_device.h"

namespace zyvora::cli {

// What the command line gives the verbs.
struct Options {
    std::string in, out, image_out, device_text = "hid", firmware_file;
    bool all = false, no_backup = false, no_verify = false;
    bool dry_run = false;  // write
    bool strict = false;  // check
    std::vector<std::string> no_advice;  // check: the advice left out, by identifier
    bool partial = false;  // check, encode, write, ruf: a file made partial on purpose
    SimOptions sim;
    std::vector<std::string> fault_texts;
    // --sim-fault given after a device verb: a list of its own, so that neither replaces the other.
    std::vector<std::string> verb_fault_texts;
    // Each --device given, before the verb and after it; device_text is the first (hid: none).
    std::vector<std::string> devices, verb_devices;
    long latency_us = 0;
    bool quiet = false, verbose = false, json = false;
    // send-update, and ruf with --send: the device's address, the name it gets the file by, and
    // the seconds it may take to answer a packet.
    std::string send_to, remote_name;
    long send_timeout = 5;
    std::string who;  // history: a serial number or a call sign
};

struct CommandLine;
struct VerbRun;

// Whether a verb talks to the device: never, always, when one of its sources is the word
// "device" (get, diff), or when --device is given (history). A verb that may takes the device
// options.
enum class DeviceUse { none, always, by_source, when_given };

// Who says that a verb failed: the closing failure line, or the verb itself.
enum class Ending { failure_line, own };

// A verb: everything the parser, the help, the dispatcher and main know of it. The table in
// verb_table.cpp holds one for each, in the order the help lists them.
struct Verb {
    const char* name;
    const char* summary;  // its line in the help
    // Its arguments and options of its own, in the order its help lists them.
    void (*define)(CLI::App& verb, CommandLine& line);
    int (*run)(VerbRun& run);
    DeviceUse device = DeviceUse::none;  // the device options follow its own
    bool firmware = false;               // takes --firmware, after those
    bool json = false;                   // takes --json: last, unless `define` gives its own
    bool holds_interrupts = false;       // a transfer: an interrupt is counted for it to decide on
    bool result_on_stdout = false;       // standard output carries its result, not just the status log
    Ending ending = Ending::failure_line;
    int trouble_status = 1;              // standard output could not be written
    const char* operation = nullptr;     // its name in the failure line, when not the verb's
    // Refusals of its own, after the options that do not apply: the exit status, or nullopt.
    std::optional<int> (*refusals)(const CommandLine& line, const CLI::App& verb) = nullptr;
};

// Every verb, in the help's order.
const std::vector<Verb>& verb_table();

// `help [VERB]`: no verb of the table, the parser turns it into `[VERB] --help`.
inline constexpr const char* kHelpVerb = "help";

// The parser, the options it fills and the verbs it knows. The options are bound to `options`
// by address, so a command line stays where it is made.
struct CommandLine {
    CLI::App app{"Zyvora Plus 2.0 Configurator, command line: settings files, settings images and the device.",
                 "zyvora-cli"};
    Options options;
    SettingVerbs setting_verbs;
    SheetVerbs sheet_verbs;
    std::vector<CLI::Option*> device_options;
    CLI::Option* firmware_option = nullptr;
    CLI::Option* json_option = nullptr;  // before the verb; only the verbs that take --json accept it
    // The arguments as given, which say what a --sim-fault follows.
    std::vector<std::string> args;
    // Each verb of the table and its subcommand.
    std::vector<std::pair<const Verb*, CLI::App*>> verbs;

    // The verb given, and its subcommand: after a parse that succeeded.
    const Verb& verb() const;
    const CLI::App& verb_app() const;
    bool needs_device() const;
};

// Defines the options and the verbs of the table on `line.app`.
void define_options(CommandLine& line);
void define_verbs(CommandLine& line);

// A usage error: the message on standard error, and the exit status 2.
int refuse(const std::string& why);

// The arguments with `help [VERB]` in the verb's place turned into `[VERB] --help`.
std::vector<std::string> with_help_verb(const CommandLine& line, std::vector<std::string> args);

// After a failed parse: an unknown verb or option named with the nearest known one, or nullopt
// when the arguments hold neither.
std::optional<std::string> unknown_word(const CommandLine& line, const std::vector<std::string>& args);

// Any other parse failure in words of this program, naming the help to read.
std::string usage_error(const CommandLine& line, const std::vector<std::string>& args, const CLI::ParseError& e);

// Whether two file names given on the command line name one file, there or still to be made.
bool one_file(const std::string& a, const std::string& b);

// Options the verb has no use for, and an output that would replace an input: the exit status
// of the refusal, or nullopt when the command line holds together.
std::optional<int> refuse_inconsistent(const CommandLine& line);

}  // namespace zyvora::cli
