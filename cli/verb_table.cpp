// The verbs of zyvora-cli, one entry each: the parser, the help, main and the dispatcher read
// them from here. The bash completion and the manual page are checked against this table.
#include <algorithm>
#include <string>

#include "advice.h"
#include "check_verb.h"
#include "command_line.h"
#include "files.h"
#include "send_update.h"
#include "settings_source.h"
#include "verbs.h"

namespace zyvora::cli {

namespace {

const std::string kSources = "a settings file, a settings image, or the word \"device\" for the device --device names";

// send-update, and ruf --send: an address that cannot be sent to is a usage error.
std::optional<int> refuse_address(const Options& o) {
    if (const auto address = parse_update_address(o.send_to); !address) return refuse(address.message());
    return std::nullopt;
}

void add_send_options(CLI::App& verb, Options& o) {
    verb.add_option("--remote-name", o.remote_name, "The name the device gets the file by (default: its own name)");
    verb.add_option("--timeout", o.send_timeout,
                    "Seconds the device may take to answer a packet before the transfer fails (default 5)")
        ->check(CLI::Range(1L, 60L));
}

}  // namespace

const std::vector<Verb>& verb_table() {
    static const std::vector<Verb> table{
        {.name = "defaults",
         .summary = "Save the start-up settings to a settings file.",
         .define = [](CLI::App& verb, CommandLine& line) {
             verb.add_option("OUT.cfg", line.options.out, "Settings file to write")->required();
         },
         .run = run_defaults},

        {.name = "check",
         .summary = "Read a settings file and check every setting as \"Write config\" does.",
         .define = [](CLI::App& verb, CommandLine& line) {
             Options& o = line.options;
             verb.add_option("IN.cfg", o.in, "Settings file to check")->required();
             verb.add_flag("--all", o.all, "Go on after a failing check and print every failing check's message");
             verb.add_flag("--strict", o.strict, "Fail (exit status 1) when there is a warning about the file");
             verb.add_flag("--partial", o.partial, kPartialHelp);
             verb.add_flag("--json", o.json, "Print the outcome as one JSON document on standard output instead of messages");
             std::vector<std::string> ids(aprs::advice_ids().begin(), aprs::advice_ids().end());
             verb.add_option("--no-advice", o.no_advice, "Leave out the advice of this identifier (may be repeated)")
                 ->type_name("ID")
                 ->check(CLI::IsMember(ids));
         },
         .run = run_check,
         .json = true,
         .ending = Ending::own},

        {.name = "encode",
         .summary = "Check a settings file and write its 16384-byte settings image.",
         .define = [](CLI::App& verb, CommandLine& line) {
             Options& o = line.options;
             verb.add_option("IN.cfg", o.in, "Settings file to read")->required();
             verb.add_option("OUT.bin", o.out, "Settings image to write")->required();
             verb.add_flag("--partial", o.partial, kPartialHelp);
         },
         .run = run_encode},

        {.name = "decode",
         .summary = "Verify and decode a settings image, then save it as a settings file.",
         .define = [](CLI::App& verb, CommandLine& line) {
             verb.add_option("IN.bin", line.options.in, "Settings image to read")->required();
             verb.add_option("OUT.cfg", line.options.out, "Settings file to write")->required();
         },
         .run = run_decode},

        {.name = "read",
         .summary = "\"Read config\": read the device's settings and save them to a settings file.",
         .define = [](CLI::App& verb, CommandLine& line) {
             verb.add_option("OUT.cfg", line.options.out, "Settings file to write")->required();
             verb.add_option("--image", line.options.image_out, "Also write the image as read from the device");
         },
         .run = run_read,
         .device = DeviceUse::always,
         .holds_interrupts = true,
         .operation = "read config"},

        {.name = "write",
         .summary = "\"Write config\": check a settings file and write it to the device.",
         .define = [](CLI::App& verb, CommandLine& line) {
             Options& o = line.options;
             verb.add_option("IN.cfg", o.in, "Settings file to write to the device")->required();
             verb.add_flag("--no-backup", o.no_backup,
                           "Do not read and keep the device's settings before writing (kept by default in "
                           "$XDG_DATA_HOME/zyvora-configurator/backups/)");
             verb.add_flag("--partial", o.partial, kPartialHelp);
             verb.add_flag("--no-verify", o.no_verify, "Do not read the settings back and compare them after writing");
             verb.add_flag("--dry-run", o.dry_run,
                           "Write nothing: read the device and print the settings a write would change, as diff "
                           "prints them; exit 0 whether or not any would");
         },
         .run = run_write,
         .device = DeviceUse::always,
         .holds_interrupts = true,
         .operation = "write config"},

        {.name = "upload-firmware",
         .summary = "\"Upload firmware\": send the firmware image to the device.",
         .define = [](CLI::App&, CommandLine&) {},
         .run = run_upload_firmware,
         .device = DeviceUse::always,
         .firmware = true,
         .holds_interrupts = true,
         .operation = "upload firmware"},

        // Holds interrupts only with --send, which main sees by the address given.
        {.name = "ruf",
         .summary = "\"Build remote update file\": a settings file's settings and the firmware in one package for "
                    "TFTP.",
         .define = [](CLI::App& verb, CommandLine& line) {
             Options& o = line.options;
             verb.add_option("IN.cfg", o.in, "Settings file to pack")->required();
             verb.add_option("OUT.ruf", o.out, "Remote update file to write")->required();
             verb.add_flag("--partial", o.partial, kPartialHelp);
             verb.add_option("--send", o.send_to,
                             "Then send the file to the device at HOST[:PORT] (TFTP, port 69 unless given)");
             add_send_options(verb, o);
         },
         .run = run_ruf,
         .firmware = true,
         .refusals = [](const CommandLine& line, const CLI::App& verb) -> std::optional<int> {
             if (verb.get_option("--send")->count() == 0) {
                 for (const char* name : {"--remote-name", "--timeout"}) {
                     if (verb.get_option(name)->count() > 0) return refuse(std::string(name) + " applies only with --send");
                 }
                 return std::nullopt;
             }
             if (const auto refused = refuse_address(line.options)) return refused;
             if (line.options.out == kStandardStream) return refuse("--send needs OUT.ruf to be a file, not standard output");
             return std::nullopt;
         }},

        {.name = "send-update",
         .summary = "Send a remote update file to the device over the network (TFTP), after checking it is one.",
         .define = [](CLI::App& verb, CommandLine& line) {
             Options& o = line.options;
             verb.add_option("HOST[:PORT]", o.send_to, "The device's address or name; port 69 unless given")->required();
             verb.add_option("FILE.ruf", o.in, "Remote update file to send")->required();
             add_send_options(verb, o);
         },
         .run = run_send_update,
         .holds_interrupts = true,
         .refusals = [](const CommandLine& line, const CLI::App&) { return refuse_address(line.options); }},

        {.name = "info",
         .summary = "Show the device's firmware and hardware versions.",
         .define = [](CLI::App&, CommandLine&) {},
         .run = run_info,
         .device = DeviceUse::always,
         .json = true,
         .result_on_stdout = true},

        {.name = "list",
         .summary = "List the attached devices, one per line: path, serial number, and firmware and hardware versions.",
         .define = [](CLI::App&, CommandLine&) {},
         .run = run_list,
         .device = DeviceUse::always,
         .json = true,
         .result_on_stdout = true},

        {.name = "history",
         .summary = "List the station book's entries, newest first, one per line: date, kind, call sign, firmware "
                    "and settings file.",
         .define = [](CLI::App& verb, CommandLine& line) {
             verb.add_option("SERIAL|CALL", line.options.who,
                             "Only the entries of the device with this serial number, or of this call sign (with or "
                             "without its SSID); --device instead: those of the device attached");
         },
         .run = run_history,
         .device = DeviceUse::when_given,
         .json = true,
         .result_on_stdout = true,
         .refusals = [](const CommandLine& line, const CLI::App& verb) -> std::optional<int> {
             if (line.needs_device() && verb.get_option("SERIAL|CALL")->count() > 0) {
                 return refuse("history takes --device or a serial number or call sign, not both");
             }
             return std::nullopt;
         }},

        {.name = "get",
         .summary = "Print settings of a source, as a settings file holds them.",
         .define = [](CLI::App& verb, CommandLine& line) {
             SettingVerbs& v = line.setting_verbs;
             verb.add_option("SOURCE", v.source, "Where the settings are read: " + kSources)->required();
             verb.add_option("KEY", v.keys, "Section/Key, or a key name only one section has; any case")->required();
             verb.add_flag("--json", v.json, "Print one JSON object, {\"Section/Key\": \"value\", ...}");
         },
         .run = run_get,
         .device = DeviceUse::by_source,
         .json = true,
         .result_on_stdout = true,
         .ending = Ending::own},

        {.name = "set",
         .summary = "Change settings in a settings file; it is checked as \"Write config\" does before it is written.",
         .define = [](CLI::App& verb, CommandLine& line) {
             SettingVerbs& v = line.setting_verbs;
             verb.add_option("FILE", v.file, "Settings file to change")->required();
             verb.add_option("KEY=VALUE", v.assignments, "A setting (Section/Key or a key name) and its new value")
                 ->required();
             verb.add_option("--output,-o", v.output, "Write the changed settings to this file instead of FILE");
             auto* fill = verb.add_flag("--fill-defaults", v.fill_defaults,
                                        "FILE lacks settings: save them with their defaults (as it reads them)");
             verb.add_flag("--partial", v.partial,
                           "FILE leaves out settings on purpose: keep it so, saving only the settings it holds and "
                           "those given")
                 ->excludes(fill);
         },
         .run = run_set,
         .result_on_stdout = true,
         .ending = Ending::own},

        // Exit 1 means "different", as for diff(1), so trouble is 2.
        {.name = "diff",
         .summary = "Print the settings two sources differ in, as a device would hold them; exit 0 same, 1 "
                    "different, 2 trouble.",
         .define = [](CLI::App& verb, CommandLine& line) {
             SettingVerbs& v = line.setting_verbs;
             verb.add_option("A", v.a, "The one source: " + kSources)->required();
             verb.add_option("B", v.b, "The other source")->required();
             verb.add_flag("--json", v.json, "Print one JSON object, {\"same\": ..., \"differences\": [...]}");
         },
         .run = run_diff,
         .device = DeviceUse::by_source,
         .json = true,
         .result_on_stdout = true,
         .ending = Ending::own,
         .trouble_status = 2},

        {.name = "position",
         .summary = "Print the Latitude= and Longitude= lines of a settings file for a position written in any "
                    "common form.",
         .define = [](CLI::App& verb, CommandLine& line) {
             SettingVerbs& v = line.setting_verbs;
             verb.add_option("TEXT", v.source,
                             "Decimal degrees (52.3847, -16.9245, 52.3847N), degrees, minutes and seconds "
                             "(52\u00b023'05\"N), a pair of either (\"52.3847, 16.9245\") or a Maidenhead locator "
                             "(JO82, JO82kj, JO82kj15)")
                 ->required();
             verb.add_flag("--json", v.json, "Print one JSON object, {\"kind\": ..., \"settings\": {\"Latitude\": ...}}");
         },
         .run = run_position,
         .json = true,
         .result_on_stdout = true,
         .ending = Ending::own},

        {.name = "apply",
         .summary = "Make a station's settings file from a base file and partial files of the settings a site "
                    "changes.",
         .define = [](CLI::App& verb, CommandLine& line) {
             verb.add_option("BASE", line.options.in, "The settings file the station starts from")->required();
             verb.add_option("OVERRIDES", line.sheet_verbs.overrides,
                             "Settings files holding only the settings they change; later files win")
                 ->required();
             verb.add_option("--output,-o", line.options.out, "Settings file to write")->required();
         },
         .run = run_apply,
         .ending = Ending::own,
         .refusals = [](const CommandLine& line, const CLI::App&) -> std::optional<int> {
             std::vector<std::string> inputs = line.sheet_verbs.overrides;
             inputs.push_back(line.options.in);
             if (std::count(inputs.begin(), inputs.end(), std::string(kStandardStream)) > 1) {
                 return refuse("standard input is given twice; only one input can be '-'");
             }
             for (const std::string& file : line.sheet_verbs.overrides) {
                 if (one_file(line.options.out, file)) {
                     return refuse(printable(line.options.out) + " is a file to apply; choose another output file");
                 }
             }
             return std::nullopt;
         }},

        {.name = "report",
         .summary = "Write the station sheet: every setting of a source by page, as the window shows it, on one "
                    "printable page.",
         .define = [](CLI::App& verb, CommandLine& line) {
             SheetVerbs& s = line.sheet_verbs;
             verb.add_option("SOURCE", line.setting_verbs.source, "Where the settings are read: " + kSources)
                 ->required();
             verb.add_option("--output,-o", line.options.out, "The sheet to write; - for standard output")->required();
             verb.add_option("--format", s.format, "html (a printable page, the default) or markdown (for a wiki)")
                 ->check(CLI::IsMember({"html", "markdown"}));
             verb.add_flag("--show-passwords", s.show_passwords, "Show passwords; otherwise a password that is set shows as dots");
         },
         .run = run_report,
         .device = DeviceUse::by_source,
         .operation = "report",
         .refusals = [](const CommandLine& line, const CLI::App&) -> std::optional<int> {
             const std::string& source = line.setting_verbs.source;
             if (source != kDeviceSource && one_file(line.options.out, source)) {
                 return refuse(printable(line.options.out) + " is the source; choose another output file");
             }
             return std::nullopt;
         }},
    };
    return table;
}

}  // namespace zyvora::cli
