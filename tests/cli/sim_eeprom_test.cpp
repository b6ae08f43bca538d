// zyvora-cli on a simulated device whose EEPROM is kept in a file: the file takes each page as
// the device acknowledges it, and a page the file cannot take fails the write.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "../support/cli_runner.h"
#include "../support/default_image.h"
#include "image.h"
#include "report.h"

namespace zyvora {
namespace {

namespace fs = std::filesystem;
using test::Outcome;

const std::string kFound = "Zyvora Plus 2.0 found, vid: Vid_0483, pid: A124\n";

std::string pages_written(int count) {
    std::string lines;
    for (int p = 1; p <= count; ++p) lines += "Page written: " + std::to_string(p) + "/512\n";
    return lines;
}

// Equal but for the nonce, checksum and clock, or where the first byte differs: 16 KB printed
// whole help nobody.
::testing::AssertionResult same_bytes(const std::string& got_salted, const std::string& expected_salted) {
    const std::string got = test::without_salt(got_salted), expected = test::without_salt(expected_salted);
    if (got == expected) return ::testing::AssertionSuccess();
    const auto diff = std::mismatch(got.begin(), got.end(), expected.begin(), expected.end());
    return ::testing::AssertionFailure() << got.size() << " bytes, " << expected.size()
                                         << " expected; first difference at offset " << (diff.first - got.begin());
}

class SimEeprom : public test::CliTest {
protected:
    // The start-up settings and the image a write of them puts on the device.
    SimEeprom() {
        write("start.cfg", defaults_with("Uploadpctime=1", "Uploadpctime=0"));
        EXPECT_EQ(run({"encode", "start.cfg", "start.bin"}).status, 0);
        image_ = contents("start.bin");
        EXPECT_EQ(image_.size(), kImageSize);
    }
    // What the EEPROM held before: every byte differs from the image's.
    std::string old_eeprom() const {
        std::string old = image_;
        for (char& c : old) c = static_cast<char>(~c);
        return old;
    }

    std::string image_;
};

const std::string kIncomplete =
    "Write config failed: the device holds an incomplete configuration. Write the settings to it again before it "
    "is used.\n";
// The closing line of a write that failed at `page` (from 1).
std::string failed_at(int page) {
    const std::string n = std::to_string(page);
    return "zyvora-cli: write config failed at page " + n + " of 512: Page write error: " + n + "/512\n";
}

TEST_F(SimEeprom, OnlyAWriteMakesTheFileAndItIsTheOwnersAlone) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"info"}, {"read", "out.cfg"}}) {
        std::vector<std::string> full = {"--device", "sim:dev.img"};
        full.insert(full.end(), args.begin(), args.end());
        const Outcome r = run(full);
        EXPECT_EQ(r.status, 0) << args[0] << ": " << r.err;
        EXPECT_FALSE(fs::exists(path("dev.img"))) << args[0];
    }

    // The backup and the read-back are other tests' business: here only the pages written count.
    const Outcome r = run({"--device", "sim:dev.img", "write", "--no-backup", "--no-verify", "start.cfg"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kFound + pages_written(512) + "Eeprom write success\n");
    EXPECT_TRUE(same_bytes(contents("dev.img"), image_));
    EXPECT_EQ(run({"--device", "sim:dev.img", "read", "back.cfg"}).status, 0) << "its checksum holds";
    struct stat st {};
    ASSERT_EQ(::stat(path("dev.img").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
}

// Under a file size limit the file stops taking pages: the write fails at the first page it
// refuses and the file holds what a device would, no half-made file and no old page lost.
TEST_F(SimEeprom, APageTheFileCannotTakeIsNotAcknowledged) {
    const struct {
        std::string name;
        bool file_exists;
        rlim_t limit;
        int pages_kept;
    } cases[] = {
        {"a new file larger than the limit", false, 8192, 0},
        {"an old file, limit on a page boundary", true, 4096, 128},
        {"an old file, limit inside a page", true, 4096 + 10, 128},
    };
    for (const auto& c : cases) {
        fs::remove(path("dev.img"));
        if (c.file_exists) write("dev.img", old_eeprom());

        test::RunOptions limited;
        limited.file_size_limit = c.limit;
        const Outcome r = run({"--device", "sim:dev.img", "write", "--no-backup", "start.cfg"}, limited);
        EXPECT_EQ(r.status, 1) << c.name;
        EXPECT_EQ(r.out, kFound + pages_written(c.pages_kept) +
                             "Simulated device: EEPROM not saved to dev.img: File too large\n"
                             "Page write error: " + std::to_string(c.pages_kept + 1) + "/512\n")
            << c.name;
        EXPECT_EQ(r.err, kIncomplete + failed_at(c.pages_kept + 1)) << c.name;
        if (c.file_exists) {
            const std::size_t kept = static_cast<std::size_t>(c.pages_kept) * kPageSize;
            EXPECT_TRUE(same_bytes(contents("dev.img"), image_.substr(0, kept) + old_eeprom().substr(kept))) << c.name;
        } else {
            EXPECT_FALSE(fs::exists(path("dev.img"))) << c.name;
        }
    }
}

TEST_F(SimEeprom, AnInterruptedWriteLeavesThePagesTheDeviceTook) {
    write("dev.img", old_eeprom());
    const Outcome r =
        run({"--device", "sim:dev.img", "--sim-fault", "write@100=gone", "write", "--no-backup", "start.cfg"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, kFound + pages_written(100) + "Page write error: 101/512\n");
    EXPECT_EQ(r.err, kIncomplete + failed_at(101));
    EXPECT_TRUE(same_bytes(contents("dev.img"), image_.substr(0, 100 * kPageSize) + old_eeprom().substr(100 * kPageSize)));
}

}  // namespace
}  // namespace zyvora
