#pragma once
// The device as the configurator sees it: something that finds and opens it (DevicePort), and
// an open device that takes one report and gives one back (Transport). The HID device and the
// simulated device both implement these.
#include <memory>
#include <string>

#include "feedback.h"
#include "report.h"

namespace zyvora {

class Transport {
public:
    virtual ~Transport() = default;
    // Sends one report; the count written (65 when all went out), or -1.
    virtual int write(const Report& request) = 0;
    // Waits, within the time limit, for one reply; the count read (65 for a whole reply),
    // 0 when none came in time, -1 when the device is gone.
    virtual int read(Report& reply) = 0;
};

class DevicePort {
public:
    virtual ~DevicePort() = default;
    // Finds the device and opens it, writing the status log lines of Open. nullptr when no
    // device was found; a device that was found but could not be opened still gives a
    // transport, whose exchanges then fail.
    virtual std::unique_ptr<Transport> open(Feedback& feedback) = 0;
    // The device the last open() found: its serial number (empty when it gives none) and path.
    virtual std::string serial_number() const { return {}; }
    virtual std::string device_path() const { return {}; }
};

}  // namespace zyvora
