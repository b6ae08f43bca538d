// "Save to file", "Read from file" and the verify and decode step of "Read config", on real files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../support/expected_defaults.h"
#include "../support/recording_feedback.h"
#include "../support/temp_folder.h"
#include "files.h"
#include "operations.h"
#include "passes.h"

namespace zyvora {
namespace {

namespace fs = std::filesystem;

using testing::RecordingFeedback;

const std::string kNotOurFile =
    "info: Imported configuration file is not a Zyvora Plus 2.0 configuration file. \nOperation aborted.";
const std::string kOtherVersion =
    "info: Imported configuration file version is different than your current application version. \n"
    "Please double-check configuration fields after import. \n"
    "Some configuration fields my change between firmware versions.";

class FileOperations : public ::testing::Test {
protected:
    FileOperations() : registry_(Registry::instance()), store_(test::startup_store(registry_)) {}

    std::string path(const std::string& name) const { return dir_.path(name); }
    static void write(const std::string& file, const std::string& text) {
        std::ofstream(file, std::ios::binary) << text;
    }
    static std::string contents(const std::string& file) { return read_whole_file(file).value_or("<unreadable>"); }
    static unsigned mode_of(const std::string& file) {
        struct stat st {};
        ::stat(file.c_str(), &st);
        return st.st_mode & 07777;
    }
    ::testing::AssertionResult store_is_default() const { return store_equals(test::startup_store(registry_)); }
    // What a file without setting keys leaves.
    ::testing::AssertionResult store_is_file_default() const {
        return store_equals(test::missing_keys_store(registry_));
    }
    // Every control's text, selection and check mark; a failure names the first control that differs.
    ::testing::AssertionResult store_equals(const ControlStore& expected) const {
        for (int id = 0; id < static_cast<int>(store_.size()); ++id) {
            if (store_.text(id) != expected.text(id) || store_.index(id) != expected.index(id) ||
                store_.checked(id) != expected.checked(id)) {
                return ::testing::AssertionFailure()
                       << store_.decl(id).name << " holds \"" << store_.text(id) << "\", index " << store_.index(id)
                       << (store_.checked(id) ? ", checked" : ", unchecked") << "; expected \"" << expected.text(id)
                       << "\", index " << expected.index(id) << (expected.checked(id) ? ", checked" : ", unchecked");
            }
        }
        return ::testing::AssertionSuccess();
    }

    const Registry& registry_;
    ControlStore store_;
    RecordingFeedback feedback_;
    test::TempFolder dir_{"zyvora-ops"};
};

TEST_F(FileOperations, SaveWritesANewPrivateFile) {
    const std::string file = path("new.cfg");
    ASSERT_TRUE(save_settings_file(registry_, store_, file, feedback_));
    EXPECT_EQ(contents(file), test::kDefaultsFile);
    EXPECT_EQ(mode_of(file), 0600u);
    EXPECT_TRUE(feedback_.events.empty());
    // Nothing but the file itself is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 1);
}

TEST_F(FileOperations, SaveIntoAnExistingFileKeepsItsModeAndForeignKeys) {
    const std::string file = path("old.cfg");
    write(file,
          "[Mine]\n"
          "note=\xE9t\xE9\n"
          "\n"
          "[Radio]\n"
          "Callsign=OLD\n"
          "Extra=keep me\n");
    ::chmod(file.c_str(), 0644);
    store_.set_text("Callsign", "sp5x");

    ASSERT_TRUE(save_settings_file(registry_, store_, file, feedback_));
    EXPECT_EQ(mode_of(file), 0644u);
    const std::string text = contents(file);
    EXPECT_EQ(text.substr(0, text.find("[!WARNING]")),
              "[Mine]\n"
              "note=\xE9t\xE9\n"
              "\n\n"
              "[Radio]\n"
              "Callsign=sp5x\n"
              "Extra=keep me\n"
              "SSID=0\n"
              "Latitude=5223.08N\n"
              "Longitude=01658.14E\n"
              "TXdelay=250\n"
              "Quiettime=400\n"
              "Quiettime_randomize=3\n"
              "PTT=0\n"
              "Squelch=0\n"
              "Busydetect=0\n"
              "Consecutive_packets=0\n"
              "Output_level=20\n"
              "Input_amplifier=0\n"
              "Baudrate=0\n"
              "\n\n");
    EXPECT_NE(text.find("[!WARNING]\nWARNING="), std::string::npos);
    EXPECT_NE(text.find("[Digipeater]\nDigion=1\nFloodtimeout=60\n"), std::string::npos);
}

TEST_F(FileOperations, FailedSaveLeavesThePreviousFileAsItWas) {
    const std::string previous = "[Radio]\nCallsign=KEEP\n";
    const std::string file = path("keep.cfg");

    // Every integer key is converted before the disk is touched.
    write(file, previous);
    store_.set_text("Floodtimeout", "abc");
    EXPECT_FALSE(save_settings_file(registry_, store_, file, feedback_));
    EXPECT_EQ(feedback_.events, std::vector<std::string>{"error: 'abc' is not a valid integer value"});
    EXPECT_EQ(contents(file), previous);
    store_.set_text("Floodtimeout", "60");

    store_.set_text("Txdelay", "");
    feedback_.events.clear();
    EXPECT_FALSE(save_settings_file(registry_, store_, file, feedback_));
    EXPECT_EQ(feedback_.events, std::vector<std::string>{"error: '' is not a valid integer value"});
    EXPECT_EQ(contents(file), previous);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 1);
}

TEST_F(FileOperations, UnwritableTargetIsAWriteError) {
    fs::create_directory(path("folder.cfg"));
    const std::vector<std::string> targets = {
        path("folder.cfg"),                  // an existing directory
        path("no-such-folder/x.cfg"),        // a folder that does not exist
        path(std::string(300, 'n') + ".cfg"),  // a name longer than the system allows
    };
    for (const auto& target : targets) {
        feedback_.events.clear();
        EXPECT_FALSE(save_settings_file(registry_, store_, target, feedback_));
        EXPECT_EQ(feedback_.events, std::vector<std::string>{"error: Unable to write to " + target});
    }
    EXPECT_TRUE(fs::is_directory(path("folder.cfg")));
    EXPECT_TRUE(fs::is_empty(path("folder.cfg")));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 1);
}

TEST_F(FileOperations, SaveAndReadRoundTripBytes) {
    const std::string file = path("bytes.cfg");
    store_.set_text("Callsign", "\xE9t\xE9");
    store_.set_text("Latitude", "5223.08\xD1");
    ASSERT_TRUE(save_settings_file(registry_, store_, file, feedback_));
    EXPECT_NE(contents(file).find("\nCallsign=\xE9t\xE9\n"), std::string::npos);

    ControlStore back = test::startup_store(registry_);
    ASSERT_TRUE(read_settings_file(registry_, back, file, feedback_));
    EXPECT_EQ(back.text("Callsign"), "\xE9t\xE9");
    EXPECT_EQ(back.text("Latitude"), "5223.08\xD1");
    EXPECT_TRUE(feedback_.events.empty());
}

TEST_F(FileOperations, ReadRefusesAFileOfAnotherApplication) {
    const std::string cases[] = {
        "[!WARNING]\nApplication=zyvora plus 2.0 configurator\nVersion=v1.13\n[Radio]\nCallsign=SP5X\n",
        "[!WARNING]\nVersion=v1.13\n[Radio]\nCallsign=SP5X\n",
        "[Radio]\nCallsign=SP5X\n",
        "",
        "\x89PNG\r\n\x1A\n",
    };
    for (const auto& text : cases) {
        const std::string file = path("foreign.cfg");
        write(file, text);
        feedback_.events.clear();
        EXPECT_FALSE(read_settings_file(registry_, store_, file, feedback_)) << text;
        EXPECT_EQ(feedback_.events, std::vector<std::string>{kNotOurFile}) << text;
        EXPECT_TRUE(store_is_default()) << text;
    }
}

TEST_F(FileOperations, ReadOfAnotherVersionWarnsThenLoads) {
    const std::string file = path("old.cfg");
    write(file, "[!WARNING]\nApplication=Zyvora Plus 2.0 Configurator\nVersion=v1.12\n[Radio]\nCallsign=SP5X\n");
    ASSERT_TRUE(read_settings_file(registry_, store_, file, feedback_));
    EXPECT_EQ(feedback_.events, std::vector<std::string>{kOtherVersion});
    EXPECT_EQ(store_.text("Callsign"), "SP5X");

    // A missing version is another version too.
    write(file, "[!WARNING]\nApplication=Zyvora Plus 2.0 Configurator\n[Radio]\nCallsign=SQ2\n");
    feedback_.events.clear();
    ASSERT_TRUE(read_settings_file(registry_, store_, file, feedback_));
    EXPECT_EQ(feedback_.events, std::vector<std::string>{kOtherVersion});
    EXPECT_EQ(store_.text("Callsign"), "SQ2");
}

TEST_F(FileOperations, HeaderOnlyFileResetsEveryControl) {
    const std::string file = path("empty.cfg");
    write(file, "[!WARNING]\nApplication=Zyvora Plus 2.0 Configurator\nVersion=v1.13\n");
    store_.set_text("Callsign", "SP5X");
    store_.set_text("Txdelay", "900");
    store_.set_index("Digion", 0);
    store_.set_index("Output_level", 3);
    ASSERT_TRUE(read_settings_file(registry_, store_, file, feedback_));
    EXPECT_TRUE(feedback_.events.empty());
    EXPECT_TRUE(store_is_file_default());
}

TEST_F(FileOperations, UnreadableFileChangesNothing) {
    fs::create_directory(path("dir.cfg"));
    const std::pair<std::string, std::string> cases[] = {
        {path("missing.cfg"), "No such file or directory"},
        {path("dir.cfg"), "Is a directory"},
    };
    store_.set_text("Callsign", "SP5X");
    for (const auto& [file, reason] : cases) {
        feedback_.events.clear();
        EXPECT_FALSE(read_settings_file(registry_, store_, file, feedback_));
        EXPECT_EQ(feedback_.events, std::vector<std::string>{"error: Unable to read " + file + ": " + reason});
        EXPECT_EQ(store_.text("Callsign"), "SP5X");
    }
}

class ReadConfig : public ::testing::Test {
protected:
    ReadConfig() : registry_(Registry::instance()), store_(test::startup_store(registry_)) {
        ControlStore device = test::startup_store(registry_);
        device.set_text("Callsign", "SP5X");
        EXPECT_TRUE(encode(registry_, device, image_).empty());
    }
    static void fix_checksum(Image& image) {
        const std::uint32_t sum = image_sum(image);
        for (int i = 0; i < 4; ++i) image[i] = static_cast<std::uint8_t>(sum >> (8 * i));
    }

    const Registry& registry_;
    ControlStore store_;
    Image image_{};
    RecordingFeedback feedback_;
};

TEST_F(ReadConfig, GoodImageIsDecodedSilently) {
    ASSERT_TRUE(verify_and_decode(registry_, store_, image_, feedback_));
    EXPECT_TRUE(feedback_.events.empty());
    EXPECT_EQ(store_.text("Callsign"), "SP5X  ");
}

TEST_F(ReadConfig, ChecksumErrorIsLogged) {
    image_[40] ^= 0x01;
    EXPECT_FALSE(verify_and_decode(registry_, store_, image_, feedback_));
    EXPECT_EQ(feedback_.events, std::vector<std::string>{"log: Eeprom checksum error. Please reload configuration."});
    EXPECT_EQ(store_.text("Callsign"), "NOCALL");
}

TEST_F(ReadConfig, OtherVersionShowsTheBoxThenLogsAReadError) {
    image_[10] = '2';
    fix_checksum(image_);
    EXPECT_FALSE(verify_and_decode(registry_, store_, image_, feedback_));
    EXPECT_EQ(feedback_.events,
              (std::vector<std::string>{
                  "info: Uncompatible configuration version:\nDevice: v1.12\nConfigurator: v1.13\n\n"
                  "You need to use Configurator v1.12 or write new configuration using \"Write config\" button.",
                  "log: Eeprom read error. Please reload configuration.",
              }));
    EXPECT_EQ(store_.text("Callsign"), "NOCALL");
}

TEST(EncodeSettings, ShowsBoxesAndErrorsInPassOrder) {
    const Registry& registry = Registry::instance();
    ControlStore store = test::startup_store(registry);
    store.set_text("Callsign", "");
    store.set_text("Ssid", "x");
    store.set_text("Quiettime", "100");
    Image image;
    RecordingFeedback first;
    EXPECT_FALSE(encode_settings(registry, store, image, first));
    EXPECT_EQ(first.events, std::vector<std::string>{"info: Callsign - too short (e.g. NOCALL-4)."});

    RecordingFeedback all;
    EXPECT_FALSE(encode_settings(registry, store, image, all, true));
    EXPECT_EQ(all.events, (std::vector<std::string>{
                              "info: Callsign - too short (e.g. NOCALL-4).",
                              "error: 'x' is not a valid integer value",
                              "info: Quiet time - range error (200 - 3000).",
                          }));
}

}  // namespace
}  // namespace zyvora
