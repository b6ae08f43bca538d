#include "command_line.h"

#include <filesystem>
#include <iostream>
#include <utility>

#include "files.h"
#include "hid.h"
#include "image.h"
#include "settingsfile.h"

namespace zyvora::cli {

namespace {

// Whether two file names given on the command line name one file, there or still to be made.
bool one_file(const std::string& a, const std::string& b) {
    if (same_file(a, b)) return true;
    std::error_code ea, eb;
    const auto ca = std::filesystem::weakly_canonical(a, ea), cb = std::filesystem::weakly_canonical(b, eb);
    return !ea && !eb && ca == cb;
}

}  // namespace

void define_options(CommandLine& line) {
    CLI::App& app = line.app;
    Options& o = line.options;
    app.set_version_flag("--version", std::string(kApplicationName) + " " + std::string(kVersionTag));
    app.require_subcommand(1);
    app.fallthrough();

    auto& device_options = line.device_options;
    device_options.push_back(app.add_option(
        "--device", o.device_text,
        "hid (the one USB device attached, the default), hid:PATH or hid:SERIAL (the USB device at that path "
        "or with that serial number), sim (a simulated device) or sim:FILE (its EEPROM kept in FILE)"));
    line.firmware_option =
        app.add_option("--firmware", o.firmware_file, "Firmware image to upload or pack instead of the one built in");
    device_options.push_back(app.add_option("--sim-firmware-version", o.sim.firmware_version,
                                            "Simulated device: firmware version number (113 = 1.13)"));
    device_options.push_back(
        app.add_option("--sim-hardware", o.sim.hardware_version, "Simulated device: hardware version text"));
    device_options.push_back(app.add_option("--sim-fault", o.fault_texts,
                   "Simulated device: a fault, COMMAND[@PAGE]=KIND; commands hwversion, fwversion, read, write, "
                   "firmware; kinds wrong-sum, wrong-echo, short-reply, no-reply, gone, corrupt"));
    device_options.push_back(
        app.add_flag("--sim-erased", o.sim.erased, "Simulated device: a fresh EEPROM is erased (all 0xFF)"));
    device_options.push_back(app.add_flag("--sim-absent", o.sim.not_found, "Simulated device: not attached"));
    // A reply later than the device's reply limit is no reply, so a longer latency is no device.
    device_options.push_back(
        app.add_option("--sim-latency-us", o.latency_us,
                       "Simulated device: microseconds before each reply, at most " +
                           std::to_string(kReplyTimeoutMs * 1000L) + " (the reply limit)")
            ->check(CLI::Range(0L, kReplyTimeoutMs * 1000L)));
}

void define_verbs(CommandLine& line) {
    CLI::App& app = line.app;
    Options& o = line.options;
    line.defaults = app.add_subcommand("defaults", "Save the start-up settings to a settings file.");
    line.defaults->add_option("OUT.cfg", o.out, "Settings file to write")->required();

    line.check = app.add_subcommand("check", "Read a settings file and check every setting as \"Write config\" does.");
    line.check->add_option("IN.cfg", o.in, "Settings file to check")->required();
    line.check->add_flag("--all", o.all, "Go on after a failing check and print every failing check's message");

    line.encode = app.add_subcommand("encode", "Check a settings file and write its 16384-byte settings image.");
    line.encode->add_option("IN.cfg", o.in, "Settings file to read")->required();
    line.encode->add_option("OUT.bin", o.out, "Settings image to write")->required();

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
    line.write->add_flag("--no-verify", o.no_verify, "Do not read the settings back and compare them after writing");

    line.upload =
        app.add_subcommand("upload-firmware", "\"Upload firmware\": send the firmware image to the device.");
    line.ruf = app.add_subcommand(
        "ruf", "\"Build remote update file\": a settings file's settings and the firmware in one package for TFTP.");
    line.ruf->add_option("IN.cfg", o.in, "Settings file to pack")->required();
    line.ruf->add_option("OUT.ruf", o.out, "Remote update file to write")->required();

    line.info = app.add_subcommand("info", "Show the device's firmware and hardware versions.");
    line.list = app.add_subcommand(
        "list", "List the attached devices, one per line: path, serial number, and firmware and hardware versions.");
    define_setting_verbs(app, line.setting_verbs);
}

int refuse(const std::string& why) {
    std::cerr << "zyvora-cli: " << why << '\n';
    return 2;
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
