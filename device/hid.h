#pragma once
// The device on the USB HID bus. HidPort finds the devices among the HID interfaces present,
// takes the one picked (or the only one), and holds it for this program alone while it is open;
// the backend seam lets tests present interfaces of their own.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "seat.h"
#include "transport.h"

namespace zyvora {

// One HID interface as enumeration sees it. The hardware ID reads like "HID\VID_0483&PID_A124"
// on every platform, so one match rule serves them all.
struct HidInterface {
    std::string path;
    std::string hardware_id;
    std::string serial_number;  // empty when the device gives none
};

// What opening one interface gave: a transport, or why not.
struct HidOpening {
    std::unique_ptr<Transport> transport;
    bool in_use = false;  // another program holds the device
    std::string why;      // otherwise, the system's reason
};

class HidBackend {
public:
    virtual ~HidBackend() = default;
    virtual std::vector<HidInterface> enumerate() = 0;
    virtual HidOpening open(const std::string& path) = 0;
};

// The HID interfaces of this PC, through hidapi.
std::unique_ptr<HidBackend> make_hidapi_backend();

// True when the hardware ID names the device: it contains "vid_0483&pid_a124" in any case.
bool is_device_hardware_id(const std::string& hardware_id);

// The status log line of a device that another program has open.
inline constexpr const char* kDeviceInUse = "The device is in use by another program.";

// "PATH (serial number SERIAL)", or "PATH (no serial number)": how messages name a device.
std::string describe_device(const HidInterface& device);

// One device as `zyvora-cli list` shows it.
struct ListedDevice {
    std::string path;
    std::string serial_number;
    // "firmware 1.13, hardware TEXT", "in use by another program", "does not answer", or
    // "cannot be opened: WHY".
    std::string state;
    bool operator==(const ListedDevice&) const = default;
};

// Asks an open device for its firmware and hardware versions: the state `list` shows.
std::string ask_versions(Transport& transport);

// Which of several devices an operation is to use: an index into `devices`, or nullopt when
// the user would rather not go on.
using HidChooser = std::function<std::optional<std::size_t>(const std::vector<HidInterface>& devices)>;

// Where the udev rule that opens the device to the user at the seat may be installed: the folders
// udev reads, then the one beside this program (an install under /usr/local, which udev does not read).
std::vector<std::string> udev_rule_places();
// What to do when the device will not open: reload the rule found first among `places`, move one
// udev does not read, or install it; away from the seat, join the rule's group.
std::string permission_hint(const std::vector<std::string>& places, const SeatAccess& access);
std::string permission_hint(const std::vector<std::string>& places);  // for this process's access

class HidPort : public DevicePort {
public:
    // `pick` is a device's path or serial number; empty, the only device attached is taken.
    explicit HidPort(std::string pick = {});  // over hidapi
    explicit HidPort(std::unique_ptr<HidBackend> backend, std::string pick = {});

    // Asked when several devices are attached and none is picked; without one, such an
    // operation is refused with a message that lists them.
    void set_chooser(HidChooser chooser) { chooser_ = std::move(chooser); }
    // Where the permission hint looks for the udev rule (udev_rule_places() unless set).
    void set_rule_places(std::vector<std::string> places) { rule_places_ = std::move(places); }

    std::unique_ptr<Transport> open(Feedback& feedback) override;
    std::string serial_number() const override { return opened_.serial_number; }
    std::string device_path() const override { return opened_.path; }

    // The devices attached, each once, in the order the system gives them.
    std::vector<HidInterface> attached();
    // Every device the pick allows (all when none), each opened, asked and closed in turn;
    // nullopt, with the error shown, when a pick matches none of those attached.
    std::optional<std::vector<ListedDevice>> list(Feedback& feedback);

private:
    std::unique_ptr<HidBackend> backend_;
    std::string pick_;
    HidChooser chooser_;
    std::optional<std::vector<std::string>> rule_places_;
    HidInterface opened_;  // the device open() found last
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
