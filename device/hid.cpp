#include "hid.h"

#include <hidapi.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cwchar>

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
        // hidapi's messages are plain English with a path and a system error text; anything
        // beyond ASCII is shown as '?' rather than guessed at.
        const wchar_t c = *text;
        out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    return out;
}

class HidapiIo : public HidIo {
public:
    explicit HidapiIo(hid_device* device) : device_(device) {}
    ~HidapiIo() override { hid_close(device_); }
    HidapiIo(const HidapiIo&) = delete;
    HidapiIo& operator=(const HidapiIo&) = delete;

    int write(const std::uint8_t* data, std::size_t length) override { return hid_write(device_, data, length); }
    int read_timeout(std::uint8_t* data, std::size_t length, int milliseconds) override {
        return hid_read_timeout(device_, data, length, milliseconds);
    }

private:
    hid_device* device_;
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
            found.push_back({d->path ? d->path : "", id});
        }
        hid_free_enumeration(list);
        return found;
    }

    std::unique_ptr<Transport> open(const std::string& path, std::string* why) override {
        if (!HidLibrary::ready()) {
            if (why) *why = "the HID library could not be initialised";
            return nullptr;
        }
        hid_device* device = hid_open_path(path.c_str());
        if (!device) {
            if (why) {
                *why = narrow(hid_error(nullptr));
                if (why->empty()) *why = "cannot open " + path;
            }
            return nullptr;
        }
        return std::make_unique<HidTransport>(std::make_unique<HidapiIo>(device));
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

HidPort::HidPort() : HidPort(make_hidapi_backend()) {}

HidPort::HidPort(std::unique_ptr<HidBackend> backend) : backend_(std::move(backend)) {}

std::unique_ptr<Transport> HidPort::open(Feedback& feedback) {
    for (const HidInterface& candidate : backend_->enumerate()) {
        if (!is_device_hardware_id(candidate.hardware_id)) continue;
        feedback.log("Zyvora Plus 2.0 found, vid: Vid_0483, pid: A124");
        std::string why;
        if (std::unique_ptr<Transport> transport = backend_->open(candidate.path, &why)) return transport;
        while (!why.empty() && (why.back() == '.' || why.back() == ' ')) why.pop_back();
        feedback.log("Zyvora Plus 2.0 could not be opened: " + why +
                     ". On Linux, install the udev rule resources/50-zyvora-plus.rules (see README).");
        // The flow goes on and fails at its first exchange, as with a device that will not open.
        return std::make_unique<UnopenedTransport>();
    }
    feedback.log("Zyvora Plus 2.0 not found.");
    return nullptr;
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
