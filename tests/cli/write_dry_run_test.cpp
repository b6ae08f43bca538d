// zyvora-cli write --dry-run: the settings a write would change, as diff prints them, with the
// device read and nothing written: no page, no backup.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../support/cli_runner.h"

namespace zyvora {
namespace {

using test::Outcome;

// a.cfg to b.cfg, as diff prints them.
const std::string kChanges =
    "[Radio] Callsign (Callsign): SP5AAA -> SP5BBB\n"
    "[Radio] TXdelay (TX delay [ms]): 300 -> 400\n";

class WriteDryRun : public test::CliTest {
protected:
    WriteDryRun() {
        write("a.cfg", defaults_with({{"TXdelay=250", "TXdelay=300"}, {"Callsign=NOCALL", "Callsign=SP5AAA"}}));
        write("b.cfg", defaults_with({{"TXdelay=250", "TXdelay=400"}, {"Callsign=NOCALL", "Callsign=SP5BBB"}}));
        write("bad.cfg", defaults_with("TXdelay=250", "TXdelay=199"));
        // A's settings with a choice and a check box changed.
        std::string choices = contents("a.cfg");
        for (const auto& [from, to] : {std::pair{"\nSquelch=0\n", "\nSquelch=9\n"},
                                       std::pair{"\nPathn1_areaall=1\n", "\nPathn1_areaall=0\n"}}) {
            choices.replace(choices.find(from), std::string(from).size(), to);
        }
        write("choices.cfg", choices);
    }

    bool backups_made() const { return std::filesystem::exists(data_ + "/zyvora-configurator/backups"); }
};

// The device holds a.cfg, or is erased: the dry run prints what writing the file would change
// and leaves the device's EEPROM file and the backups as they were, whatever it prints.
TEST_F(WriteDryRun, PrintsWhatAWriteWouldChangeAndTouchesNothing) {
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out, err;
    } cases[] = {
        {{"-q", "--device", "sim:dev.img", "write", "--dry-run", "b.cfg"}, 0, kChanges, ""},
        {{"-q", "write", "--dry-run", "--no-backup", "--device", "sim:dev.img", "b.cfg"}, 0, kChanges, ""},
        {{"-q", "--device", "sim:dev.img", "write", "--dry-run", "a.cfg"}, 0, "", ""},
        {{"-q", "--device", "sim:dev.img", "write", "--dry-run", "choices.cfg"}, 0,
         "[Radio] Squelch (Squelch level): 0 (\"1 (lowest)\") -> 9 (\"10 (highest)\")\n"
         "[Digipeater] Pathn1_areaall (Path rule 1, Area ALL): 1 (ticked) -> 0 (not ticked)\n",
         ""},
        {{"-q", "--device", "sim:erased.img", "--sim-erased", "write", "--dry-run", "b.cfg"}, 0, "",
         "zyvora-cli: warning: The device holds no valid configuration: a write replaces all of it.\n"},
        {{"-q", "--device", "sim:dev.img", "write", "--dry-run", "bad.cfg"}, 1, "",
         "TX delay - range error (200 - 1000).\n"},
        {{"-q", "--device", "sim:dev.img", "--sim-firmware-version", "112", "write", "--dry-run", "b.cfg"}, 1, "",
         "Uncompatible firmware version:\nDevice: 1.12\nConfigurator: 1.13\n\nYou need to upload new firmware "
         "using \"Upload firmware\" button.\n"},
        {{"-q", "--device", "sim:dev.img", "--sim-fault", "read@7=no-reply", "write", "--dry-run", "b.cfg"}, 1, "",
         "The device's settings could not be read to show what would change; nothing was written to the device.\n"
         "zyvora-cli: write config failed at page 8 of 512: Page read error: 8/512\n"},
    };
    ASSERT_EQ(run({"-q", "--device", "sim:dev.img", "write", "--no-backup", "a.cfg"}).status, 0);
    const std::string device = contents("dev.img");
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        expect_run(c.args, c.status, c.out, c.err);
        EXPECT_EQ(contents("dev.img"), device);
        EXPECT_FALSE(std::filesystem::exists(dir_ + "/erased.img"));
        EXPECT_FALSE(backups_made());
    }
}

// What the dry run lists is what diff tells between the file the device holds and the one given;
// the status log, on standard error, ends saying when nothing would change.
TEST_F(WriteDryRun, ListsWhatDiffTells) {
    ASSERT_EQ(run({"-q", "--device", "sim:dev.img", "write", "--no-backup", "a.cfg"}).status, 0);
    EXPECT_EQ(run({"diff", "a.cfg", "b.cfg"}).out, kChanges);
    const Outcome same = run({"--device", "sim:dev.img", "write", "--dry-run", "a.cfg"});
    EXPECT_EQ(same.status, 0);
    EXPECT_EQ(same.out, "");
    EXPECT_TRUE(same.err.ends_with("Page read: 512/512\nNo setting will change.\n")) << same.err;

    // How far the station would move ends the log, as diff says it.
    write("north.cfg", contents("a.cfg").replace(contents("a.cfg").find("Latitude=5223.08N"), 17, "Latitude=5229.08N"));
    const Outcome moved = run({"--device", "sim:dev.img", "write", "--dry-run", "north.cfg"});
    EXPECT_EQ(moved.status, 0);
    EXPECT_EQ(moved.out, "[Radio] Latitude (Latitude): 5223.08N -> 5229.08N\n");
    EXPECT_TRUE(moved.err.ends_with("Page read: 512/512\nThe station position moves 11.1 km (bearing 0\u00b0).\n"))
        << moved.err;
}

}  // namespace
}  // namespace zyvora
