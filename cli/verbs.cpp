#include "verbs.h"

#include <chrono>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "device_flows.h"
#include "files.h"
#include "hid.h"
#include "operations.h"
#include "passes.h"
#include "remote_update.h"
#include "settingsfile.h"

namespace zyvora::cli {

namespace {
int status(bool ok) { return ok ? 0 : 1; }
}  // namespace

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

namespace {

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

}  // namespace

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
    if (line.setting_verbs.chosen()) return run_setting_verb(line.setting_verbs, device.port.get(), feedback);
    return 2;
}

}  // namespace zyvora::cli
