#pragma once
// The command line: its options, its verbs, and the refusals of what does not hold together.
#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <vector>

#include "setting_verbs.h"
#include "simulated_device.h"

namespace zyvora::cli {

// What the command line gives the verbs.
struct Options {
    std::string in, out, image_out, device_text = "hid", firmware_file;
    bool all = false, no_backup = false, no_verify = false;
    bool dry_run = false;  // write
    bool strict = false;  // check
    bool partial = false;  // check, encode, write, ruf: a file made partial on purpose
    SimOptions sim;
    std::vector<std::string> fault_texts;
    // --sim-fault given after a device verb: a list of its own, so that neither replaces the other.
    std::vector<std::string> verb_fault_texts;
    long latency_us = 0;
    bool quiet = false, verbose = false, json = false;
    // send-update, and ruf with --send: the device's address, the name it gets the file by, and
    // the seconds it may take to answer a packet.
    std::string send_to, remote_name;
    long send_timeout = 5;
};

// The parser, the options it fills and the verbs it knows. The options are bound to `options`
// by address, so a command line stays where it is made.
struct CommandLine {
    CLI::App app{"Zyvora Plus 2.0 Configurator, command line: settings files, settings images and the device.",
                 "zyvora-cli"};
    Options options;
    std::vector<CLI::Option*> device_options;
    CLI::Option* firmware_option = nullptr;
    CLI::Option* json_option = nullptr;  // before the verb; only info and list take it
    CLI::App *defaults = nullptr, *check = nullptr, *encode = nullptr, *decode = nullptr, *read = nullptr,
             *write = nullptr, *upload = nullptr, *ruf = nullptr, *info = nullptr, *list = nullptr,
             *send_update = nullptr;
    CLI::Option* send_option = nullptr;  // ruf --send
    SettingVerbs setting_verbs;

    bool needs_device() const { return *read || *write || *upload || *info || *list || setting_verbs.needs_device(); }
};

// Defines the options and the verbs on `line.app`.
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

// Options the verb has no use for, and an output that would replace an input: the exit status
// of the refusal, or nullopt when the command line holds together.
std::optional<int> refuse_inconsistent(const CommandLine& line);

}  // namespace zyvora::cli
