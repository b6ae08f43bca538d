#include "several_devices.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <iostream>
#include <sstream>
#include <utility>

#include "files.h"
#include "operations.h"
#include "registry.h"
#include "simulated_device.h"
#include "station_book.h"
#include "station_names.h"
#include "verbs.h"

namespace zyvora::cli {

void settle_devices(Options& o) {
    const std::vector<std::string> given = given_devices(o);
    o.device_text = given.front();
}

std::vector<std::string> given_devices(const Options& o) {
    std::vector<std::string> given = o.devices;
    given.insert(given.end(), o.verb_devices.begin(), o.verb_devices.end());
    if (given.empty()) given.emplace_back("hid");
    return given;
}

bool several_devices(const Options& o) {
    const std::vector<std::string> given = given_devices(o);
    return given.size() > 1 || std::find(given.begin(), given.end(), kAllDevices) != given.end();
}

std::vector<std::vector<std::string>> faults_per_device(const std::vector<std::string>& args, std::size_t devices) {
    std::vector<std::vector<std::string>> faults(devices);
    std::size_t seen = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") break;
        const auto value = [&](const std::string& name) -> std::optional<std::string> {
            if (arg == name) return i + 1 < args.size() ? std::optional(args[++i]) : std::nullopt;
            if (arg.rfind(name + "=", 0) == 0) return arg.substr(name.size() + 1);
            return std::nullopt;
        };
        if (value("--device")) {
            ++seen;
        } else if (const auto fault = value("--sim-fault")) {
            for (std::size_t d = seen == 0 ? 0 : seen - 1; d < (seen == 0 ? devices : std::min(seen, devices)); ++d) {
                faults[d].push_back(*fault);
            }
        }
    }
    return faults;
}

std::optional<std::vector<GivenDevice>> expand_all(const std::vector<GivenDevice>& given, HidPort& usb,
                                                   Feedback& feedback) {
    std::vector<GivenDevice> devices;
    const auto add = [&](GivenDevice device) {
        // `all` and a device of its own may name one device: it gets one turn.
        const bool listed = std::any_of(devices.begin(), devices.end(),
                                        [&](const GivenDevice& d) { return d.text == device.text; });
        if (!listed) devices.push_back(std::move(device));
    };
    for (const GivenDevice& device : given) {
        if (device.text != kAllDevices) {
            add(device);
            continue;
        }
        const std::vector<HidInterface> attached = usb.attached();
        if (attached.empty()) {
            feedback.error("No Zyvora Plus 2.0 attached.");
            return std::nullopt;
        }
        for (const HidInterface& found : attached) add({"hid:" + found.path, device.faults});
    }
    return devices;
}

namespace {

bool is_device_form(const std::string& text) {
    if (text == "hid" || text == "sim" || text == kAllDevices) return true;
    return text.size() > 4 && (text.rfind("hid:", 0) == 0 || text.rfind("sim:", 0) == 0);
}

bool names_a_device(const std::string& name) {
    return name.find("{serial}") != std::string::npos || name.find("{call}") != std::string::npos;
}

constexpr const char* kSeveralVerbs[] = {"info", "read", "write", "upload-firmware", "history"};

}  // namespace

std::optional<int> refuse_names(const CommandLine& line) {
    if (line.verb().name == std::string("write") && line.options.in.find("{call}") != std::string::npos) {
        return refuse("{call} is known only once a device is read; the input's name may hold {serial}");
    }
    return std::nullopt;
}

std::optional<int> refuse_several(const CommandLine& line) {
    const Options& o = line.options;
    const std::string verb = line.verb().name;
    if (std::find(std::begin(kSeveralVerbs), std::end(kSeveralVerbs), verb) == std::end(kSeveralVerbs)) {
        return refuse(verb + " takes one device; several apply to info, read, write, upload-firmware and history");
    }
    const std::vector<std::string> given = given_devices(o);
    for (auto it = given.begin(); it != given.end(); ++it) {
        if (!is_device_form(*it)) {
            return refuse("--device: expected hid, hid:PATH, hid:SERIAL, sim, sim:FILE or all, not " + printable(*it));
        }
        if (std::find(given.begin(), it, *it) != it) return refuse("--device " + printable(*it) + " is given twice");
    }
    std::vector<std::string> faults = o.fault_texts;
    faults.insert(faults.end(), o.verb_fault_texts.begin(), o.verb_fault_texts.end());
    for (const std::string& text : faults) {
        std::string why;
        if (!parse_sim_fault(text, &why)) return refuse(printable("--sim-fault " + text + ": " + why));
    }
    const CLI::Option* own_serial = line.verb_app().get_option_no_throw("--sim-serial");
    if (line.app.get_option("--sim-serial")->count() > 0 || (own_serial && own_serial->count() > 0)) {
        return refuse("--sim-serial applies to one simulated device; with several, each takes its serial number "
                      "from its EEPROM file's name");
    }
    if (verb == "read") {
        for (const std::string* out : {&o.out, &o.image_out}) {
            if (*out == kStandardStream) {
                return refuse("standard output cannot take the settings of several devices; name the files with "
                              "{serial} or {call}");
            }
            if (!out->empty() && !names_a_device(*out)) {
                return refuse("with several devices, " + printable(*out) +
                              " needs {serial} or {call} in its name, so that each device has a file of its own");
            }
        }
    }
    if (verb == "write" && o.in == kStandardStream) {
        return refuse("standard input can be read for one device only; give a file, named with {serial} for one "
                      "per device");
    }
    return std::nullopt;
}

namespace {

// Remembers what a device's failure said, for its row of the table.
class RowFeedback : public ConsoleFeedback {
public:
    using ConsoleFeedback::ConsoleFeedback;
    void error(const std::string& text) override {
        last_error_ = text;
        ConsoleFeedback::error(text);
    }
    void log(const std::string& line) override {
        last_log_ = line;
        ConsoleFeedback::log(line);
    }
    // What the failure line said, or else the first line of the last error, or the last log line.
    std::string why() const {
        const std::string& text = !failure().empty() ? failure() : !last_error_.empty() ? last_error_ : last_log_;
        return text.substr(0, text.find('\n'));
    }

private:
    std::string last_error_, last_log_;
};

// Standard output taken into `into` while it lives: a device's result waits for its heading.
class CapturedOutput {
public:
    explicit CapturedOutput(std::ostream& into) : saved_(std::cout.rdbuf(into.rdbuf())) {}
    ~CapturedOutput() { std::cout.rdbuf(saved_); }
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;

private:
    std::streambuf* saved_;
};

struct Row {
    std::string device, serial, call, why, backup, result;
    bool ok = false;
};

std::string dash(const std::string& text) { return text.empty() ? std::string("-") : printable(text); }

}  // namespace

int run_on_devices(const CommandLine& line, const std::vector<GivenDevice>& devices, const LogSetup& setup) {
    const Verb& verb = line.verb();
    const bool shows_result = verb.result_on_stdout || line.options.dry_run;
    std::vector<Row> rows;
    bool interrupted = false;
    for (const GivenDevice& given : devices) {
        Row row;
        row.device = given.text;
        if (interrupted) {
            row.why = "not run: interrupted";
            rows.push_back(std::move(row));
            continue;
        }
        Options o = line.options;
        o.device_text = given.text;
        o.fault_texts = given.faults;
        o.verb_fault_texts.clear();
        // The table is the result on standard output: the status log goes to standard error.
        RowFeedback feedback(LogSetup{setup.quiet, setup.verbose, true});
        if (verb.holds_interrupts) feedback.hold_interrupts();
        Device device;
        std::ostringstream result;
        int status = 1;
        if (!make_device(o, feedback, device)) {
            ControlStore store = start_up_store(Registry::instance(), feedback);
            {
                const CapturedOutput captured(result);
                status = run_verb(line, o, store, device, feedback);
            }
            const bool names_call = verb.name == std::string("read") || verb.name == std::string("write");
            if (status == 0 && names_call) row.call = call_sign(store);
            row.serial = device.port->serial_number();
        }
        feedback.finish();
        interrupted = feedback.interrupts() > 0;
        row.ok = status == 0;
        if (!row.ok) row.why = feedback.why();
        row.backup = device.backup;
        row.result = result.str();
        rows.push_back(std::move(row));
    }

    bool all_ok = true;
    for (const Row& row : rows) all_ok = all_ok && row.ok;
    if (line.options.json) {
        const auto or_null = [](const std::string& text) { return text.empty() ? nlohmann::json() : nlohmann::json(text); };
        nlohmann::json all = nlohmann::json::array();
        for (const Row& row : rows) {
            nlohmann::json entry{{"device", row.device},
                                 {"serial_number", or_null(row.serial)},
                                 {"call", or_null(row.call)},
                                 {"outcome", row.ok ? "ok" : "failed"},
                                 {"reason", or_null(row.why)},
                                 {"backup", or_null(row.backup)}};
            if (!row.result.empty()) entry["result"] = nlohmann::json::parse(row.result, nullptr, false);
            all.push_back(std::move(entry));
        }
        std::cout << all.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    } else {
        // Each device's own result (info's versions, a preview's changes) under a heading of its own.
        for (const Row& row : shows_result ? rows : std::vector<Row>{}) {
            std::cout << "== " << printable(row.device) << " ==\n" << row.result;
        }
        std::cout << "device\tserial\tcall sign\toutcome\tbackup\n";
        for (const Row& row : rows) {
            std::cout << printable(row.device) << '\t' << dash(row.serial) << '\t' << dash(row.call) << '\t'
                      << (row.ok ? std::string("ok") : "failed" + (row.why.empty() ? "" : ": " + printable(row.why)))
                      << '\t' << dash(row.backup) << '\n';
        }
    }
    if (!std::cout.flush()) {
        std::cerr << "zyvora-cli: " << WriteError(std::string(kStandardStream)).what() << '\n';
        return 1;
    }
    return all_ok ? 0 : 1;
}

}  // namespace zyvora::cli
