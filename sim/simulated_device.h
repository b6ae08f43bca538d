#pragma once
// A stand-in for the device where none is attached: it answers the five commands as the device
// does, keeps 512 settings pages, reports its versions and logs the firmware pages it takes.
#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fault.h"
#include "locked_file.h"
#include "hid.h"
#include "image.h"
#include "report.h"
#include "transport.h"

namespace zyvora {

struct SimOptions {
    // The EEPROM persists here as a device's does: each time the device is opened it holds what
    // the file holds then (a regular file of exactly 16384 bytes), pages are read from the file,
    // and every settings page goes to its place in the file before the device acknowledges it.
    // A missing file is created, owner-only, by the first page written.
    std::optional<std::string> eeprom_file;
    // What a fresh EEPROM holds: this image, or with `erased` (or no image) all 0xFF.
    std::optional<Image> factory_image;
    bool erased = false;
    std::uint32_t firmware_version = kExpectedFirmwareVersion;
    // Up to 62 characters fit the reply with their NUL; a longer text fills it with no NUL at
    // all, as a faulty device would.
    std::string hardware_version = "Zyvora Plus 2.0 simulated hardware";
    // Its USB serial number; empty: one made from the EEPROM file's name (see sim_serial_number).
    std::string serial_number;
    std::vector<SimFault> faults;  // the first that matches a request applies
    bool not_found = false;        // Open finds no device
    std::chrono::microseconds reply_latency{0};  // how long each reply takes to come
    // A reply later than this is no reply: the read gives up at the limit, as the HID read does.
    std::chrono::microseconds reply_limit{std::chrono::milliseconds(kReplyTimeoutMs)};
};

struct SimFirmwarePage {
    std::uint16_t page;
    std::array<std::uint8_t, kPageSize> data;
    bool operator==(const SimFirmwarePage&) const = default;
};

// The device's answer to one request: count 65 (whole), 64 (short), 0 (none) or -1 (gone).
struct SimAnswer {
    int count;
    Report reply;
    // Why the EEPROM file did not take the page the device then refused, for the status log.
    std::optional<std::string> eeprom_error{};
};

class SimulatedDevice {
public:
    // nullptr with the reason in `error` when the EEPROM file exists but cannot be loaded.
    static std::unique_ptr<SimulatedDevice> create(SimOptions options, std::string* error);

    const SimOptions& options() const { return options_; }
    // Takes one request as the device would. Requests it cannot accept (report id not 0,
    // unknown command, page out of range, wrong page sum, firmware page out of order) are not
    // acted on and get a reply with byte 1 = 0, which fails the exchange. Faults change only the
    // reply: the device has done its work when a reply is lost or garbled.
    SimAnswer handle(const Report& request);

    bool present() const { return present_ && !options_.not_found; }
    const Image& eeprom() const { return eeprom_; }
    // Every request the device received, in order, and why it refused any.
    const std::vector<Report>& requests() const { return requests_; }
    const std::vector<std::string>& refusals() const { return refusals_; }
    // Every firmware page it accepted, in order, across uploads.
    const std::vector<SimFirmwarePage>& firmware_pages() const { return firmware_pages_; }

    // Takes the EEPROM file as opening a device does: locked for this device until sync_eeprom
    // lets it go, and loaded as it is now; with no file there the device is a fresh one. Failed
    // with "EEPROM file NAME: why" in `error` when the file cannot be used.
    enum class EepromClaim { Held, NoFile, InUse, Failed };
    EepromClaim claim_eeprom(std::string* error);
    bool holds_eeprom() const { return file_.is_open(); }

    // Makes the pages written since the last sync durable (the last page of a transfer syncs by
    // itself) and lets the EEPROM file go until the next page is written. False with the reason
    // in `error`, "EEPROM not saved to FILE: why", when the sync fails.
    bool sync_eeprom(std::string* error);

    ~SimulatedDevice();
    SimulatedDevice(const SimulatedDevice&) = delete;
    SimulatedDevice& operator=(const SimulatedDevice&) = delete;

private:
    explicit SimulatedDevice(SimOptions options);
    void answer(const Report& request, SimAnswer& answer);
    void refuse(Report& reply, std::string why);
    bool read_page(std::uint16_t page, std::uint8_t* stored, std::string* why);
    bool keep_page(std::uint16_t page, const std::uint8_t* data, std::string* why);

    SimOptions options_;
    Image eeprom_{};
    LockedFile file_;        // open and locked from the claim or first page until the next sync
    bool unsynced_ = false;  // pages written since the last fsync
    bool present_ = true;
    std::uint32_t next_firmware_page_ = 0;
    std::vector<Report> requests_;
    std::vector<std::string> refusals_;
    std::vector<SimFirmwarePage> firmware_pages_;
};

// Opens the simulated device: the found line of Open, or "Zyvora Plus 2.0 not found." when it
// is absent. The device must outlive the port, and `feedback` the transport it gives: the
// transport logs why the EEPROM file failed to take a page, and closing it syncs the file.
// While a transport is open it holds the EEPROM file locked, as the USB device's node is, from
// its opening or from the page that made the file, so a second program on the same file is told
// the device is in use and sends nothing.
// The serial number the simulated device gives: the one set, else "SIM-" and the EEPROM file's
// name without its extension, upper-cased, letters, digits and '-' only ("SIM" with no file), so
// that one file is always one device.
std::string sim_serial_number(const SimOptions& options);

class SimulatedPort : public DevicePort {
public:
    explicit SimulatedPort(SimulatedDevice& device) : device_(device) {}
    std::unique_ptr<Transport> open(Feedback& feedback) override;
    std::string serial_number() const override { return sim_serial_number(device_.options()); }
    std::string device_path() const override { return "sim"; }
    // The device as `list` shows it under `path`, asked for its versions; nullopt when absent.
    std::optional<ListedDevice> list(const std::string& path);

private:
    SimulatedDevice& device_;
};

}  // namespace zyvora
