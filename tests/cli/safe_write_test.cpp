// zyvora-cli write as the owner of a remote station needs it: a backup before, a read-back
// after, and no half-written device because of the terminal.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

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
    EXPECT_EQ(r.err, "Verify failed: page 101 (bytes 3200 to 3231) of the device does not hold what was written.\n"
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

// A save that fails part-way, wherever the file is written, leaves the file as it was and says so.
TEST_F(SafeWriteCli, ASaveThatFailsLeavesTheFileAsItWas) {
    const std::string old = contents("a.cfg");
    // Past the file size limit, after the first 4 KiB of the new contents went in.
    test::RunOptions limited;
    limited.file_size_limit = 4096;
    test::RunOptions limited_other = limited;
    if (::geteuid() == 0) limited_other.uid = test::kOtherUser;

    // Files that must stay the same inode are written in place: a hard link, and a file in a
    // folder that takes no new files.
    fs::create_hard_link(path("a.cfg"), path("linked.cfg"));
    fs::create_directory(path("locked"));
    write("locked/a.cfg", old);
    ASSERT_EQ(::chown(path("locked/a.cfg").c_str(), test::kOtherUser, test::kOtherUser), 0);
    fs::permissions(path("locked"), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                        fs::perms::others_read | fs::perms::others_exec);
    for (const auto& [args, options, file] :
         {std::tuple{std::vector<std::string>{"defaults", "a.cfg"}, limited, "a.cfg"},
          {{"set", "a.cfg", "Callsign=SP5CCC"}, limited, "a.cfg"},
          {{"defaults", "locked/a.cfg"}, limited_other, "locked/a.cfg"}}) {
        SCOPED_TRACE(args[0] + " " + file);
        const Outcome r = run(args, options);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "Unable to write to " + std::string(file) + "\n");
        EXPECT_EQ(contents(file), old);
    }
    EXPECT_TRUE(fs::equivalent(path("a.cfg"), path("linked.cfg")));
}

// Two programs that set one key each in one file at the same moment: both changes are kept.
TEST_F(SafeWriteCli, ParallelSetsOnOneFileKeepEveryChange) {
    const auto spawn = [&](const std::string& assignment) {
        std::vector<std::string> owned = {ZYVORA_CLI, "set", path("c.cfg"), assignment};
        std::vector<char*> argv;
        for (auto& a : owned) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        pid_t pid = -1;
        EXPECT_EQ(::posix_spawn(&pid, ZYVORA_CLI, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    };
    const std::string expected = defaults_with({{"Beacon2_msg=", "Beacon2_msg=ONE"}, {"Beacon3_msg=", "Beacon3_msg=TWO"}});
    int kept = 0;
    for (int pair = 0; pair < 30; ++pair) {
        write("c.cfg", std::string(test::kDefaultsFile));
        const pid_t one = spawn("Beacon2_msg=ONE"), two = spawn("Beacon3_msg=TWO");
        for (const pid_t pid : {one, two}) {
            int status = -1;
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        }
        kept += contents("c.cfg") == expected;
    }
    EXPECT_EQ(kept, 30);
}

// A backup is both of its files or neither.
TEST_F(SafeWriteCli, ABackupThatCannotBeSavedWholeLeavesNoHalf) {
    ASSERT_EQ(run({"--device", "sim:dev.img", "write", "--no-backup", "a.cfg"}).status, 0);
    const std::string eeprom = contents("dev.img");
    // Room for the settings file of the backup (about 11 KB), not for its 16 KiB image.
    test::RunOptions limited;
    limited.file_size_limit = 12288;
    const Outcome r = run({"--device", "sim:dev.img", "write", "b.cfg"}, limited);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("The backup of the device's settings could not be saved, so nothing was written to the device.\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(backups(".cfg"), std::vector<std::string>{});
    EXPECT_EQ(backups(".bin"), std::vector<std::string>{});
    EXPECT_EQ(contents("dev.img"), eeprom);
}

// `read` with two outputs replaces both or neither; an output written straight through, which
// nothing can undo, goes first.
TEST_F(SafeWriteCli, ReadReplacesBothOutputsOrNeither) {
    const std::string old_settings = "[!WARNING]\nold=settings\n";
    write("x.cfg", old_settings);
    write("x.bin", "old image\n");
    for (const auto& [cfg, image, failed] : {std::tuple{"x.cfg", "/dev/full", "/dev/full"},
                                            {"/dev/full", "x.bin", "/dev/full"},
                                            {"x.cfg", "no-folder/x.bin", "no-folder/x.bin"}}) {
        SCOPED_TRACE(std::string(cfg) + " " + image);
        const Outcome r = run({"--device", "sim:dev.img", "read", cfg, "--image", image});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, test::kSimVersions + "Unable to write to " + failed + "\n");
        EXPECT_EQ(contents("x.cfg"), old_settings);
        EXPECT_EQ(contents("x.bin"), "old image\n");
    }
}

}  // namespace
}  // namespace zyvora
