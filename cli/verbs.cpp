#include "verbs.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "check_verb.h"
#include "device_flows.h"
#include "files.h"
#include "hid.h"
#include "lint.h"
#include "operations.h"
#include "passes.h"
#include "remote_update.h"
#include "send_update.h"
#include "settingsfile.h"
#include "station_book.h"
#include "station_names.h"

namespace zyvora::cli {

namespace {
int status(bool ok) { return ok ? 0 : 1; }
}  // namespace

std::optional<int> make_device(Options& o, ConsoleFeedback& feedback, Device& device) {
    SimOptions& sim = o.sim;
    std::vector<std::string> fault_texts = o.fault_texts;
    fault_texts.insert(fault_texts.end(), o.verb_fault_texts.begin(), o.verb_fault_texts.end());
    for (const auto& text : fault_texts) {
        std::string why;
        const auto fault = parse_sim_fault(text, &why);
        if (!fault) return refuse(printable("--sim-fault " + text + ": " + why));
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
        sim.serial_number = sim_serial_number(sim);
        sim.factory_image = factory_image(Registry::instance());
        std::string why;
        device.simulated = SimulatedDevice::create(sim, &why);
        if (!device.simulated) {
            feedback.error(why);
            return 1;
        }
        device.port = std::make_unique<SimulatedPort>(*device.simulated);
    } else {
        return refuse("--device: expected hid, hid:PATH, hid:SERIAL, sim or sim:FILE, not " + printable(device_text));
    }
    return std::nullopt;
}

namespace {

FirmwareStore chosen_firmware(const Options& o) {
    return o.firmware_file.empty() ? FirmwareStore::embedded() : FirmwareStore::from_file(o.firmware_file);
}

// A device's texts need not be UTF-8; JSON gets the replacement character for what is not.
std::string json_text(const nlohmann::json& document) {
    return document.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// The versions are the result: standard output, as text or JSON.
int info_verb(const Options& o, Device& device, ConsoleFeedback& feedback) {
    const auto transport = device.port->open(feedback);
    if (!transport) return 1;
    const auto versions = DeviceLink(*transport).versions();
    if (!versions) {
        feedback.failed("info", "the device does not answer the version query.");
        return 1;
    }
    const std::string firmware_text = firmware_version_text(versions->firmware);
    const std::string serial = device.port->serial_number();
    if (o.json) {
        std::cout << json_text({{"device", o.device_text},
                                {"firmware_version", firmware_text},
                                {"hardware_version", versions->hardware},
                                {"serial_number", serial.empty() ? nlohmann::json() : nlohmann::json(serial)}})
                  << '\n';
    } else {
        std::cout << "Firmware version: " << firmware_text << "\nHardware version: " << printable(versions->hardware)
                  << "\nSerial number: " << (serial.empty() ? "none" : printable(serial)) << '\n';
    }
    return 0;
}

int upload_firmware_verb(const Options& o, Device& device, ConsoleFeedback& feedback) {
    const FirmwareStore firmware = chosen_firmware(o);
    // Nothing to send: the device is left alone; the message names the way out.
    if (!firmware.carries_image()) {
        firmware.load(feedback);
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
    if (o.json) {
        nlohmann::json all = nlohmann::json::array();
        for (const ListedDevice& d : listed) {
            all.push_back({{"path", d.path},
                           {"serial_number", d.serial_number.empty() ? nlohmann::json() : nlohmann::json(d.serial_number)},
                           {"state", d.state}});
        }
        std::cout << json_text(all) << '\n';
    }
    // Tab-separated, so that a script can cut out the path or the serial number.
    for (const ListedDevice& d : o.json ? std::vector<ListedDevice>{} : listed) {
        std::cout << printable(d.path) << '\t' << (d.serial_number.empty() ? "-" : printable(d.serial_number))
                  << '\t' << printable(d.state) << '\n';
    }
    if (listed.empty()) std::cerr << "No Zyvora Plus 2.0 attached.\n";
    return 0;
}

// The entries, newest first: tab-separated lines, or a JSON array. A device's entries are those of
// its folder, found by its serial number (a device without one is asked its hardware version).
int history_verb(const Options& o, Device& device, bool of_device, ConsoleFeedback& feedback) {
    std::optional<std::string> station;
    if (of_device) {
        const auto transport = device.port->open(feedback);
        if (!transport) return 1;
        StationDevice attached{device.port->serial_number(), device.port->device_path(), std::nullopt, std::nullopt};
        if (attached.serial_number.empty()) attached.hardware = DeviceLink(*transport).hardware_version();
        station = station_folder_name(attached);
    }
    const BookListing listing = book_entries(station_book_folder(), default_write_safety().backups.value_or(""));
    for (const std::string& warning : listing.warnings) feedback.warning(warning);
    std::vector<BookEntry> shown;
    for (const BookEntry& entry : listing.entries) {
        if (station ? entry.station == *station : entry_matches(entry, o.who)) shown.push_back(entry);
    }
    const auto or_null = [](const std::string& text) { return text.empty() ? nlohmann::json() : nlohmann::json(text); };
    const auto or_none = [](const std::optional<std::string>& text) { return text ? nlohmann::json(*text) : nlohmann::json(); };
    if (o.json) {
        nlohmann::json all = nlohmann::json::array();
        for (const BookEntry& e : shown) {
            all.push_back({{"date", e.date},
                           {"kind", kind_name(e.kind)},
                           {"call", or_null(e.call)},
                           {"station", or_null(e.station)},
                           {"firmware", or_none(e.firmware)},
                           {"hardware", or_none(e.hardware)},
                           {"cfg", or_null(e.cfg)},
                           {"bin", or_null(e.bin)}});
        }
        std::cout << json_text(all) << '\n';
    }
    const auto dash = [](const std::string& text) { return text.empty() ? std::string("-") : printable(text); };
    for (const BookEntry& e : o.json ? std::vector<BookEntry>{} : shown) {
        std::cout << e.date << '\t' << kind_name(e.kind) << '\t' << dash(e.call) << '\t' << dash(e.firmware.value_or(""))
                  << '\t' << dash(e.cfg.empty() ? e.bin : e.cfg) << '\n';
    }
    if (shown.empty()) std::cerr << "No entries in the station book.\n";
    return 0;
}

// The settings a write would change, one line each on standard output as `diff` prints them;
// the device is only read. 0 whether or not a setting would change.
int write_dry_run(ControlStore& store, Device& device, ConsoleFeedback& feedback) {
    const Registry& registry = Registry::instance();
    Image image{};
    const auto preview = preview_write(*device.port, registry, store, image, feedback);
    if (!preview) return 1;
    if (!preview->device_valid) {
        feedback.warning("The device holds no valid configuration: a write replaces all of it.");
    } else if (preview->changes.empty()) {
        feedback.log("No setting will change.");
    }
    for (const SettingChange& change : preview->changes) std::cout << change_line(registry, change) << '\n';
    for (const PointMove& move : preview->moves) feedback.log(move.text);
    return 0;
}

// Reads the settings file `o.in`, warning of every setting it lacks (which reads as its default:
// a file cut short passes every check) unless it is partial on purpose.
bool read_input(const Options& o, ControlStore& store, Feedback& feedback) {
    std::string text;
    if (!read_settings_file(Registry::instance(), store, o.in, feedback, &text)) return false;
    if (o.partial) return true;
    for (const LintWarning& w : missing_warnings(Registry::instance(), text)) feedback.warning(w.text);
    return true;
}

// The file as written is what goes out: its checks run on the bytes that are sent.
bool send_update(const Options& o, const std::string& file, ConsoleFeedback& feedback) {
    const auto to = parse_update_address(o.send_to);
    if (!to) return false;  // refused with the command line
    SendLimits limits;
    limits.block = std::chrono::seconds(o.send_timeout);
    const auto sent = send_update_file(file, *to, o.remote_name, feedback, limits);
    if (!sent) feedback.failed("send-update", sent.message());
    return sent.ok();
}

// The settings file and the image of `read`, both or neither: an output written straight
// through, which nothing undoes, goes first, and a settings file replaced before the image
// failed gets its old contents back.
bool save_read_outputs(const ControlStore& store, const Image& image, const Options& o, ConsoleFeedback& feedback) {
    const Registry& registry = Registry::instance();
    if (o.image_out.empty()) return save_settings_file(registry, store, o.out, feedback);
    if (written_straight_through(o.image_out)) {
        return write_image_file(image, o.image_out, feedback) && save_settings_file(registry, store, o.out, feedback);
    }
    const bool undoable = !written_straight_through(o.out);
    std::error_code ignored;
    const bool existed = undoable && std::filesystem::exists(std::filesystem::symlink_status(o.out, ignored));
    const auto before = existed ? read_whole_file(o.out) : std::nullopt;
    if (!save_settings_file(registry, store, o.out, feedback)) return false;
    if (write_image_file(image, o.image_out, feedback)) return true;
    if (!undoable) return false;
    try {
        if (before) write_whole_file(o.out, *before);
        else if (!existed) std::filesystem::remove(o.out);
        else throw WriteError(o.out);
    } catch (const std::exception&) {
        feedback.error(output_name(o.out) + " holds the settings that were read, though the image was not saved.");
    }
    return false;
}

}  // namespace

int run_defaults(VerbRun& run) {
    return status(save_settings_file(Registry::instance(), run.store, run.o.out, run.feedback));
}

int run_check(VerbRun& run) { return check_verb(run.o, run.store, run.feedback); }

int run_encode(VerbRun& run) {
    Image image{};
    return status(read_input(run.o, run.store, run.feedback) &&
                  encode_settings(Registry::instance(), run.store, image, run.feedback) &&
                  write_image_file(image, run.o.out, run.feedback));
}

int run_decode(VerbRun& run) {
    const auto read_image = read_image_file(run.o.in, run.feedback);
    return status(read_image && verify_and_decode(Registry::instance(), run.store, *read_image, run.feedback) &&
                  save_settings_file(Registry::instance(), run.store, run.o.out, run.feedback));
}

std::string with_names(const std::string& pattern, const std::string& serial, const std::string& call) {
    std::string named;
    for (std::size_t at = 0; at < pattern.size();) {
        if (pattern.compare(at, 8, "{serial}") == 0) {
            named += file_name_part(serial);
            at += 8;
        } else if (pattern.compare(at, 6, "{call}") == 0) {
            named += file_name_part(call);
            at += 6;
        } else {
            named += pattern[at++];
        }
    }
    return named;
}

namespace {

bool names_serial(const std::string& name) { return name.find("{serial}") != std::string::npos; }
bool names_call(const std::string& name) { return name.find("{call}") != std::string::npos; }

// The device's serial number for a file name: a USB device tells it once it is opened.
std::optional<std::string> serial_for_name(Device& device, ConsoleFeedback& feedback) {
    if (device.port->serial_number().empty() && !device.simulated && !device.port->open(feedback)) return std::nullopt;
    const std::string serial = device.port->serial_number();
    if (serial.empty()) {
        feedback.error("The device has no serial number to put in the file name.");
        return std::nullopt;
    }
    return serial;
}

}  // namespace

int run_read(VerbRun& run) {
    // Nothing is written unless the device's settings were read and verified.
    Image image{};
    if (!read_config(*run.device.port, Registry::instance(), run.store, image, run.feedback)) return 1;
    Options named = run.o;
    if (names_serial(named.out) || names_serial(named.image_out) || names_call(named.out) || names_call(named.image_out)) {
        const std::string call = call_sign(run.store);
        if ((names_call(named.out) || names_call(named.image_out)) && call.empty()) {
            run.feedback.error("The settings read hold no call sign to put in the file name.");
            return 1;
        }
        std::string serial;
        if (names_serial(named.out) || names_serial(named.image_out)) {
            const auto known = serial_for_name(run.device, run.feedback);
            if (!known) return 1;
            serial = *known;
        }
        named.out = with_names(named.out, serial, call);
        named.image_out = with_names(named.image_out, serial, call);
    }
    return status(save_read_outputs(run.store, image, named, run.feedback));
}

int run_write(VerbRun& run) {
    Options o = run.o;
    if (names_serial(o.in)) {
        const auto serial = serial_for_name(run.device, run.feedback);
        if (!serial) return 1;
        o.in = with_names(o.in, *serial, {});
    }
    if (o.dry_run) {
        if (!read_input(o, run.store, run.feedback)) return 1;
        return write_dry_run(run.store, run.device, run.feedback);
    }
    WriteSafety safety = default_write_safety();
    if (o.no_backup) safety.backups.reset();
    safety.verify = !o.no_verify;
    safety.kept = [&](const std::string& file) { run.device.backup = file; };
    Image image{};
    return status(read_input(o, run.store, run.feedback) &&
                  write_config(*run.device.port, Registry::instance(), run.store, image, run.feedback, safety));
}

int run_upload_firmware(VerbRun& run) { return upload_firmware_verb(run.o, run.device, run.feedback); }

int run_ruf(VerbRun& run) {
    const Options& o = run.o;
    Image image{};
    if (!read_input(o, run.store, run.feedback) ||
        !build_remote_update_file(Registry::instance(), run.store, image, chosen_firmware(o), o.out, run.feedback)) {
        return 1;
    }
    return status(o.send_to.empty() || send_update(o, o.out, run.feedback));
}

int run_send_update(VerbRun& run) { return status(send_update(run.o, run.o.in, run.feedback)); }

int run_info(VerbRun& run) { return info_verb(run.o, run.device, run.feedback); }

int run_list(VerbRun& run) { return list_verb(run.o, run.device, run.feedback); }

int run_history(VerbRun& run) { return history_verb(run.o, run.device, run.line.needs_device(), run.feedback); }

namespace {

// The operation as a failure line names it: the window's name for the device operations.
std::string operation_name(const Verb& verb) { return verb.operation ? verb.operation : verb.name; }

// Whether all the verb printed reached standard output. A write that failed earlier, once a
// buffer filled, is seen here too, though its reason is gone by then.
bool standard_output_written() { return static_cast<bool>(std::cout.flush()); }

}  // namespace

int run_verb(const CommandLine& line, Device& device, ConsoleFeedback& feedback) {
    ControlStore store = start_up_store(Registry::instance(), feedback);
    return run_verb(line, line.options, store, device, feedback);
}

int run_verb(const CommandLine& line, const Options& o, ControlStore& store, Device& device, ConsoleFeedback& feedback) {
    const Verb& verb = line.verb();
    VerbRun run{line, o, store, device, feedback};
    const int status = verb.run(run);
    // The verbs whose standard output is their result, not just the status log a closed pipe may drop.
    if (o.json || o.dry_run || verb.result_on_stdout) {
        if (!standard_output_written()) {
            feedback.failed(operation_name(verb), WriteError(std::string(kStandardStream)).what());
            return verb.trouble_status;
        }
    }
    const bool own_ending = verb.ending == Ending::own;
    if (status == 1 && !own_ending) feedback.failed(operation_name(verb));
    return status;
}

}  // namespace zyvora::cli
