// zyvora-cli: the configurator's operations for scripts and service work.
#include <CLI/CLI.hpp>

#include <csignal>
#include <iostream>
#include <memory>

#include "device_flows.h"
#include "hid.h"
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

// Log lines to standard output; boxes and errors to standard error, with the window's texts.
class ConsoleFeedback : public Feedback {
public:
    void info(const std::string& text) override { std::cerr << plain_lines(text) << '\n'; }
    void message(const std::string& text) override { std::cerr << plain_lines(text) << '\n'; }
    void error(const std::string& text) override { std::cerr << plain_lines(text) << '\n'; }
    void log(const std::string& line) override { std::cout << line << '\n' << std::flush; }
    void progress_range(int, int) override {}
    void progress_position(int position) override { position_ = position; }
    int progress() const override { return position_; }
    void process_events() override {}

private:
    int position_ = 0;
};

int status(bool ok) { return ok ? 0 : 1; }

// The device the verbs talk to: the USB device, or the simulated one (kept for the whole run).
struct Device {
    std::unique_ptr<SimulatedDevice> simulated;
    std::unique_ptr<DevicePort> port;
};

}  // namespace

int main(int argc, char** argv) {
    // A write past the file size limit comes back as an error to report, not a silent kill.
    std::signal(SIGXFSZ, SIG_IGN);
    CLI::App app{"Zyvora Plus 2.0 Configurator, command line: settings files, settings images and the device.",
                 "zyvora-cli"};
    app.set_version_flag("--version", std::string(kApplicationName) + " " + std::string(kVersionTag));
    app.require_subcommand(1);
    app.fallthrough();

    std::string in, out, image_out, device_text = "hid", firmware_file;
    bool all = false;
    SimOptions sim;
    std::vector<std::string> fault_texts;
    long latency_us = 0;

    app.add_option("--device", device_text,
                   "hid (the USB device, the default), sim (a simulated device) or sim:FILE (its EEPROM kept in FILE)");
    app.add_option("--firmware", firmware_file, "Firmware image to upload or pack instead of the one built in");
    app.add_option("--sim-firmware-version", sim.firmware_version, "Simulated device: firmware version number (113 = 1.13)");
    app.add_option("--sim-hardware", sim.hardware_version, "Simulated device: hardware version text");
    app.add_option("--sim-fault", fault_texts,
                   "Simulated device: a fault, COMMAND[@PAGE]=KIND; commands hwversion, fwversion, read, write, "
                   "firmware; kinds wrong-sum, wrong-echo, short-reply, no-reply, gone");
    app.add_flag("--sim-erased", sim.erased, "Simulated device: a fresh EEPROM is erased (all 0xFF)");
    app.add_flag("--sim-absent", sim.not_found, "Simulated device: not attached");
    app.add_option("--sim-latency-us", latency_us, "Simulated device: microseconds before each reply")->check(CLI::NonNegativeNumber);

    auto* defaults = app.add_subcommand("defaults", "Save the start-up settings to a settings file.");
    defaults->add_option("OUT.cfg", out, "Settings file to write")->required();

    auto* check = app.add_subcommand("check", "Read a settings file and check every setting as \"Write config\" does.");
    check->add_option("IN.cfg", in, "Settings file to check")->required();
    check->add_flag("--all", all, "Go on after a failing check and print every failing check's message");

    auto* encode = app.add_subcommand("encode", "Check a settings file and write its 16384-byte settings image.");
    encode->add_option("IN.cfg", in, "Settings file to read")->required();
    encode->add_option("OUT.bin", out, "Settings image to write")->required();

    auto* decode = app.add_subcommand("decode", "Verify and decode a settings image, then save it as a settings file.");
    decode->add_option("IN.bin", in, "Settings image to read")->required();
    decode->add_option("OUT.cfg", out, "Settings file to write")->required();

    auto* read = app.add_subcommand("read", "\"Read config\": read the device's settings and save them to a settings file.");
    read->add_option("OUT.cfg", out, "Settings file to write")->required();
    read->add_option("--image", image_out, "Also write the image as read from the device");

    auto* write = app.add_subcommand("write", "\"Write config\": check a settings file and write it to the device.");
    write->add_option("IN.cfg", in, "Settings file to write to the device")->required();

    auto* upload = app.add_subcommand("upload-firmware", "\"Upload firmware\": send the firmware image to the device.");
    auto* ruf = app.add_subcommand(
        "ruf", "\"Build remote update file\": a settings file's settings and the firmware in one package for TFTP.");
    ruf->add_option("IN.cfg", in, "Settings file to pack")->required();
    ruf->add_option("OUT.ruf", out, "Remote update file to write")->required();

    auto* info = app.add_subcommand("info", "Show the device's firmware and hardware versions.");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : 2;
    }

    ConsoleFeedback feedback;
    Device device;
    const bool needs_device = *read || *write || *upload || *info;
    if (needs_device) {
        for (const auto& text : fault_texts) {
            std::string why;
            const auto fault = parse_sim_fault(text, &why);
            if (!fault) {
                std::cerr << "--sim-fault " << text << ": " << why << '\n';
                return 2;
            }
            sim.faults.push_back(*fault);
        }
        sim.reply_latency = std::chrono::microseconds(latency_us);
        if (device_text == "hid") {
            device.port = std::make_unique<HidPort>();
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
            std::cerr << "--device: expected hid, sim or sim:FILE, not " << device_text << '\n';
            return 2;
        }
    }

    const Registry& registry = Registry::instance();
    ControlStore store = start_up_store(registry, feedback);
    Image image{};

    if (*defaults) return status(save_settings_file(registry, store, out, feedback));
    if (*check) {
        return status(read_settings_file(registry, store, in, feedback) &&
                      encode_settings(registry, store, image, feedback, all));
    }
    if (*encode) {
        return status(read_settings_file(registry, store, in, feedback) &&
                      encode_settings(registry, store, image, feedback) && write_image_file(image, out, feedback));
    }
    if (*decode) {
        const auto read_image = read_image_file(in, feedback);
        return status(read_image && verify_and_decode(registry, store, *read_image, feedback) &&
                      save_settings_file(registry, store, out, feedback));
    }
    if (*read) {
        const bool ok = read_config(*device.port, registry, store, image, feedback);
        // The image as read helps service work even when it does not decode.
        const bool image_ok = image_out.empty() || write_image_file(image, image_out, feedback);
        return status(ok && image_ok && save_settings_file(registry, store, out, feedback));
    }
    if (*write) {
        return status(read_settings_file(registry, store, in, feedback) &&
                      write_config(*device.port, registry, store, image, feedback));
    }
    if (*upload) {
        const FirmwareStore firmware =
            firmware_file.empty() ? FirmwareStore::embedded() : FirmwareStore::from_file(firmware_file);
        return status(upload_firmware_flow(*device.port, firmware, feedback));
    }
    if (*ruf) {
        const FirmwareStore firmware =
            firmware_file.empty() ? FirmwareStore::embedded() : FirmwareStore::from_file(firmware_file);
        return status(read_settings_file(registry, store, in, feedback) &&
                      build_remote_update_file(registry, store, image, firmware, out, feedback));
    }
    if (*info) return status(show_device_versions(*device.port, feedback));
    return 2;
}
