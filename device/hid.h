#pragma once
// The device on the USB HID bus. HidPort finds it among the HID interfaces present and opens
// the first match; the backend seam lets tests present interfaces of their own.
#include <memory>
#include <string>
#include <vector>

#include "transport.h"

namespace zyvora {

// One HID interface as enumeration sees it. The hardware ID reads like "HID\VID_0483&PID_A124"
// on every platform, so one match rule serves them all.
struct HidInterface {
    std::string path;
    std::string hardware_id;
};

class HidBackend {
public:
    virtual ~HidBackend() = default;
    virtual std::vector<HidInterface> enumerate() = 0;
    // An open transport on `path`, or nullptr with the reason in `why`.
    virtual std::unique_ptr<Transport> open(const std::string& path, std::string* why) = 0;
};

// The HID interfaces of this PC, through hidapi.
std::unique_ptr<HidBackend> make_hidapi_backend();

// True when the hardware ID names the device: it contains "vid_0483&pid_a124" in any case.
bool is_device_hardware_id(const std::string& hardware_id);

class HidPort : public DevicePort {
public:
    HidPort();  // over hidapi
    explicit HidPort(std::unique_ptr<HidBackend> backend);
    std::unique_ptr<Transport> open(Feedback& feedback) override;

private:
    std::unique_ptr<HidBackend> backend_;
};

// How long a reply may take. A device busy writing a firmware page or an EEPROM page into its
// flash answers only when done, which can take a second or more when a flash sector is erased
// first; five seconds covers that, while a device that is hung still fails the page soon enough.
constexpr int kReplyTimeoutMs = 5000;

// The calls a HID transport makes on an open device, as hidapi defines them: a write takes the
// report id as byte 0; a read gives the report without it, returns 0 on time-out, -1 on error.
class HidIo {
public:
    virtual ~HidIo() = default;
    virtual int write(const std::uint8_t* data, std::size_t length) = 0;
    virtual int read_timeout(std::uint8_t* data, std::size_t length, int milliseconds) = 0;
};

// The 65-byte exchange over HidIo: stale input is drained before each request, and the reply
// comes back with its report id byte 0 put back in front.
class HidTransport : public Transport {
public:
    explicit HidTransport(std::unique_ptr<HidIo> io) : io_(std::move(io)) {}
    int write(const Report& request) override;
    int read(Report& reply) override;

private:
    std::unique_ptr<HidIo> io_;
};

}  // namespace zyvora
