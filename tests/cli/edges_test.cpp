// zyvora-cli tried as a hostile or clumsy user would: failed operations, inputs that are not
// what they claim, outputs that are inputs, files the user may not write, and signals.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "../support/cli_runner.h"
#include "image.h"

namespace zyvora {
namespace {

namespace fs = std::filesystem;
using test::Outcome;
using test::RunOptions;

const std::string kFound = "Zyvora Plus 2.0 found, vid: Vid_0483, pid: A124\n";
const std::string kVersions = "Firmware version: 1.13\nHardware version: Zyvora Plus 2.0 simulated hardware\n";

// The "!WARNING" section alone: a settings file that every save merges into.
std::string header_only() {
    const std::string defaults(test::kDefaultsFile);
    return defaults.substr(0, defaults.find("\n\n") + 1);
}

struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
};

class CliEdges : public test::CliTest {
protected:
    // Every regular file of the folder with its bytes, and the symbolic links with their targets.
    std::map<std::string, std::string> snapshot() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(dir_)) {
            const std::string name = fs::relative(entry.path(), dir_).string();
            if (entry.is_symlink()) files[name] = "-> " + fs::read_symlink(entry.path()).string();
            else if (entry.is_regular_file()) files[name] = contents(name);
        }
        return files;
    }

    // Runs each case and checks that it left every file of the folder as it was.
    void run_unchanged(const std::vector<Case>& cases, const RunOptions& options = {}) {
        for (const Case& c : cases) {
            std::string line;
            for (const auto& a : c.args) line += a + ' ';
            SCOPED_TRACE(line);
            const auto before = snapshot();
            const Outcome r = run(c.args, options);
            EXPECT_EQ(r.status, c.status);
            EXPECT_EQ(r.out, c.out);
            EXPECT_EQ(r.err, c.err);
            EXPECT_EQ(snapshot(), before);
        }
    }

    // A run as a user who is not root, and who owns `owned`: root may write any file, so the
    // cases about permissions need somebody else.
    RunOptions plain_user(const std::vector<std::string>& owned = {}) const {
        RunOptions options;
        if (::geteuid() == 0) {
            options.uid = test::kOtherUser;
            for (const auto& name : owned) {
                EXPECT_EQ(::lchown(path(name).c_str(), test::kOtherUser, test::kOtherUser), 0) << name;
            }
        }
        return options;
    }
};

TEST_F(CliEdges, AFailedOperationWritesNoOutputAndAnOutputIsNeverAnInput) {
    write("keep.cfg", "keep\n");
    write("keep.bin", "keep\n");
    write("keep.ruf", "keep\n");
    write("good.cfg", std::string(test::kDefaultsFile));
    write("bad.cfg", defaults_with("TXdelay=250", "TXdelay=1001"));
    write("zero.bin", std::string(kImageSize, '\0'));
    write("fw.bin", std::string(33, '\x5A'));
    write("empty.bin", "");
    fs::create_symlink("keep.bin", path("link.cfg"));

    std::string all_read;
    for (int p = 1; p <= 512; ++p) all_read += "Page read: " + std::to_string(p) + "/512\n";
    const std::string checksum = "Eeprom checksum error. Please reload configuration.\n";
    const std::string not_an_image =
        "/dev/zero is not a settings image: it holds more than 16384 bytes, an image holds 16384.\n";
    const std::string too_large =
        "/dev/zero is not a settings file: it holds more than 1048576 bytes (1 MiB), the most a settings file holds.\n";
    const std::string tx_delay = "TX delay - range error (200 - 1000).\n";
    run_unchanged({
        {{"--device", "sim", "--sim-absent", "read", "keep.cfg", "--image", "keep.bin"}, 1,
         "Zyvora Plus 2.0 not found.\n", "zyvora-cli: read config failed: Zyvora Plus 2.0 not found.\n"},
        {{"--device", "sim", "--sim-fault", "read@0=no-reply", "read", "keep.cfg", "--image", "keep.bin"}, 1,
         kFound + "Page read error: 1/512\n" + checksum, "zyvora-cli: read config failed at page 1 of 512: " + checksum},
        {{"--device", "sim", "--sim-erased", "read", "keep.cfg", "--image", "keep.bin"}, 1, kFound + all_read + checksum,
         "zyvora-cli: read config failed: " + checksum},
        {{"decode", "zero.bin", "keep.cfg"}, 1, checksum, "zyvora-cli: decode failed: " + checksum},
        {{"decode", "/dev/zero", "keep.cfg"}, 1, "", not_an_image},
        {{"encode", "bad.cfg", "keep.bin"}, 1, "", tx_delay},
        {{"encode", "/dev/zero", "keep.bin"}, 1, "", too_large},
        {{"--firmware", "fw.bin", "ruf", "bad.cfg", "keep.ruf"}, 1, "", tx_delay},
        {{"--firmware", "empty.bin", "ruf", "good.cfg", "keep.ruf"}, 1, "", "Firmware file is empty.\n"},
        {{"--device", "sim", "--firmware", "empty.bin", "upload-firmware"}, 1, kFound, "Firmware file is empty.\n"},
        // An output that is an input, or the other output, is a usage error.
        {{"decode", "keep.bin", "keep.bin"}, 2, "", "zyvora-cli: keep.bin is the input file; choose another output file\n"},
        {{"decode", "keep.bin", "link.cfg"}, 2, "", "zyvora-cli: link.cfg is the input file; choose another output file\n"},
        {{"encode", "good.cfg", "./good.cfg"}, 2, "",
         "zyvora-cli: ./good.cfg is the input file; choose another output file\n"},
        {{"--firmware", "fw.bin", "ruf", "good.cfg", "fw.bin"}, 2, "",
         "zyvora-cli: fw.bin is the firmware file; choose another output file\n"},
        {{"--device", "sim:keep.bin", "read", "keep.bin"}, 2, "",
         "zyvora-cli: keep.bin is the simulated device's EEPROM file; choose another output file\n"},
        {{"--device", "sim", "read", "new.cfg", "--image", "new.cfg"}, 2, "",
         "zyvora-cli: new.cfg is the settings file to write; choose another image file\n"},
    });
}

TEST_F(CliEdges, SettingsFilesAreBoundedText) {
    const std::string defaults(test::kDefaultsFile);
    // Padded with comment lines to exactly the limit, and one byte past it.
    std::string full = defaults;
    while (full.size() < (1u << 20)) full += std::string(std::min<std::size_t>(99, (1u << 20) - full.size() - 1), ';') + "\n";
    ASSERT_EQ(full.size(), 1u << 20);
    write("full.cfg", full);
    write("over.cfg", full + ";");
    write("nul.cfg", header_only() + "\n[Radio]\nCallsign=AB" + std::string(1, '\0') + "CD\nTXdelay=305\n");

    run_unchanged({
        {{"check", "full.cfg"}, 0, "", test::kStartUpAdvice},
        {{"check", "over.cfg"}, 1, "",
         "over.cfg is not a settings file: it holds more than 1048576 bytes (1 MiB), the most a settings file holds.\n"},
        {{"check", "nul.cfg"}, 1, "", "nul.cfg is not a settings file: line 7 holds a NUL byte.\n"},
        {{"check", "."}, 1, "", "Unable to read .: Is a directory\n"},
        // Saving merges into an existing file, so one that cannot be read whole is not replaced.
        {{"defaults", "nul.cfg"}, 1, "", "Unable to write to nul.cfg\n"},
        {{"defaults", "over.cfg"}, 1, "", "Unable to write to over.cfg\n"},
    });
}

TEST_F(CliEdges, OptionsThatDoNotApplyAndLatenciesPastTheReplyLimitAreUsageErrors) {
    write("good.cfg", std::string(test::kDefaultsFile));
    run_unchanged({
        {{"--sim-fault", "bogus", "defaults", "y.cfg"}, 2, "", "zyvora-cli: --sim-fault does not apply to defaults\n"},
        {{"--device", "bogus", "defaults", "z.cfg"}, 2, "", "zyvora-cli: --device does not apply to defaults\n"},
        {{"--sim-erased", "check", "good.cfg"}, 2, "", "zyvora-cli: --sim-erased does not apply to check\n"},
        {{"--firmware", "fw.bin", "check", "good.cfg"}, 2, "", "zyvora-cli: --firmware does not apply to check\n"},
        {{"--device", "sim", "--sim-latency-us", "5000001", "info"}, 2, "",
         "zyvora-cli: --sim-latency-us: Value 5000001 not in range 0 to 5000000; see zyvora-cli info --help\n"},
        {{"--device", "sim", "--sim-latency-us", "99999999999999999999", "info"}, 2, "",
         "zyvora-cli: --sim-latency-us: Value 99999999999999999999 not in range 0 to 5000000; "
         "see zyvora-cli info --help\n"},
    });
}

// Only an image or a device gives a text a line break: saved raw, it would make keys of its own.
TEST_F(CliEdges, ATextWithLineBreaksCannotSetOtherKeys) {
    write("good.cfg", std::string(test::kDefaultsFile));
    ASSERT_EQ(run({"encode", "good.cfg", "good.bin"}).status, 0);
    const std::string good = contents("good.bin");
    Image image;
    std::copy(good.begin(), good.end(), image.begin());
    put_text(image, 656 + 18, 97, "x\n[Radio]\nCallsign=EVIL\nTXdelay=999\n[Beacons]");
    put_text(image, 656 + 116 + 18, 97, " two\r\n[l");
    finish_frame(image, 1);
    write("evil.bin", std::string(image.begin(), image.end()));

    Outcome r = run({"decode", "evil.bin", "out.cfg"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "zyvora-cli: warning: [Beacons] Beacon1_msg: line breaks and NUL bytes saved as spaces.\n"
                     "zyvora-cli: warning: [Beacons] Beacon2_msg: line breaks and NUL bytes saved as spaces.\n");
    const std::string saved = contents("out.cfg");
    EXPECT_NE(saved.find("\nBeacon1_msg=x [Radio] Callsign=EVIL TXdelay=999 [Beacons]\n"), std::string::npos);
    EXPECT_NE(saved.find("\nBeacon2_msg=\" two  [l\"\n"), std::string::npos);
    EXPECT_EQ(saved.find("[l]"), std::string::npos);

    // Read back, the file gives the same radio settings and every beacon key in its section.
    ASSERT_EQ(run({"encode", "out.cfg", "back.bin"}).status, 0);
    const std::string back = contents("back.bin");
    EXPECT_EQ(back.substr(6, 650 - 6), good.substr(6, 650 - 6));
    EXPECT_EQ(back.substr(656 + 18, 97), std::string("x [Radio] Callsign=EVIL TXdelay=999 [Beacons]") +
                                              std::string(97 - 45, '\0'));
    EXPECT_EQ(back.substr(656 + 116 + 18, 10), std::string(" two  [l\0\0", 10));
}

TEST_F(CliEdges, DeviceTextsAndFileNamesReachTheTerminalEscaped) {
    Outcome r = run({"--device", "sim", "--sim-hardware", "\x1b[31mred\x07", "info"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kFound + "Firmware version: 1.13\nHardware version: \\x1B[31mred\\x07\nSerial number: SIM\n");
    EXPECT_EQ(r.err, "");
    // A read shows the versions as a message: the device's line breaks make no lines of their own.
    r = run({"--device", "sim", "--sim-hardware", "rev B\r\nEeprom write success\xC2\x9B", "read", "x.cfg"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "Firmware version: 1.13\nHardware version: rev B\\r\\nEeprom write success\\xC2\\x9B\n");
    r = run({"check", "a\x1b]0;title\x07.cfg"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Unable to read a\\x1B]0;title\\x07.cfg: No such file or directory\n");
    r = run({"defaults", "no-folder/a\nb.cfg"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Unable to write to no-folder/a\\nb.cfg\n");
}

// The settings end in page 85; pages after it that cannot be read cost nothing, but are told.
TEST_F(CliEdges, AReadThatLostOnlyPagesAfterTheSettingsSucceedsWithAWarning) {
    const Outcome r = run({"--device", "sim", "--sim-fault", "read@85=no-reply", "read", "ok.cfg", "--image", "ok.bin"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "zyvora-cli: warning: Read config: page 86/512 and the pages after it could not be read; "
                     "they lie after the settings, which were read whole.\n" + kVersions);
    EXPECT_NE(r.out.find("Page read: 85/512\nPage read error: 86/512\nEeprom read success.\n"), std::string::npos);
    EXPECT_EQ(contents("ok.bin").size(), kImageSize);
    EXPECT_EQ(contents("ok.cfg").substr(0, 40), std::string(test::kDefaultsFile).substr(0, 40));
}

TEST_F(CliEdges, SavingKeepsWhatTheUserExpectsOfTheFile) {
    const std::string header = header_only();
    const std::string defaults(test::kDefaultsFile);
    const auto mode_of = [&](const std::string& name) { return fs::status(path(name)).permissions(); };
    using fs::perms;

    // A file that is no settings file is not merged into, nor its mode taken; an empty one is written.
    write("notes.txt", "Shopping list\nmilk=2\n[Garden]\nroses=3\n");
    fs::permissions(path("notes.txt"), perms::owner_all | perms::group_read | perms::group_exec);
    run_unchanged({{{"defaults", "notes.txt"}, 1, "",
                    "notes.txt is not a settings file: it holds no [!WARNING] section and no section of the "
                    "settings; it is left as it was.\n"}});
    EXPECT_EQ(mode_of("notes.txt"), perms::owner_all | perms::group_read | perms::group_exec);
    write("empty.cfg", "");
    EXPECT_EQ(run({"defaults", "empty.cfg"}).status, 0);
    EXPECT_EQ(contents("empty.cfg"), defaults);

    // A file the user may not write stays as it was.
    write("ro.cfg", header);
    fs::permissions(path("ro.cfg"), perms::owner_read | perms::group_read | perms::others_read);
    const RunOptions as_owner = plain_user({"ro.cfg"});
    run_unchanged({{{"defaults", "ro.cfg"}, 1, "", "Unable to write to ro.cfg\n"}}, as_owner);

    // A file the user may write in a folder that takes no new files is written in place.
    fs::create_directory(path("locked"));
    write("locked/station.cfg", header);
    const RunOptions as_locked_owner = plain_user({"locked", "locked/station.cfg"});
    fs::permissions(path("locked"), perms::owner_read | perms::owner_exec | perms::group_read | perms::group_exec |
                                        perms::others_read | perms::others_exec);
    Outcome locked = run({"defaults", "locked/station.cfg"}, as_locked_owner);
    EXPECT_EQ(locked.status, 0) << locked.err;
    EXPECT_EQ(contents("locked/station.cfg"), defaults);
    fs::permissions(path("locked"), perms::owner_all, fs::perm_options::add);

    // A symbolic link stays a link, and its target is written, even when it does not exist yet.
    fs::create_directory(path("sub"));
    fs::create_symlink("sub/new.cfg", path("dangling.cfg"));
    write("sub/old.cfg", header);
    fs::permissions(path("sub/old.cfg"), perms::owner_read | perms::owner_write | perms::group_read);
    fs::create_symlink("sub/old.cfg", path("link.cfg"));
    for (const auto& [link, target, mode] :
         {std::tuple{"dangling.cfg", "sub/new.cfg", perms::owner_read | perms::owner_write},
          {"link.cfg", "sub/old.cfg", perms::owner_read | perms::owner_write | perms::group_read}}) {
        const Outcome r = run({"defaults", link});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(fs::is_symlink(path(link))) << link;
        EXPECT_EQ(contents(target), defaults) << target;
        EXPECT_EQ(mode_of(target), mode) << target;
    }

    // Every name of a hard-linked file sees the new settings: it is one file.
    write("a.cfg", header);
    fs::create_hard_link(path("a.cfg"), path("b.cfg"));
    Outcome r = run({"defaults", "a.cfg"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(contents("b.cfg"), defaults);
    EXPECT_TRUE(fs::equivalent(path("a.cfg"), path("b.cfg")));

    // A write error (past the file size limit) leaves the old file and no temporary file.
    write("small.cfg", header);
    RunOptions limited;
    limited.file_size_limit = 4096;
    run_unchanged({{{"defaults", "small.cfg"}, 1, "", "Unable to write to small.cfg\n"},
                   {{"defaults", "new.cfg"}, 1, "", "Unable to write to new.cfg\n"}},
                  limited);
}

// Another user saves into root's file that everybody may write: it stays root's.
TEST_F(CliEdges, AFileSavedByAnotherUserKeepsItsOwner) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as two users";
    write("shared.cfg", header_only());
    fs::permissions(path("shared.cfg"), fs::perms::all & ~(fs::perms::owner_exec | fs::perms::group_exec |
                                                          fs::perms::others_exec));
    const Outcome r = run({"defaults", "shared.cfg"}, plain_user());
    EXPECT_EQ(r.status, 0) << r.err;
    struct stat st {};
    ASSERT_EQ(::stat(path("shared.cfg").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(st.st_gid, 0u);
    EXPECT_EQ(st.st_mode & 07777, 0666u);
    EXPECT_EQ(contents("shared.cfg"), std::string(test::kDefaultsFile));
}

}  // namespace
}  // namespace zyvora
