// zyvora-cli and the devices attached: `list`, the `--device` forms, and a simulated device that
// another program has open.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../support/cli_runner.h"
#include "../support/file_lock.h"
#include "image.h"

namespace zyvora {
namespace {

namespace fs = std::filesystem;
using test::Outcome;

const std::string kFound = "Zyvora Plus 2.0 found, vid: Vid_0483, pid: A124\n";
const std::string kInUse = "The device is in use by another program.\n";

using Devices = test::CliTest;

TEST_F(Devices, ListShowsTheSimulatedDeviceWithWhatItAnswers) {
    const struct {
        std::vector<std::string> args;
        std::string out, err;
    } cases[] = {
        {{"--device", "sim", "list"}, "sim\tSIM\tfirmware 1.13, hardware Zyvora Plus 2.0 simulated hardware\n", ""},
        {{"list", "--device", "sim:dev.img", "--sim-firmware-version", "112"},
         "sim:dev.img\tSIM-DEV\tfirmware 1.12, hardware Zyvora Plus 2.0 simulated hardware\n", ""},
        // A device's text cannot add a column or drive the terminal.
        {{"--device", "sim", "--sim-hardware", "rev\tB\x1B[2J", "list"},
         "sim\tSIM\tfirmware 1.13, hardware rev\\tB\\x1B[2J\n", ""},
        {{"--device", "sim", "--sim-fault", "fwversion=no-reply", "list"}, "sim\tSIM\tdoes not answer\n", ""},
        {{"--device", "sim", "--sim-fault", "hwversion=gone", "list"}, "sim\tSIM\tdoes not answer\n", ""},
        {{"--device", "sim", "--sim-absent", "list"}, "", "No Zyvora Plus 2.0 attached.\n"},
    };
    for (const auto& c : cases) {
        const Outcome r = run(c.args);
        EXPECT_EQ(r.status, 0) << c.args.back() << ": " << r.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
    }
    EXPECT_FALSE(fs::exists(path("dev.img"))) << "listing writes nothing";
}

TEST_F(Devices, ASecondProgramOnOneSimulatedDeviceIsToldItIsInUseAndSendsNothing) {
    write("start.cfg", defaults_with("Uploadpctime=1", "Uploadpctime=0"));
    ASSERT_EQ(run({"encode", "start.cfg", "dev.img"}).status, 0);
    const std::string eeprom = contents("dev.img");
    ASSERT_EQ(eeprom.size(), kImageSize);
    write("fw.bin", std::string(100, '\x5A'));
    fs::create_symlink("dev.img", path("link.img"));

    {
        const test::HeldByOthers other(path("dev.img"));  // as another program's open device holds it
        for (const std::string device : {"sim:dev.img", "sim:link.img"}) {
            const std::vector<std::vector<std::string>> verbs = {
                {"info"}, {"read", "out.cfg"}, {"write", "start.cfg"}, {"--firmware", "fw.bin", "upload-firmware"}};
            for (const auto& verb : verbs) {
                std::vector<std::string> args = {"--device", device};
                args.insert(args.end(), verb.begin(), verb.end());
                const Outcome r = run(args);
                EXPECT_EQ(r.status, 1) << device << ' ' << verb.back();
                EXPECT_EQ(r.out, kFound + kInUse) << device << ' ' << verb.back();
                const std::string operation = verb[0] == "read"    ? "read config"
                                              : verb[0] == "write" ? "write config"
                                              : verb[0] == "info"  ? "info"
                                                                   : "upload firmware";
                EXPECT_EQ(r.err, "zyvora-cli: " + operation + " failed: " + kInUse) << device << ' ' << verb.back();
            }
            const Outcome r = run({"--device", device, "list"});
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.out, device + (device == "sim:dev.img" ? "\tSIM-DEV" : "\tSIM-LINK") + "\tin use by another program\n");
            EXPECT_EQ(r.err, "");
        }
        EXPECT_EQ(contents("dev.img"), eeprom);
        EXPECT_FALSE(fs::exists(path("out.cfg")));
    }

    // Let go: the device is this program's again.
    const Outcome r = run({"--device", "sim:dev.img", "info"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kFound + "Firmware version: 1.13\nHardware version: Zyvora Plus 2.0 simulated hardware\n"
                              "Serial number: SIM-DEV\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(Devices, ADeviceThatIsNoneOfTheFormsIsAUsageError) {
    for (const std::string device : {"hid:", "usb", "HID", "sim2", "hid\x1B"}) {
        const Outcome r = run({"--device", device, "info"});
        EXPECT_EQ(r.status, 2) << device;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "zyvora-cli: --device: expected hid, hid:PATH, hid:SERIAL, sim or sim:FILE, not " + printable(device) + "\n");
    }
}

}  // namespace
}  // namespace zyvora
