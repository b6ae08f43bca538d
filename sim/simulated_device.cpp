#include "simulated_device.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <thread>

namespace zyvora {

// The EEPROM is the device's settings pages, kept as the settings image it holds.
static_assert(kImageSize == kSettingsPages * kPageSize);

namespace {

std::optional<std::uint16_t> page_of(const Report& request) {
    const auto command = static_cast<Command>(request[1]);
    if (command == Command::ReadPage || command == Command::WritePage || command == Command::FirmwarePage) {
        return le16(request, kPageNumberAt);
    }
    return std::nullopt;
}

std::string hex(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

// What a fresh device holds: its factory image, or all 0xFF when erased or given none.
Image fresh_eeprom(const SimOptions& options) {
    Image image;
    if (options.factory_image && !options.erased) image = *options.factory_image;
    else image.fill(0xFF);
    return image;
}

// The whole EEPROM from `file`, or false with why not, after "EEPROM file NAME: ".
bool load_eeprom(const LockedFile& file, Image& eeprom, std::string* why) {
    // One byte past the image is enough to know the file is too long.
    std::vector<std::uint8_t> bytes(kImageSize + 1);
    std::string error;
    const long got = file.read_at(0, bytes, &error);
    if (got < 0) {
        if (why) *why = "cannot be read: " + error;
        return false;
    }
    if (static_cast<std::size_t>(got) != kImageSize) {
        if (why) {
            *why = (static_cast<std::size_t>(got) > kImageSize ? "holds more than " + std::to_string(kImageSize) + " bytes"
                                                              : "holds " + std::to_string(got) + " bytes") +
                   "; an EEPROM file holds exactly " + std::to_string(kImageSize);
        }
        return false;
    }
    std::copy_n(bytes.begin(), kImageSize, eeprom.begin());
    return true;
}

// Takes the EEPROM file for the transport about to send a request, as opening the USB device
// does; false after logging why the device cannot be used.
bool claimed(SimulatedDevice& device, Feedback& feedback) {
    std::string why;
    switch (device.claim_eeprom(&why)) {
        case SimulatedDevice::EepromClaim::Held:
        case SimulatedDevice::EepromClaim::NoFile: return true;
        case SimulatedDevice::EepromClaim::InUse: feedback.outcome(kDeviceInUse); return false;
        case SimulatedDevice::EepromClaim::Failed: feedback.log("Simulated device: " + why); return false;
    }
    return false;
}

// `from` + `span`, held at the clock's end instead of overflowing.
std::chrono::steady_clock::time_point later_by(std::chrono::steady_clock::time_point from,
                                               std::chrono::microseconds span) {
    using clock = std::chrono::steady_clock;
    const auto headroom = std::chrono::duration_cast<std::chrono::microseconds>(clock::time_point::max() - from);
    if (span >= headroom) return clock::time_point::max();
    return from + std::chrono::duration_cast<clock::duration>(std::max(span, std::chrono::microseconds(0)));
}

class SimulatedTransport : public Transport {
public:
    SimulatedTransport(SimulatedDevice& device, Feedback& feedback) : device_(device), feedback_(feedback) {}
    ~SimulatedTransport() override {
        std::string error;
        if (!device_.sync_eeprom(&error)) feedback_.log("Simulated device: " + error);
    }
    SimulatedTransport(const SimulatedTransport&) = delete;
    SimulatedTransport& operator=(const SimulatedTransport&) = delete;

    int write(const Report& request) override {
        pending_.reset();
        if (!device_.present()) return -1;
        // A file another program made since the device was opened is taken as it is now.
        if (!device_.holds_eeprom() && !claimed(device_, feedback_)) return -1;
        SimAnswer answer = device_.handle(request);
        if (answer.eeprom_error) feedback_.log("Simulated device: " + *answer.eeprom_error);
        if (answer.count < 0) return -1;
        pending_ = answer;
        sent_at_ = std::chrono::steady_clock::now();
        return static_cast<int>(kReportSize);
    }

    int read(Report& reply) override {
        if (!device_.present()) return -1;
        if (!pending_ || pending_->count == 0) return 0;
        const auto latency = device_.options().reply_latency;
        if (latency > device_.options().reply_limit) {
            pending_.reset();
            wait_until(later_by(std::chrono::steady_clock::now(), device_.options().reply_limit));
            return 0;
        }
        if (latency.count() > 0) wait_until(later_by(sent_at_, latency));
        reply = pending_->reply;
        const int count = pending_->count;
        pending_.reset();
        return count;
    }

private:
    // The reply comes exactly `reply_latency` after the request, as a device's would: a sleep
    // alone overshoots by the scheduler's slack, so the last stretch is spun.
    static void wait_until(std::chrono::steady_clock::time_point due) {
        const auto slack = std::chrono::microseconds(200);
        if (due - std::chrono::steady_clock::now() > slack) std::this_thread::sleep_until(due - slack);
        while (std::chrono::steady_clock::now() < due) {
        }
    }

    SimulatedDevice& device_;
    Feedback& feedback_;
    std::optional<SimAnswer> pending_;
    std::chrono::steady_clock::time_point sent_at_;
};

}  // namespace

SimulatedDevice::SimulatedDevice(SimOptions options) : options_(std::move(options)), eeprom_(fresh_eeprom(options_)) {}

SimulatedDevice::~SimulatedDevice() {
    if (unsynced_) file_.sync(nullptr);
}

std::unique_ptr<SimulatedDevice> SimulatedDevice::create(SimOptions options, std::string* error) {
    std::unique_ptr<SimulatedDevice> device(new SimulatedDevice(std::move(options)));
    // Looked at now, so that a file no device can use is refused at once; a file another program
    // holds is looked at when it is let go.
    if (device->claim_eeprom(error) == EepromClaim::Failed) return nullptr;
    device->file_.close();
    return device;
}

SimulatedDevice::EepromClaim SimulatedDevice::claim_eeprom(std::string* error) {
    if (file_.is_open()) return EepromClaim::Held;
    if (!options_.eeprom_file) return EepromClaim::NoFile;
    const std::string& path = *options_.eeprom_file;
    std::string why;
    switch (file_.open(path, &why)) {
        case LockedFile::Result::Held: break;
        case LockedFile::Result::InUse: return EepromClaim::InUse;
        case LockedFile::Result::Missing: eeprom_ = fresh_eeprom(options_); return EepromClaim::NoFile;
        case LockedFile::Result::Failed:
            if (error) *error = "EEPROM file " + path + ": " + why;
            return EepromClaim::Failed;
    }
    if (!load_eeprom(file_, eeprom_, &why)) {
        file_.close();
        if (error) *error = "EEPROM file " + path + ": " + why;
        return EepromClaim::Failed;
    }
    return EepromClaim::Held;
}

void SimulatedDevice::refuse(Report& reply, std::string why) {
    reply[1] = 0;
    refusals_.push_back(std::move(why));
}

void SimulatedDevice::answer(const Report& request, SimAnswer& answer) {
    Report& reply = answer.reply;
    if (request[0] != 0) return refuse(reply, "report id " + std::to_string(request[0]));
    const std::uint16_t page = le16(request, kPageNumberAt);
    const std::uint8_t* data = request.data() + kPageDataAt;
    const std::uint16_t sum = le16(request, kPageSumAt);
    switch (static_cast<Command>(request[1])) {
        case Command::HardwareVersion: {
            const std::string& text = options_.hardware_version;
            std::copy_n(text.begin(), std::min(text.size(), kReportSize - kPayloadAt), reply.begin() + kPayloadAt);
            return;
        }
        case Command::FirmwareVersion:
            put_le32(reply, kPayloadAt, options_.firmware_version);
            return;
        case Command::ReadPage: {
            if (page >= kSettingsPages) return refuse(reply, "read page " + std::to_string(page) + ": no such page");
            std::uint8_t* stored = eeprom_.data() + page * kPageSize;
            // With the file open the page comes from it, so that a read-back shows what it holds.
            if (std::string why; !read_page(page, stored, &why)) {
                answer.eeprom_error = "EEPROM not read from " + *options_.eeprom_file + ": " + why;
                return refuse(reply, "read page " + std::to_string(page) + ": " + *answer.eeprom_error);
            }
            std::copy_n(stored, kPageSize, reply.begin() + kPageDataAt);
            put_le16(reply, kPageSumAt, page_sum(stored));
            return;
        }
        case Command::WritePage:
            if (page >= kSettingsPages) return refuse(reply, "write page " + std::to_string(page) + ": no such page");
            if (sum != page_sum(data)) {
                return refuse(reply, "write page " + std::to_string(page) + ": page sum " + std::to_string(sum) +
                                         ", the bytes add up to " + std::to_string(page_sum(data)));
            }
            if (std::string why; !keep_page(page, data, &why)) {
                answer.eeprom_error = "EEPROM not saved to " + *options_.eeprom_file + ": " + why;
                return refuse(reply, "write page " + std::to_string(page) + ": " + *answer.eeprom_error);
            }
            std::copy_n(data, kPageSize, eeprom_.begin() + page * kPageSize);
            return;
        case Command::FirmwarePage: {
            if (sum != page_sum(data)) {
                return refuse(reply, "firmware page " + std::to_string(page) + ": page sum " + std::to_string(sum) +
                                         ", the bytes add up to " + std::to_string(page_sum(data)));
            }
            // The device takes its firmware in order; page 0 starts a new upload.
            if (page != 0 && page != next_firmware_page_) {
                return refuse(reply, "firmware page " + std::to_string(page) + ": expected page " +
                                         std::to_string(next_firmware_page_));
            }
            SimFirmwarePage taken{page, {}};
            std::copy_n(data, kPageSize, taken.data.begin());
            firmware_pages_.push_back(taken);
            next_firmware_page_ = page + 1u;
            return;
        }
    }
    refuse(reply, "unknown command " + hex(request[1]));
}

SimAnswer SimulatedDevice::handle(const Report& request) {
    if (!present()) return {-1, {}};
    const std::optional<std::uint16_t> page = page_of(request);
    const auto fault = std::find_if(options_.faults.begin(), options_.faults.end(), [&](const SimFault& f) {
        return static_cast<std::uint8_t>(f.command) == request[1] && (!f.page || f.page == page);
    });
    if (fault != options_.faults.end() && fault->kind == SimFaultKind::Gone) {
        present_ = false;
        return {-1, {}};
    }
    requests_.push_back(request);
    SimAnswer answer{static_cast<int>(kReportSize), {}};
    answer.reply[1] = request[1];
    if (fault != options_.faults.end() && fault->kind == SimFaultKind::Corrupt) {
        // The page passes every check of the exchange; only reading it back shows the change.
        Report changed = request;
        changed[kPageDataAt] ^= 0x01;
        put_le16(changed, kPageSumAt, page_sum(changed.data() + kPageDataAt));
        this->answer(changed, answer);
        return answer;
    }
    this->answer(request, answer);
    if (fault == options_.faults.end()) return answer;
    switch (fault->kind) {
        case SimFaultKind::WrongSum:
            put_le16(answer.reply, kPageSumAt, static_cast<std::uint16_t>(le16(answer.reply, kPageSumAt) + 1));
            break;
        case SimFaultKind::WrongEcho: answer.reply[1] = static_cast<std::uint8_t>(request[1] ^ 0x01); break;
        case SimFaultKind::ShortReply: answer.count = static_cast<int>(kReportSize) - 1; break;
        case SimFaultKind::NoReply: answer.count = 0; break;
        case SimFaultKind::Gone:
        case SimFaultKind::Corrupt: break;
    }
    return answer;
}

bool SimulatedDevice::read_page(std::uint16_t page, std::uint8_t* stored, std::string* why) {
    if (!file_.is_open()) return true;
    std::array<std::uint8_t, kPageSize> bytes;
    const long got = file_.read_at(page * kPageSize, bytes, why);
    if (got < 0) return false;
    if (static_cast<std::size_t>(got) != kPageSize) {
        if (why) *why = "the file ends before page " + std::to_string(page);
        return false;
    }
    std::copy(bytes.begin(), bytes.end(), stored);
    return true;
}

bool SimulatedDevice::keep_page(std::uint16_t page, const std::uint8_t* data, std::string* why) {
    if (!options_.eeprom_file) return true;
    // A file not there yet is created holding the EEPROM as it is now, owner-only since it
    // holds passwords, and locked before its name appears.
    if (!file_.is_open()) {
        bool created = false;
        switch (file_.open_or_create(*options_.eeprom_file, eeprom_, why, &created)) {
            case LockedFile::Result::Held: break;
            case LockedFile::Result::InUse:
                if (why) *why = kDeviceInUse;
                return false;
            case LockedFile::Result::Missing:
            case LockedFile::Result::Failed: return false;
        }
        // A file another program made meanwhile is what this device holds from now on.
        if (!created && !load_eeprom(file_, eeprom_, why)) {
            file_.close();
            return false;
        }
        unsynced_ = created;
    }
    const std::size_t at = page * kPageSize;
    bool kept = file_.write_at(at, {data, kPageSize}, why);
    if (kept) unsynced_ = true;
    // The last page ends a transfer: only what is on the disk counts as written.
    if (kept && page == kSettingsPages - 1) {
        kept = file_.sync(why);
        if (kept) unsynced_ = false;
    }
    if (kept) return true;
    // A page the device refuses keeps its old bytes, as far as the file still takes them.
    file_.write_at(at, std::span(eeprom_).subspan(at, kPageSize), nullptr);
    return false;
}

bool SimulatedDevice::sync_eeprom(std::string* error) {
    if (!file_.is_open()) return true;
    std::string why;
    const bool synced = !unsynced_ || file_.sync(&why);
    if (!synced && error) *error = "EEPROM not saved to " + *options_.eeprom_file + ": " + why;
    file_.close();
    unsynced_ = false;
    return synced;
}

std::unique_ptr<Transport> SimulatedPort::open(Feedback& feedback) {
    if (!device_.present()) {
        feedback.outcome("Zyvora Plus 2.0 not found.");
        return nullptr;
    }
    feedback.log("Zyvora Plus 2.0 found, vid: Vid_0483, pid: A124");
    // Locked and loaded as the file is now; a file not there yet is made, locked, by its first page.
    if (!claimed(device_, feedback)) return nullptr;
    return std::make_unique<SimulatedTransport>(device_, feedback);
}

std::string sim_serial_number(const SimOptions& options) {
    if (!options.serial_number.empty()) return options.serial_number;
    if (!options.eeprom_file) return "SIM";
    std::string serial = "SIM-";
    for (const unsigned char c : std::filesystem::path(*options.eeprom_file).stem().string()) {
        serial += std::isalnum(c) ? static_cast<char>(std::toupper(c)) : '-';
    }
    return serial;
}

std::optional<ListedDevice> SimulatedPort::list(const std::string& path) {
    if (!device_.present()) return std::nullopt;
    ListedDevice listed{path, serial_number(), {}};
    SilentFeedback quiet;
    const std::unique_ptr<Transport> transport = open(quiet);
    listed.state = transport ? ask_versions(*transport) : "in use by another program";
    return listed;
}

}  // namespace zyvora
