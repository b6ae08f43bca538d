// zyvora-cli write as the owner of a remote station needs it: a backup before, a read-back
// after, and no half-written device because of the terminal.
#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../support/cli_runner.h"
#include "../support/default_image.h"
#include "image.h"

namespace zyvora {
namespace {

namespace fs = std::filesystem;
using test::Outcome;

class SafeWriteCli : public test::CliTest {
protected:
    static test::RunOptions signalled(std::vector<std::pair<std::string, int>> after) {
        test::RunOptions options;
        options.signals_after = std::move(after);
        return options;
    }

    SafeWriteCli() {
        write("a.cfg", defaults_with({{"Callsign=NOCALL", "Callsign=SP5AAA"}, {"Uploadpctime=1", "Uploadpctime=0"}}));
        write("b.cfg", defaults_with({{"Callsign=NOCALL", "Callsign=SP5BBB"}, {"Uploadpctime=1", "Uploadpctime=0"}}));
    }

    std::vector<std::string> backups(const std::string& extension) const {
        std::vector<std::string> found;
        const std::string folder = data_ + "/zyvora-configurator/backups";
        if (!fs::exists(folder)) return found;
        for (const auto& e : fs::directory_iterator(folder)) {
            if (e.path().extension() == extension) found.push_back(e.path().string());
        }
        std::sort(found.begin(), found.end());
        return found;
    }

    // Whether the simulated EEPROM holds `cfg` as encode makes it (nonce, checksum and clock aside).
    bool eeprom_holds(const std::string& cfg) {
        EXPECT_EQ(run({"encode", cfg, "expected.bin"}).status, 0);
        const std::string expected = contents("expected.bin"), eeprom = contents("dev.img");
        return eeprom.size() == kImageSize && test::without_salt(eeprom) == test::without_salt(expected);
    }
};

TEST_F(SafeWriteCli, TheSecondWriteKeepsWhatTheFirstWrote) {
    ASSERT_EQ(run({"--device", "sim:dev.img", "write", "a.cfg"}).status, 0);
    const Outcome r = run({"--device", "sim:dev.img", "write", "b.cfg"});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto cfgs = backups(".cfg");
    ASSERT_EQ(cfgs.size(), 2u);  // the factory settings, then a.cfg's
    EXPECT_NE(r.out.find("\nBackup of the device's settings: " + cfgs[1] + "\n"), std::string::npos);
    EXPECT_NE(contents(fs::relative(cfgs[1], dir_).string()).find("\nCallsign=SP5AAA\n"), std::string::npos);
    EXPECT_EQ(backups(".bin").size(), 2u);
    EXPECT_TRUE(eeprom_holds("b.cfg"));

    // Restoring is writing the backup as any other settings file.
    EXPECT_EQ(run({"--device", "sim:dev.img", "write", "--no-backup", cfgs[1]}).status, 0);
    EXPECT_EQ(backups(".cfg").size(), 2u);
    EXPECT_TRUE(eeprom_holds("a.cfg"));
}

TEST_F(SafeWriteCli, AReadBackThatDiffersFailsNamingThePage) {
    ASSERT_EQ(run({"--device", "sim:dev.img", "write", "a.cfg"}).status, 0);
    const Outcome r = run({"--device", "sim:dev.img", "--sim-fault", "write@100=corrupt", "write", "b.cfg"});
    EXPECT_EQ(r.status, 1);
    const auto cfgs = backups(".cfg");
    ASSERT_EQ(cfgs.size(), 2u);
    EXPECT_EQ(r.err, "Verify failed: page 100 (bytes 3200 to 3231) of the device does not hold what was written.\n"
                     "The device's previous settings are saved in " + cfgs[1] + "; write that file to restore them.\n");
    EXPECT_NE(contents(fs::relative(cfgs[1], dir_).string()).find("\nCallsign=SP5AAA\n"), std::string::npos);

    const Outcome unchecked =
        run({"--device", "sim:dev.img", "--sim-fault", "write@100=corrupt", "write", "--no-verify", "--no-backup", "b.cfg"});
    EXPECT_EQ(unchecked.status, 0);
    EXPECT_EQ(unchecked.out.find("Page read"), std::string::npos);
}

// Ctrl+C, a closed terminal or a pipe into `head` never leave the device half-written unless the
// user insists.
TEST_F(SafeWriteCli, InterruptsAndAClosedOutput) {
    const std::vector<std::string> slow_write = {"--device", "sim:dev.img", "--sim-latency-us", "2000", "write", "b.cfg"};

    Outcome r = run(slow_write, signalled({{"Page read: 20/512\n", SIGINT}}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\nInterrupted: the device is being written; stopping now would leave it with an incomplete "
                         "configuration. This takes about "),
              std::string::npos);
    EXPECT_TRUE(r.out.ends_with("\nVerify success: the device holds every byte that was written.\n"));
    EXPECT_TRUE(eeprom_holds("b.cfg"));

    // The second interrupt stops at the next page, wherever it comes.
    for (const auto& [first, second] : {std::pair{"Page read: 20/512\n", "Page read: 30/512\n"},
                                        {"Page written: 100/512\n", "Page written: 110/512\n"}}) {
        r = run(slow_write, signalled({{first, SIGINT}, {second, SIGTERM}}));
        EXPECT_EQ(r.status, 1);
        if (std::string(first).starts_with("Page read")) {
            EXPECT_EQ(r.err, "Write config stopped by an interrupt; nothing was written to the device.\n");
            EXPECT_EQ(r.out.find("Page written"), std::string::npos);
        } else {
            EXPECT_EQ(r.err.find("Write config stopped after page 11"), 0u) << r.err;
            EXPECT_NE(r.err.find("/512: the device holds an incomplete configuration. Write the settings to it "
                                 "again before it is used.\nThe device's previous settings are saved in "),
                      std::string::npos)
                << r.err;
        }
    }

    test::RunOptions closed;
    closed.output_closed = true;
    r = run({"--device", "sim:dev.img", "write", "a.cfg"}, closed);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(eeprom_holds("a.cfg"));

    // A read that is interrupted writes no file.
    r = run({"--device", "sim:dev.img", "--sim-latency-us", "2000", "read", "out.cfg", "--image", "out.bin"},
            signalled({{"Page read: 20/512\n", SIGINT}}));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.ends_with("\nRead config stopped by an interrupt.\n")) << r.out;
    EXPECT_FALSE(fs::exists(path("out.cfg")));
    EXPECT_FALSE(fs::exists(path("out.bin")));
}

}  // namespace
}  // namespace zyvora
