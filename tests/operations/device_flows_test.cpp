// The device command flows against the simulated device: what reaches the device, what the
// log and the boxes say, and when the controls change.
#include <gtest/gtest.h>

#include "../device/recording_feedback.h"
#include "../support/expected_defaults.h"
#include "device_flows.h"
#include "passes.h"
#include "simulated_device.h"

namespace zyvora {
namespace {

using testing::RecordingFeedback;

class DeviceFlows : public ::testing::Test {
protected:
    void make_device(SimOptions options) {
        if (!options.factory_image) options.factory_image = factory_image(registry_);
        std::string why;
        device_ = SimulatedDevice::create(options, &why);
        ASSERT_TRUE(device_) << why;
        port_ = std::make_unique<SimulatedPort>(*device_);
    }
    std::size_t requests_of(Command command) const {
        std::size_t n = 0;
        for (const auto& r : device_->requests()) n += r[1] == static_cast<std::uint8_t>(command);
        return n;
    }

    const Registry& registry_ = Registry::instance();
    ControlStore store_ = test::startup_store(registry_);
    Image image_{};
    RecordingFeedback feedback_;
    std::unique_ptr<SimulatedDevice> device_;
    std::unique_ptr<SimulatedPort> port_;
};

TEST_F(DeviceFlows, ReadThatStopsAfterTheUsedRegionStillDecodes) {
    Image stored = factory_image(registry_);
    ControlStore station = test::startup_store(registry_);
    station.set_text("Callsign", "SP5XYZ");
    ASSERT_TRUE(encode(registry_, station, stored, {false, 7}).empty());
    SimOptions options;
    options.factory_image = stored;
    options.faults.push_back(*parse_sim_fault("read@100=wrong-sum", nullptr));
    make_device(options);

    EXPECT_TRUE(read_config(*port_, registry_, store_, image_, feedback_));
    const auto lines = feedback_.lines();
    EXPECT_EQ(lines[101], "Page read error: 101/512");
    EXPECT_EQ(lines[102], "Eeprom read success.");
    EXPECT_EQ(store_.text("Callsign"), "SP5XYZ");
    EXPECT_EQ(feedback_.boxes(), (std::vector<std::string>{
                                     "message: Firmware version: 1.13\r\nHardware version: Zyvora Plus 2.0 simulated hardware"}));
}

TEST_F(DeviceFlows, OtherVersionTagChangesNoControl) {
    Image stored = factory_image(registry_);
    ControlStore station = test::startup_store(registry_);
    station.set_text("Callsign", "SP5XYZ");
    ASSERT_TRUE(encode(registry_, station, stored, {false, 7}).empty());
    stored[10] = '2';  // v1.12, checksum mended
    const std::uint32_t sum = image_sum(stored);
    for (int i = 0; i < 4; ++i) stored[i] = static_cast<std::uint8_t>(sum >> (8 * i));
    SimOptions options;
    options.factory_image = stored;
    make_device(options);

    EXPECT_FALSE(read_config(*port_, registry_, store_, image_, feedback_));
    EXPECT_EQ(store_.text("Callsign"), "NOCALL");
    EXPECT_EQ(feedback_.lines().back(), "Eeprom read error. Please reload configuration.");
    ASSERT_EQ(feedback_.boxes().size(), 1u);
    EXPECT_TRUE(feedback_.boxes()[0].starts_with("info: Uncompatible configuration version:\nDevice: v1.12"));
}

TEST_F(DeviceFlows, WriteTouchesTheDeviceOnlyWhenEverythingIsRight) {
    make_device({});
    store_.set_text("Txdelay", "199");
    EXPECT_FALSE(write_config(*port_, registry_, store_, image_, feedback_));
    EXPECT_EQ(feedback_.events, std::vector<std::string>{"info: TX delay - range error (200 - 1000)."});
    EXPECT_TRUE(device_->requests().empty());

    store_.set_text("Txdelay", "300");
    SimOptions old;
    old.firmware_version = 112;
    make_device(old);
    feedback_.events.clear();
    EXPECT_FALSE(write_config(*port_, registry_, store_, image_, feedback_));
    EXPECT_EQ(requests_of(Command::WritePage), 0u);
    EXPECT_EQ(feedback_.boxes().back(),
              "info: Uncompatible firmware version:\nDevice: 1.12\nConfigurator: 1.13\n\n"
              "You need to upload new firmware using \"Upload firmware\" button.");

    SimOptions mute;
    mute.faults.push_back(*parse_sim_fault("fwversion=no-reply", nullptr));
    make_device(mute);
    feedback_.events.clear();
    EXPECT_FALSE(write_config(*port_, registry_, store_, image_, feedback_));
    EXPECT_EQ(requests_of(Command::WritePage), 0u);
    EXPECT_TRUE(feedback_.boxes().back().starts_with("info: Uncompatible firmware version:\nDevice: unknown\n"));

    make_device({});
    feedback_.events.clear();
    EXPECT_TRUE(write_config(*port_, registry_, store_, image_, feedback_));
    EXPECT_EQ(device_->eeprom(), image_);
    EXPECT_EQ(feedback_.lines().back(), "Eeprom write success");
}

TEST_F(DeviceFlows, UploadDisablesTheButtonsWhateverTheOutcome) {
    make_device({});
    std::vector<bool> states;
    const auto buttons = [&](bool enabled) { states.push_back(enabled); };
    EXPECT_FALSE(upload_firmware_flow(*port_, FirmwareStore::embedded(), feedback_, buttons));
    EXPECT_EQ(states, (std::vector<bool>{false, true}));
    EXPECT_EQ(feedback_.boxes().back(), "info: Firmware resource not found (FindResource).");

    SimOptions absent;
    absent.not_found = true;
    make_device(absent);
    states.clear();
    EXPECT_FALSE(upload_firmware_flow(*port_, FirmwareStore::embedded(), feedback_, buttons));
    EXPECT_TRUE(states.empty());  // no device: nothing was disabled
}

}  // namespace
}  // namespace zyvora
