#include "hid.h"

#include <hidapi.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cwchar>
#include <iterator>
#include <utility>

#include "data_folders.h"
#include "exclusive_lock.h"
#include "link.h"
#include "seat.h"

#include <unistd.h>

namespace zyvora {

namespace {

constexpr std::size_t kInputSize = kReportSize - 1;  // an input report without its report id

// hidapi is set up once for the whole run and released at exit.
class HidLibrary {
public:
    static bool ready() {
        static HidLibrary library;
        return library.ready_;
    }

private:
    HidLibrary() : ready_(hid_init() == 0) {}
    ~HidLibrary() {
        if (ready_) hid_exit();
    }
    bool ready_;
};

std::string narrow(const wchar_t* text) {
    if (!text) return {};
    std::string out;
    for (; *text; ++text) {
        // hidapi's messages and serial numbers are plain ASCII in practice; anything beyond it is
        // shown as '?' rather than guessed at.
        const wchar_t c = *text;
        out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    return out;
}

// The open device and the lock that keeps other programs off it, let go together.
class HidapiIo : public HidIo {
public:
    HidapiIo(hid_device* device, ExclusiveLock lock) : device_(device), lock_(std::move(lock)) {}
    ~HidapiIo() override { hid_close(device_); }
    HidapiIo(const HidapiIo&) = delete;
    HidapiIo& operator=(const HidapiIo&) = delete;

    int write(const std::uint8_t* data, std::size_t length) override { return hid_write(device_, data, length); }
    int read_timeout(std::uint8_t* data, std::size_t length, int milliseconds) override {
        return hid_read_timeout(device_, data, length, milliseconds);
    }

private:
    hid_device* device_;
    ExclusiveLock lock_;
};

// What Open gives when the device was found but could not be opened: every exchange fails.
class UnopenedTransport : public Transport {
public:
    int write(const Report&) override { return -1; }
    int read(Report&) override { return -1; }
};

class HidapiBackend : public HidBackend {
public:
    std::vector<HidInterface> enumerate() override {
        std::vector<HidInterface> found;
        if (!HidLibrary::ready()) return found;
        hid_device_info* list = hid_enumerate(0, 0);
        for (const hid_device_info* d = list; d; d = d->next) {
            char id[32];
            std::snprintf(id, sizeof id, "HID\\VID_%04X&PID_%04X", d->vendor_id, d->product_id);
            found.push_back({d->path ? d->path : "", id, narrow(d->serial_number)});
        }
        hid_free_enumeration(list);
        return found;
    }

    HidOpening open(const std::string& path) override {
        HidOpening opening;
        if (!HidLibrary::ready()) {
            opening.why = "the HID library could not be initialised";
            return opening;
        }
        // The lock comes first: a device another program holds is not opened at all.
        ExclusiveLock lock;
        if (lock.take(path) == ExclusiveLock::Result::InUse) {
            opening.in_use = true;
            return opening;
        }
        hid_device* device = hid_open_path(path.c_str());
        if (!device) {
            opening.why = narrow(hid_error(nullptr));
            if (opening.why.empty()) opening.why = "cannot open " + path;
            return opening;
        }
        opening.transport = std::make_unique<HidTransport>(std::make_unique<HidapiIo>(device, std::move(lock)));
        return opening;
    }
};

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

}  // namespace

std::unique_ptr<HidBackend> make_hidapi_backend() { return std::make_unique<HidapiBackend>(); }

bool is_device_hardware_id(const std::string& hardware_id) {
    return lower(hardware_id).find("vid_0483&pid_a124") != std::string::npos;
}

std::string describe_device(const HidInterface& device) {
    return device.path + (device.serial_number.empty() ? " (no serial number)"
                                                       : " (serial number " + device.serial_number + ")");
}

std::string ask_versions(Transport& transport) {
    const std::optional<DeviceVersions> versions = DeviceLink(transport).versions();
    if (!versions) return "does not answer";
    return "firmware " + firmware_version_text(versions->firmware) + ", hardware " + versions->hardware;
}

namespace {

std::string without_final_stop(std::string why) {
    while (!why.empty() && (why.back() == '.' || why.back() == ' ')) why.pop_back();
    return why;
}

constexpr const char* kRuleName = "50-zyvora-plus.rules";
constexpr const char* kRuleGroup = "plugdev";  // the rule's GROUP, as Debian's rules for such devices
constexpr const char* kReload =
    "sudo udevadm control --reload-rules && sudo udevadm trigger --subsystem-match=hidraw";

std::string one_per_line(const std::vector<HidInterface>& devices) {
    std::string lines;
    for (const HidInterface& device : devices) lines += "\n" + describe_device(device);
    return lines;
}

// The devices a pick names: the one at that path, else those with that serial number.
std::vector<HidInterface> picked(const std::vector<HidInterface>& devices, const std::string& pick) {
    std::vector<HidInterface> matches;
    for (const HidInterface& device : devices) {
        if (device.path == pick) return {device};
    }
    for (const HidInterface& device : devices) {
        if (device.serial_number == pick) matches.push_back(device);
    }
    return matches;
}

std::string no_match_message(const std::string& pick, const std::vector<HidInterface>& attached) {
    return "No Zyvora Plus 2.0 with the path or serial number " + pick + " is attached. Attached:" +
           one_per_line(attached);
}

std::string several_message(const std::string& pick, const std::vector<HidInterface>& candidates) {
    // A serial number that several devices share can only be told apart by path.
    if (!pick.empty()) {
        return "Several Zyvora Plus 2.0 devices have the serial number " + pick + ":" + one_per_line(candidates) +
               "\nPick one with --device hid:PATH.";
    }
    return "Several Zyvora Plus 2.0 devices are attached:" + one_per_line(candidates) +
           "\nPick one with --device hid:PATH or --device hid:SERIAL.";
}

}  // namespace

std::vector<std::string> udev_rule_places() {
    std::vector<std::string> places;
    for (const std::string& folder : udev_rule_folders()) places.push_back(folder + kRuleName);
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0) {
        std::string program(self, static_cast<std::size_t>(length));
        const std::size_t slash = program.rfind('/');
        if (slash != std::string::npos) places.push_back(program.substr(0, slash) + "/../lib/udev/rules.d/" + kRuleName);
    }
    return places;
}

std::string permission_hint(const std::vector<std::string>& places, const SeatAccess& access) {
    for (const std::string& place : places) {
        if (::access(place.c_str(), R_OK) != 0) continue;
        if (udev_reads(place)) {
            // Over SSH, from cron or a service "uaccess" grants nothing; the rule's group does.
            if (!access.at_seat && !access.in_group) {
                return "The udev rule " + place + " is installed: away from the seat it gives the device to the group " +
                       kRuleGroup + "; join it (sudo adduser " + (access.user.empty() ? "USER" : access.user) + " " +
                       kRuleGroup + "), log in again and replug the device.";
            }
            return "The udev rule " + place + " is installed: reload udev's rules (" + kReload +
                   ") or replug the device.";
        }
        return "The udev rule " + place + " is where udev does not read it: copy it to /etc/udev/rules.d/, then " +
               "reload udev's rules (" + kReload + ").";
    }
    return std::string("On Linux, install the udev rule resources/") + kRuleName + " (see README), then reload " +
           "udev's rules (" + kReload + ").";
}

std::string permission_hint(const std::vector<std::string>& places) {
    return permission_hint(places, seat_access(kRuleGroup));
}

HidPort::HidPort(std::string pick) : HidPort(make_hidapi_backend(), std::move(pick)) {}

HidPort::HidPort(std::unique_ptr<HidBackend> backend, std::string pick)
    : backend_(std::move(backend)), pick_(std::move(pick)) {}

std::vector<HidInterface> HidPort::attached() {
    std::vector<HidInterface> devices;
    for (HidInterface& candidate : backend_->enumerate()) {
        if (!is_device_hardware_id(candidate.hardware_id)) continue;
        // hidraw lists a device once per top-level collection, every time with the same node.
        const bool listed = std::any_of(devices.begin(), devices.end(),
                                        [&](const HidInterface& d) { return d.path == candidate.path; });
        if (!listed) devices.push_back(std::move(candidate));
    }
    return devices;
}

std::unique_ptr<Transport> HidPort::open(Feedback& feedback) {
    const std::vector<HidInterface> devices = attached();
    if (devices.empty()) {
        feedback.outcome("Zyvora Plus 2.0 not found.");
        return nullptr;
    }
    const std::vector<HidInterface> candidates = pick_.empty() ? devices : picked(devices, pick_);
    if (candidates.empty()) {
        feedback.error(no_match_message(pick_, devices));
        return nullptr;
    }
    std::size_t chosen = 0;
    if (candidates.size() > 1) {
        if (!chooser_) {
            feedback.error(several_message(pick_, candidates));
            return nullptr;
        }
        const std::optional<std::size_t> answer = chooser_(candidates);
        if (!answer || *answer >= candidates.size()) return nullptr;
        chosen = *answer;
    }
    feedback.log("Zyvora Plus 2.0 found, vid: Vid_0483, pid: A124");
    opened_ = candidates[chosen];
    HidOpening opening = backend_->open(candidates[chosen].path);
    if (opening.transport) return std::move(opening.transport);
    if (opening.in_use) {
        feedback.outcome(kDeviceInUse);
        return nullptr;
    }
    feedback.log("Zyvora Plus 2.0 could not be opened: " + without_final_stop(opening.why) + ". " +
                 permission_hint(rule_places_ ? *rule_places_ : udev_rule_places()));
    // The flow goes on and fails at its first exchange, as with a device that will not open.
    return std::make_unique<UnopenedTransport>();
}

std::optional<std::vector<ListedDevice>> HidPort::list(Feedback& feedback) {
    const std::vector<HidInterface> devices = attached();
    const std::vector<HidInterface> shown = pick_.empty() || devices.empty() ? devices : picked(devices, pick_);
    if (shown.empty() && !devices.empty()) {
        feedback.error(no_match_message(pick_, devices));
        return std::nullopt;
    }
    std::vector<ListedDevice> listed;
    for (const HidInterface& device : shown) {
        ListedDevice entry{device.path, device.serial_number, {}};
        HidOpening opening = backend_->open(device.path);
        if (opening.transport) entry.state = ask_versions(*opening.transport);
        else if (opening.in_use) entry.state = "in use by another program";
        else entry.state = "cannot be opened: " + without_final_stop(opening.why);
        listed.push_back(std::move(entry));
    }  // each device is closed, and let go, before the next is opened
    return listed;
}

int HidTransport::write(const Report& request) {
    // A reply that came after its time limit is still queued and would pass for the answer to
    // this request. Bounded, so a device that never stops sending cannot hold us here.
    std::uint8_t stale[kInputSize];
    for (int i = 0; i < 1024 && io_->read_timeout(stale, sizeof stale, 0) > 0; ++i) {
    }
    return io_->write(request.data(), request.size());
}

int HidTransport::read(Report& reply) {
    reply.fill(0);
    const int got = io_->read_timeout(reply.data() + 1, kInputSize, kReplyTimeoutMs);
    if (got <= 0) return got;
    return got + 1;  // byte 0, the report id, is 0 and was not delivered
}

}  // namespace zyvora
