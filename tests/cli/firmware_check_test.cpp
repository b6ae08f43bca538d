// zyvora-cli given a firmware file: what is plainly something else (a settings file, a settings
// image, a remote update file, text, a file cut part way through a page) is refused before the
// device gets a page, by `upload-firmware` and `ruf` alike; an image is sent as it is, its size
// told first.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../support/cli_runner.h"
#include "../support/stand_in_firmware.h"

namespace zyvora {
namespace {

using test::Outcome;

using test::stand_in_firmware;

class FirmwareCheck : public test::CliTest {
protected:
    FirmwareCheck() {
        write("station.cfg", std::string(test::kDefaultsFile));
        EXPECT_EQ(run({"encode", "station.cfg", "station.bin"}).status, 0);
        write("fw.bin", stand_in_firmware(1024));
        EXPECT_EQ(run({"--firmware", "fw.bin", "ruf", "station.cfg", "station.ruf"}).status, 0);
    }
};

TEST_F(FirmwareCheck, WhatIsNoFirmwareImageIsRefusedBeforeAnyPage) {
    const std::string text89 =
        "Zyvora Plus 2.0 firmware 1.13\nUnpack fw.bin.gz with gunzip, upload fw.bin to the device.\n";
    ASSERT_EQ(text89.size(), 89u);
    const std::string cut = stand_in_firmware(29978);  // what a broken pipe let through
    std::string damaged = contents("station.bin");  // a settings image whose checksum no longer holds
    damaged[100] = static_cast<char>(damaged[100] ^ 0x01);
    const struct {
        std::string name;  // the file given to --firmware, or "-" for `input`
        std::string bytes;
        std::string message;
    } cases[] = {
        {"station.cfg", "", "station.cfg is not a firmware image: it is a settings file"},
        {"station.bin", "", "station.bin is not a firmware image: it is a settings image"},
        {"damaged.bin", damaged, "damaged.bin is not a firmware image: it is a settings image"},
        {"bom.cfg", "\xEF\xBB\xBF\r\n[!warning]\r\n" + stand_in_firmware(61), "bom.cfg is not a firmware image: it is a settings file"},
        {"erased.bin", std::string(2048, '\xFF'), "erased.bin is not a firmware image: every byte is 0xFF"},
        {"zeros.bin", std::string(32, '\0'), "zeros.bin is not a firmware image: every byte is 0x00"},
        {"station.ruf", "", "station.ruf is not a firmware image: it is a remote update file"},
        {"notes.txt", text89, "notes.txt is not a firmware image: it is text"},
        {"page.txt", std::string(64, '!'), "page.txt is not a firmware image: it is text"},
        {"utf8.txt", "Zażółć gęślą jaźń, 73 de SP5XYZ\r\n\tłódź\n" + std::string(14, ' '),
         "utf8.txt is not a firmware image: it is text"},
        {"random.bin", stand_in_firmware(1000),
         "random.bin is not a firmware image: its 1000 bytes are not a whole number of 32-byte pages; it may be "
         "cut short"},
        {"-", cut,
         "standard input is not a firmware image: its 29978 bytes are not a whole number of 32-byte pages; it may "
         "be cut short"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(path("new.ruf"));
        if (!c.bytes.empty() && c.name != "-") write(c.name, c.bytes);
        const test::RunOptions input = c.name == "-" ? test::with_input(c.bytes) : test::RunOptions{};
        Outcome r = run({"--device", "sim", "upload-firmware", "--firmware", c.name}, input);
        EXPECT_EQ(r.status, 1) << c.name;
        EXPECT_EQ(r.out, test::kFoundLine) << c.name;  // opened, and not one page sent
        EXPECT_EQ(r.err, c.message + "\n") << c.name;

        r = run({"ruf", "station.cfg", "new.ruf", "--firmware", c.name}, input);
        EXPECT_EQ(r.status, 1) << c.name;
        EXPECT_EQ(r.out, "") << c.name;
        EXPECT_EQ(r.err, c.message + "\n") << c.name;
        EXPECT_FALSE(std::filesystem::exists(path("new.ruf"))) << c.name;
    }
}

TEST_F(FirmwareCheck, AnImageIsSentAsItIsAfterItsSizeIsTold) {
    // A real image may carry readable strings among its bytes; half text is no text file.
    const std::string with_strings = stand_in_firmware(32) + "Copyright notice, version 1.13\r\n";
    const struct {
        std::string name;
        std::string bytes;
        std::string told;
    } cases[] = {
        {"fw.bin", stand_in_firmware(1024), "Firmware from fw.bin: 1024 bytes in 32 pages\n"},
        {"-", stand_in_firmware(64), "Firmware from standard input: 64 bytes in 2 pages\n"},
        {"strings.bin", with_strings, "Firmware from strings.bin: 64 bytes in 2 pages\n"},
        {"one.bin", stand_in_firmware(32), "Firmware from one.bin: 32 bytes in 1 page\n"},
    };
    for (const auto& c : cases) {
        if (c.name != "-") write(c.name, c.bytes);
        const test::RunOptions input = c.name == "-" ? test::with_input(c.bytes) : test::RunOptions{};
        const Outcome r = run({"--device", "sim", "upload-firmware", "--firmware", c.name}, input);
        EXPECT_EQ(r.status, 0) << c.name << ": " << r.err;
        const std::size_t pages = c.bytes.size() / 32;
        std::string written;
        for (std::size_t p = 1; p <= pages; ++p) {
            written += "Page written: " + std::to_string(p) + "/" + std::to_string(pages) + "\n";
        }
        EXPECT_EQ(r.out, test::kFoundLine + c.told + read_and_filed("SIM") + written + "Firmware upgrade success\n" + proved())
            << c.name;
        EXPECT_EQ(r.err, "") << c.name;
    }
}

}  // namespace
}  // namespace zyvora
