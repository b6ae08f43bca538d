#include "simulated_device.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace zyvora {

// The EEPROM is the device's settings pages, kept as the settings image it holds.
static_assert(kImageSize == kSettingsPages * kPageSize);

namespace {

namespace fs = std::filesystem;

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

bool load_eeprom(const std::string& path, Image& eeprom, std::string* error) {
    const auto fail = [&](const std::string& why) {
        if (error) *error = "EEPROM file " + path + ": " + why;
        return false;
    };
    std::ifstream in(path, std::ios::binary);
    if (!in) return fail(std::string("cannot be read: ") + std::strerror(errno));
    std::vector<char> bytes;
    // One byte past the image is enough to know the file is too long.
    bytes.resize(kImageSize + 1);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) return fail("cannot be read");
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got != kImageSize) {
        return fail((got > kImageSize ? "holds more than " + std::to_string(kImageSize) + " bytes"
                                      : "holds " + std::to_string(got) + " bytes") +
                    "; an EEPROM file holds exactly " + std::to_string(kImageSize));
    }
    std::copy_n(bytes.begin(), kImageSize, eeprom.begin());
    return true;
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
    SimulatedTransport(SimulatedDevice& device, Feedback& feedback, ExclusiveLock lock)
        : device_(device), feedback_(feedback), lock_(std::move(lock)) {}
    ~SimulatedTransport() override {
        std::string error;
        if (!device_.sync_eeprom(&error)) feedback_.log("Simulated device: " + error);
    }
    SimulatedTransport(const SimulatedTransport&) = delete;
    SimulatedTransport& operator=(const SimulatedTransport&) = delete;

    int write(const Report& request) override {
        pending_.reset();
        if (!device_.present()) return -1;
        // A file made by this transport's first page is locked from then on.
        const auto& file = device_.options().eeprom_file;
        if (file && !lock_.held() && lock_.take(*file) == ExclusiveLock::Result::InUse) {
            feedback_.log(kDeviceInUse);
            return -1;
        }
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
    ExclusiveLock lock_;  // let go after the destructor's sync
    std::optional<SimAnswer> pending_;
    std::chrono::steady_clock::time_point sent_at_;
};

}  // namespace

SimulatedDevice::SimulatedDevice(SimOptions options) : options_(std::move(options)) {
    if (options_.factory_image && !options_.erased) eeprom_ = *options_.factory_image;
    else eeprom_.fill(0xFF);
}

SimulatedDevice::~SimulatedDevice() {
    if (unsynced_) file_.sync(nullptr);
}

std::unique_ptr<SimulatedDevice> SimulatedDevice::create(SimOptions options, std::string* error) {
    std::unique_ptr<SimulatedDevice> device(new SimulatedDevice(std::move(options)));
    if (const auto& file = device->options_.eeprom_file) {
        std::error_code ec;
        const bool exists = fs::exists(*file, ec);
        if (ec) {
            if (error) *error = "EEPROM file " + *file + ": " + ec.message();
            return nullptr;
        }
        if (exists && !load_eeprom(*file, device->eeprom_, error)) return nullptr;
    }
    return device;
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
            const std::uint8_t* stored = eeprom_.data() + page * kPageSize;
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

bool SimulatedDevice::keep_page(std::uint16_t page, const std::uint8_t* data, std::string* why) {
    if (!options_.eeprom_file) return true;
    // A file not there yet is created holding the EEPROM as it is now, owner-only since it
    // holds passwords.
    if (!file_.is_open()) {
        bool created = false;
        if (!file_.open(*options_.eeprom_file, eeprom_, why, &created)) return false;
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
        feedback.log("Zyvora Plus 2.0 not found.");
        return nullptr;
    }
    feedback.log("Zyvora Plus 2.0 found, vid: Vid_0483, pid: A124");
    // A file not there yet has nothing to lock; its first page makes it and the lock follows.
    ExclusiveLock lock;
    if (const auto& file = device_.options().eeprom_file;
        file && lock.take(*file) == ExclusiveLock::Result::InUse) {
        feedback.log(kDeviceInUse);
        return nullptr;
    }
    return std::make_unique<SimulatedTransport>(device_, feedback, std::move(lock));
}

std::optional<ListedDevice> SimulatedPort::list(const std::string& path) {
    if (!device_.present()) return std::nullopt;
    ListedDevice listed{path, {}, {}};
    SilentFeedback quiet;
    const std::unique_ptr<Transport> transport = open(quiet);
    listed.state = transport ? ask_versions(*transport) : "in use by another program";
    return listed;
}

}  // namespace zyvora
