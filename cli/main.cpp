// zyvora-cli: the configurator's operations for scripts and service work.
#include <CLI/CLI.hpp>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "device_flows.h"
#include "files.h"
#include "hid.h"
#include "interrupts.h"
#include "operations.h"
#include "passes.h"
#include "remote_update.h"
#include "settingsfile.h"
#include "simulated_device.h"

namespace {

using namespace zyvora;

// The window's line breaks inside a message ("\r\n", or a lone "\r"); a terminal wants a
// plain newline.
std::string plain_lines(std::string text) {
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
    for (char& c : text) {
        if (c == '\r') c = '\n';
    }
    return text;
}

// A device's text or a file name may hold control bytes (escape sequences among them); the
// terminal gets them escaped, line by line.
std::string terminal_text(const std::string& text) {
    std::string out;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find('\n', from)) != std::string::npos; from = at + 1) {
        out += printable(std::string_view(text).substr(from, at - from)) + '\n';
    }
    return out + printable(std::string_view(text).substr(from));
}

// Log lines to standard output; boxes and errors to standard error, with the window's texts.
class ConsoleFeedback : public Feedback {
public:
    void info(const std::string& text) override { show(text); }
    void message(const std::string& text) override { show(text); }
    void error(const std::string& text) override { show(text); }
    void warning(const std::string& text) override { show("zyvora-cli: warning: " + text); }
    void log(const std::string& line) override { std::cout << terminal_text(line) << '\n' << std::flush; }
    void progress_range(int, int) override {}
    void progress_position(int position) override { position_ = position; }
    int progress() const override { return position_; }
    void process_events() override {}
    int interrupts() const override { return held_ ? held_->count() : 0; }
    // While a device operation runs, Ctrl+C and the like are counted for it to decide on.
    void hold_interrupts() { held_ = std::make_unique<HeldInterrupts>(); }

private:
    std::unique_ptr<HeldInterrupts> held_;
    static void show(const std::string& text) { std::cerr << terminal_text(plain_lines(text)) << '\n'; }
    int position_ = 0;
};

int status(bool ok) { return ok ? 0 : 1; }

// Whether two file names given on the command line name one file, there or still to be made.
bool one_file(const std::string& a, const std::string& b) {
    if (same_file(a, b)) return true;
    std::error_code ea, eb;
    const auto ca = std::filesystem::weakly_canonical(a, ea), cb = std::filesystem::weakly_canonical(b, eb);
    return !ea && !eb && ca == cb;
}

// The device the verbs talk to: the USB device, or the simulated one (kept for the whole run).
struct Device {
    std::unique_ptr<SimulatedDevice> simulated;
    std::unique_ptr<DevicePort> port;
};

// What the command line gives the verbs.
struct Options {
    std::string in, out, image_out, device_text = "hid", firmware_file;
    bool all = false, no_backup = false, no_verify = false;
    SimOptions sim;
    std::vector<std::string> fault_texts;
    long latency_us = 0;
};

// The parser, the options it fills and the verbs it knows. The options are bound to `options`
// by address, so a command line stays where it is made.
struct CommandLine {
    CLI::App app{"Zyvora Plus 2.0 Configurator, command line: settings files, settings images and the device.",
                 "zyvora-cli"};
    Options options;
    std::vector<CLI::Option*> device_options;
    CLI::Option* firmware_option = nullptr;
    CLI::App *defaults = nullptr, *check = nullptr, *encode = nullptr, *decode = nullptr, *read = nullptr,
             *write = nullptr, *upload = nullptr, *ruf = nullptr, *info = nullptr, *list = nullptr;

    bool needs_device() const { return *read || *write || *upload || *info || *list; }
};

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
}

int refuse(const std::string& why) {
    std::cerr << "zyvora-cli: " << why << '\n';
    return 2;
}

// Options the verb has no use for, and an output that would replace an input: the exit status
// of the refusal, or nullopt when the command line holds together.
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

// The device `--device` names, made into `device`: the exit status when it cannot be, or nullopt.
std::optional<int> make_device(Options& o, ConsoleFeedback& feedback, Device& device) {
    SimOptions& sim = o.sim;
    for (const auto& text : o.fault_texts) {
        std::string why;
        const auto fault = parse_sim_fault(text, &why);
        if (!fault) {
            std::cerr << "--sim-fault " << text << ": " << why << '\n';
            return 2;
        }
        sim.faults.push_back(*fault);
    }
    sim.reply_latency = std::chrono::microseconds(o.latency_us);
    const std::string& device_text = o.device_text;
    if (device_text == "hid") {
        device.port = std::make_unique<HidPort>();
    } else if (device_text.size() > 4 && device_text.rfind("hid:", 0) == 0) {
        device.port = std::make_unique<HidPort>(device_text.substr(4));
    } else if (device_text == "sim" || device_text.rfind("sim:", 0) == 0) {
        if (device_text.size() > 4) sim.eeprom_file = device_text.substr(4);
        sim.factory_image = factory_image(Registry::instance());
        std::string why;
        device.simulated = SimulatedDevice::create(sim, &why);
        if (!device.simulated) {
            feedback.error(why);
            return 1;
        }
        device.port = std::make_unique<SimulatedPort>(*device.simulated);
    } else {
        std::cerr << "--device: expected hid, hid:PATH, hid:SERIAL, sim or sim:FILE, not " << printable(device_text)
                  << '\n';
        return 2;
    }
    return std::nullopt;
}

FirmwareStore chosen_firmware(const Options& o) {
    return o.firmware_file.empty() ? FirmwareStore::embedded() : FirmwareStore::from_file(o.firmware_file);
}

int upload_firmware_verb(const Options& o, Device& device, ConsoleFeedback& feedback) {
    const FirmwareStore firmware = chosen_firmware(o);
    // Nothing to send: the device is left alone, and the usual message gets a hint at the way out.
    if (!firmware.carries_image()) {
        firmware.load(feedback);
        std::cerr << "zyvora-cli: this build carries no firmware image; give one with --firmware FILE\n";
        return 1;
    }
    return status(upload_firmware_flow(*device.port, firmware, feedback));
}

int list_verb(const Options& o, Device& device, ConsoleFeedback& feedback) {
    std::vector<ListedDevice> listed;
    if (auto* hid = dynamic_cast<HidPort*>(device.port.get())) {
        auto all = hid->list(feedback);
        if (!all) return 1;
        listed = std::move(*all);
    } else if (auto one = dynamic_cast<SimulatedPort&>(*device.port).list(o.device_text)) {
        listed.push_back(std::move(*one));
    }
    // Tab-separated, so that a script can cut out the path or the serial number.
    for (const ListedDevice& d : listed) {
        std::cout << printable(d.path) << '\t' << (d.serial_number.empty() ? "-" : printable(d.serial_number))
                  << '\t' << printable(d.state) << '\n';
    }
    if (listed.empty()) std::cerr << "No Zyvora Plus 2.0 attached.\n";
    return 0;
}

// The one verb given, on the start-up settings: its exit status.
int run_verb(const CommandLine& line, Device& device, ConsoleFeedback& feedback) {
    const Options& o = line.options;
    const Registry& registry = Registry::instance();
    ControlStore store = start_up_store(registry, feedback);
    Image image{};

    if (*line.defaults) return status(save_settings_file(registry, store, o.out, feedback));
    if (*line.check) {
        return status(read_settings_file(registry, store, o.in, feedback) &&
                      encode_settings(registry, store, image, feedback, o.all));
    }
    if (*line.encode) {
        return status(read_settings_file(registry, store, o.in, feedback) &&
                      encode_settings(registry, store, image, feedback) && write_image_file(image, o.out, feedback));
    }
    if (*line.decode) {
        const auto read_image = read_image_file(o.in, feedback);
        return status(read_image && verify_and_decode(registry, store, *read_image, feedback) &&
                      save_settings_file(registry, store, o.out, feedback));
    }
    if (*line.read) {
        // Nothing is written unless the device's settings were read and verified.
        return status(read_config(*device.port, registry, store, image, feedback) &&
                      save_settings_file(registry, store, o.out, feedback) &&
                      (o.image_out.empty() || write_image_file(image, o.image_out, feedback)));
    }
    if (*line.write) {
        WriteSafety safety = default_write_safety();
        if (o.no_backup) safety.backups.reset();
        safety.verify = !o.no_verify;
        return status(read_settings_file(registry, store, o.in, feedback) &&
                      write_config(*device.port, registry, store, image, feedback, safety));
    }
    if (*line.upload) return upload_firmware_verb(o, device, feedback);
    if (*line.ruf) {
        return status(read_settings_file(registry, store, o.in, feedback) &&
                      build_remote_update_file(registry, store, image, chosen_firmware(o), o.out, feedback));
    }
    if (*line.info) return status(show_device_versions(*device.port, feedback));
    if (*line.list) return list_verb(o, device, feedback);
    return 2;
}

}  // namespace

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
