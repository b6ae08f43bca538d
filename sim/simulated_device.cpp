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

class SimulatedTransport : public Transport {
public:
    SimulatedTransport(SimulatedDevice& device, Feedback& feedback) : device_(device), feedback_(feedback) {}
    ~SimulatedTransport() override {
        std::string error;
        if (!device_.save(&error)) feedback_.log("Simulated device: " + error);
    }
    SimulatedTransport(const SimulatedTransport&) = delete;
    SimulatedTransport& operator=(const SimulatedTransport&) = delete;

    int write(const Report& request) override {
        pending_.reset();
        if (!device_.present()) return -1;
        SimAnswer answer = device_.handle(request);
        if (answer.count < 0) return -1;
        pending_ = answer;
        sent_at_ = std::chrono::steady_clock::now();
        return static_cast<int>(kReportSize);
    }

    int read(Report& reply) override {
        if (!device_.present()) return -1;
        if (!pending_ || pending_->count == 0) return 0;
        if (device_.options().reply_latency.count() > 0) wait_until(sent_at_ + device_.options().reply_latency);
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

SimulatedDevice::SimulatedDevice(SimOptions options) : options_(std::move(options)) {
    if (options_.factory_image && !options_.erased) eeprom_ = *options_.factory_image;
    else eeprom_.fill(0xFF);
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

void SimulatedDevice::answer(const Report& request, Report& reply) {
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
            std::copy_n(data, kPageSize, eeprom_.begin() + page * kPageSize);
            dirty_ = true;
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
    this->answer(request, answer.reply);
    if (fault == options_.faults.end()) return answer;
    switch (fault->kind) {
        case SimFaultKind::WrongSum:
            put_le16(answer.reply, kPageSumAt, static_cast<std::uint16_t>(le16(answer.reply, kPageSumAt) + 1));
            break;
        case SimFaultKind::WrongEcho: answer.reply[1] = static_cast<std::uint8_t>(request[1] ^ 0x01); break;
        case SimFaultKind::ShortReply: answer.count = static_cast<int>(kReportSize) - 1; break;
        case SimFaultKind::NoReply: answer.count = 0; break;
        case SimFaultKind::Gone: break;
    }
    return answer;
}

bool SimulatedDevice::save(std::string* error) {
    if (!dirty_ || !options_.eeprom_file) return true;
    const std::string& path = *options_.eeprom_file;
    const std::string temp = path + ".new";
    const auto fail = [&](const std::string& why) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        if (error) *error = "EEPROM not saved to " + path + ": " + why;
        return false;
    };
    // Written beside the file and renamed over it, so a failed save leaves the old file whole.
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return fail(std::strerror(errno));
        out.write(reinterpret_cast<const char*>(eeprom_.data()), static_cast<std::streamsize>(eeprom_.size()));
        out.close();
        if (!out) return fail("write failed");
    }
    std::error_code ec;
    fs::rename(temp, path, ec);
    if (ec) return fail(ec.message());
    dirty_ = false;
    return true;
}

std::unique_ptr<Transport> SimulatedPort::open(Feedback& feedback) {
    if (!device_.present()) {
        feedback.log("Zyvora Plus 2.0 not found.");
        return nullptr;
    }
    feedback.log("Zyvora Plus 2.0 found, vid: Vid_0483, pid: A124");
    return std::make_unique<SimulatedTransport>(device_, feedback);
}

}  // namespace zyvora
