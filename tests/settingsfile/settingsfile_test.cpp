// The settings file as the save and read passes see it, in memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "../support/expected_defaults.h"
#include "image.h"
#include "intparse.h"
#include "passes.h"
#include "registry.h"
#include "settingsfile.h"

namespace zyvora {
namespace {

const Registry& radio() { return Registry::instance(); }

std::string saved_text(const Registry& registry, const ControlStore& store) {
    SettingsFile file;
    file.write_header();
    save(registry, store, file);
    return file.serialise();
}

// Reads `text` into a store that starts at the start-up defaults.
ControlStore read_text(const Registry& registry, const std::string& text) {
    SettingsFile file;
    EXPECT_TRUE(file.parse(text));
    ControlStore store = test::startup_store(registry);
    read(registry, store, file);
    return store;
}

TEST(SettingsFileText, DefaultsAreWrittenInSaveOrder) {
    EXPECT_EQ(saved_text(radio(), test::startup_store(radio())), test::kDefaultsFile);
}

TEST(SettingsFileText, SaveAndReadRestoreEveryControl) {
    ControlStore store = test::startup_store(radio());
    // Texts are kept as typed: lower case, and bytes beyond ASCII.
    store.set_text("Callsign", "t\xE9st");
    store.set_text("Ssid", "12");
    store.set_text("Latitude", "5959.99S");
    store.set_text("Longitude", "17959.99W");
    store.set_text("Txdelay", "$3E8");
    store.set_text("Quiettime", "3000");
    store.set_text("Floodtimeout", "15");
    for (const auto& [name, index] : {std::pair{"Baudrate", 1}, {"Quiettime_randomize", 0}, {"Ptt", 1},
                                      {"Squelch", 9}, {"Busydetect", 1}, {"Consecutive_packets", 1},
                                      {"Output_level", 27}, {"Input_amplifier", 8}, {"Digion", 0}}) {
        store.set_index(name, index);
    }
    const std::string text = saved_text(radio(), store);
    EXPECT_NE(text.find("\nCallsign=t\xE9st\n"), std::string::npos);
    EXPECT_NE(text.find("\nTXdelay=1000\n"), std::string::npos);  // integers are written in decimal

    const ControlStore back = read_text(radio(), text);
    store.set_text("Txdelay", "1000");
    for (std::size_t id = 0; id < store.size(); ++id) {
        const int i = static_cast<int>(id);
        EXPECT_EQ(back.text(i), store.text(i)) << store.decl(i).name;
        EXPECT_EQ(back.index(i), store.index(i)) << store.decl(i).name;
    }
}

TEST(SettingsFileText, SectionsAndKeysAreReadWithoutRegardToCase) {
    const ControlStore store = read_text(radio(),
                                         "[radio]\r\n"
                                         "CALLSIGN=sp5x\r\n"
                                         "txdelay=300\r\n"
                                         "ptt=1\r\n"
                                         "[DIGIPEATER]\r\n"
                                         "digiON=0\r\n");
    EXPECT_EQ(store.text("Callsign"), "sp5x");
    EXPECT_EQ(store.text("Txdelay"), "300");
    EXPECT_EQ(store.index("Ptt"), 1);
    EXPECT_EQ(store.index("Digion"), 0);
}

TEST(SettingsFileText, IntegerValues) {
    struct Case {
        const char* value;
        const char* txdelay;  // as the control then shows it
        int baudrate;         // the same value read as an item index
    };
    const Case cases[] = {
        {"1", "1", 1},
        {"0x1", "1", 1},
        {"0x1F", "31", -1},
        {"0X1f", "31", -1},
        {"$1F", "31", -1},
        {"-5", "-5", -1},
        {"  7", "7", -1},
        // Whatever is not a whole number reads as the missing-key value.
        {"junk", "250", 0},
        {"12abc", "250", 0},
        {"0x", "250", 0},
        {"", "250", 0},
        {"99999999999", "250", 0},
    };
    for (const auto& c : cases) {
        const ControlStore store = read_text(radio(), std::string("[Radio]\nTXdelay=") + c.value +
                                                          "\nBaudrate=" + c.value + "\n");
        EXPECT_EQ(store.text("Txdelay"), c.txdelay) << c.value;
        EXPECT_EQ(store.index("Baudrate"), c.baudrate) << c.value;
    }
}

TEST(SettingsFileText, IndexOutsideTheItemsIsNoSelection) {
    ControlStore store = read_text(radio(), "[Radio]\nBaudrate=7\n[Digipeater]\nDigion=-1\n");
    EXPECT_EQ(store.index("Baudrate"), -1);
    EXPECT_EQ(store.index("Digion"), -1);

    const std::string text = saved_text(radio(), store);
    EXPECT_NE(text.find("\nBaudrate=-1\n"), std::string::npos);
    EXPECT_NE(text.find("\nDigion=-1\n"), std::string::npos);

    Image image;
    const auto failures = encode(radio(), store, image);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].message, "Baudrate - no item selected.");
}

TEST(SettingsFileText, MissingKeysTakeTheirDefaults) {
    SettingsFile file;
    ASSERT_TRUE(file.parse("[Radio]\nCallsign=SP5X\nSSID=3\nTXdelay=900\nBaudrate=1\n[Digipeater]\nDigion=0\n"));
    ControlStore store = test::startup_store(radio());
    read(radio(), store, file);
    ASSERT_EQ(store.text("Callsign"), "SP5X");

    file.parse("[!WARNING]\nApplication=Zyvora Plus 2.0 Configurator\n");
    read(radio(), store, file);
    const ControlStore defaults = test::missing_keys_store(radio());
    for (std::size_t id = 0; id < store.size(); ++id) {
        const int i = static_cast<int>(id);
        EXPECT_EQ(store.text(i), defaults.text(i)) << store.decl(i).name;
        EXPECT_EQ(store.index(i), defaults.index(i)) << store.decl(i).name;
    }
}

TEST(SettingsFileText, LongCallsignFromAFileStaysInItsField) {
    const ControlStore store = read_text(radio(), "[Radio]\nCallsign=abcdefghi\nSSID=9\n");
    EXPECT_EQ(store.text("Callsign"), "abcdefghi");
    Image image;
    EncodeOptions options;
    options.nonce = 0;
    ASSERT_TRUE(encode(radio(), store, image, options).empty());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.data()) + 14, 9), std::string("ABCDEF9\0\0", 9));
    EXPECT_EQ(image[23], 0);
}

// Check boxes and booleans do not occur in the radio area; a small area of its own shows them.
TEST(SettingsFileText, CheckBoxesAndBooleans) {
    AreaBuilder a("flags");
    a.section("Flags");
    a.check("Beacon_on", false).key("Beacon_on", KeyKind::Check);
    a.check("Ntp_enable", true).key("Ntp_enable", KeyKind::Boolean);
    const Registry registry({a.take()});

    const auto flags_section = [&](const ControlStore& store) {
        const std::string text = saved_text(registry, store);
        return text.substr(text.find("[Flags]"));
    };
    ControlStore store = registry.make_store();
    EXPECT_EQ(flags_section(store), "[Flags]\nBeacon_on=0\nNtp_enable=1\n");
    store.set_checked("Beacon_on", true);
    store.set_checked("Ntp_enable", false);
    EXPECT_EQ(flags_section(store), "[Flags]\nBeacon_on=1\nNtp_enable=0\n");

    struct Case {
        const char* text;
        bool beacon_on;
        bool ntp_enable;
    };
    const Case cases[] = {
        {"[Flags]\nBeacon_on=5\nNtp_enable=0\n", true, false},
        {"[Flags]\nBeacon_on=-1\nNtp_enable=$10\n", true, true},
        {"[Flags]\nBeacon_on=0\nNtp_enable=junk\n", false, true},
        {"[Flags]\n", false, true},
    };
    for (const auto& c : cases) {
        const ControlStore read_back = read_text(registry, c.text);
        EXPECT_EQ(read_back.checked("Beacon_on"), c.beacon_on) << c.text;
        EXPECT_EQ(read_back.checked("Ntp_enable"), c.ntp_enable) << c.text;
    }
}

TEST(SettingsFileText, IntegerKeyThatIsNoNumberStopsTheSave) {
    ControlStore store = test::startup_store(radio());
    store.set_text("Quiettime", "4OO");
    SettingsFile file;
    file.write_header();
    try {
        save(radio(), store, file);
        FAIL() << "saved";
    } catch (const ConversionError& e) {
        EXPECT_STREQ(e.what(), "'4OO' is not a valid integer value");
    }
}


// A value an INI reader would cut or change is written so that it reads back whole.
TEST(SettingsFileText, TextsComeBackWholeThroughTheFile) {
    const struct {
        std::string value;
        std::string line;  // as written
    } cases[] = {
        {"plain", "Key=plain"},
        {"", "Key="},
        {" lead", "Key=\" lead\""},
        {"trail ", "Key=\"trail \""},
        {"\tboth\t", "Key=\"\tboth\t\""},
        {"\"quoted\"", "Key=\"\"quoted\"\""},
        {"'single'", "Key=\"'single'\""},
        {"\"\"", "Key=\"\"\"\""},
        {"\"", "Key=\""},
        {"a\"b'c", "Key=a\"b'c"},
        {"'mixed\"", "Key='mixed\""},
        {"\x1b[31mred", "Key=\x1b[31mred"},
    };
    for (const auto& c : cases) {
        SettingsFile file;
        file.write_string("Section", "Key", c.value);
        const std::string text = file.serialise();
        EXPECT_EQ(text, "[Section]\n" + c.line + "\n") << c.value;
        SettingsFile back;
        ASSERT_TRUE(back.parse(text));
        EXPECT_EQ(back.read_string("Section", "Key", "missing"), c.value) << text;
        EXPECT_TRUE(file.replaced().empty());
    }
}

// Only an image or a device gives a text a line break or a NUL; written raw it would end its
// line and start keys and sections of its own.
TEST(SettingsFileText, LineBreaksAndNulBytesCannotMakeKeys) {
    SettingsFile file;
    file.write_string("Beacons", "Beacon1_msg", "x\n[Radio]\nCallsign=EVIL\r\nTXdelay=999\n[Beacons]");
    file.write_string("Beacons", "Beacon2_msg", std::string("a\0b", 3));
    file.write_string("Beacons", "Beacon3_msg", "ends in\n[l");
    file.write_string("Beacons", "Beacon4_msg", "kept");
    file.write_string("Radio", "Callsign", "NOCALL");
    EXPECT_EQ(file.replaced(), (std::vector<std::string>{"[Beacons] Beacon1_msg", "[Beacons] Beacon2_msg",
                                                         "[Beacons] Beacon3_msg"}));
    const std::string text = file.serialise();
    EXPECT_EQ(text,
              "[Beacons]\n"
              "Beacon1_msg=x [Radio] Callsign=EVIL  TXdelay=999 [Beacons]\n"
              "Beacon2_msg=a b\n"
              "Beacon3_msg=ends in [l\n"
              "Beacon4_msg=kept\n"
              "\n\n"
              "[Radio]\n"
              "Callsign=NOCALL\n");
    SettingsFile back;
    ASSERT_TRUE(back.parse(text));
    EXPECT_EQ(back.read_string("Radio", "Callsign", ""), "NOCALL");
    EXPECT_EQ(back.read_string("Radio", "TXdelay", "missing"), "missing");
    EXPECT_EQ(back.read_string("Beacons", "Beacon4_msg", ""), "kept");
}

TEST(SettingsFileText, NulLineNamesTheLineOfTheFirstNul) {
    EXPECT_EQ(SettingsFile::nul_line("[Radio]\nCallsign=AB"), std::nullopt);
    EXPECT_EQ(SettingsFile::nul_line(std::string("Callsign=AB\0CD\nTXdelay=305\0", 27)), 1u);
    EXPECT_EQ(SettingsFile::nul_line(std::string("[Radio]\r\nA=1\n\nB=\0", 17)), 4u);
}

// Decode, save, read and encode: every text that the image may hold comes back the same, and a
// text with line breaks comes back with spaces in their place, no other control changing.
TEST(SettingsFileText, DecodeSaveReadEncodeRoundTrip) {
    const Registry& registry = radio();
    std::mt19937 random(20261210);
    // Printable ASCII, any byte but the line breaks, or any byte.
    enum Bytes { Printable, NoBreaks, Any };
    const auto text_of = [&](std::size_t length, Bytes bytes) {
        std::string text;
        for (std::size_t i = 0; i < length; ++i) {
            char c;
            do {
                c = static_cast<char>(bytes == Printable ? std::uniform_int_distribution<int>(0x20, 0x7E)(random)
                                                         : std::uniform_int_distribution<int>(1, 255)(random));
            } while ((c == '\r' || c == '\n') && bytes != Any);
            // Spaces and quotes at the ends are the cases INI readers treat specially.
            if (i == 0 || i + 1 == length) {
                const char ends[] = {' ', '"', '\'', c, '\t'};
                c = ends[std::uniform_int_distribution<int>(0, bytes == Printable ? 3 : 4)(random)];
            }
            text += c;
        }
        return text;
    };
    for (int round = 0; round < 60; ++round) {
        const auto bytes = static_cast<Bytes>(round % 3);
        Image image{};
        ASSERT_TRUE(encode(registry, test::startup_store(registry), image, {.nonce = 1}).empty());
        for (const Setting& setting : registry.settings()) {
            const Field& field = setting.field;
            if (field.codec != Codec::Text || !field.decoded) continue;
            const std::size_t length = std::uniform_int_distribution<std::size_t>(0, field.size - 1u)(random);
            put_text(image, field.offset, field.size, text_of(length, bytes));
        }
        finish_frame(image, 1);
        ControlStore decoded = test::startup_store(registry);
        ASSERT_EQ(decode(registry, decoded, image), std::nullopt);

        SettingsFile file;
        file.write_header();
        save(registry, decoded, file);
        SettingsFile parsed;
        ASSERT_TRUE(parsed.parse(file.serialise()));
        ControlStore back = test::startup_store(registry);
        read(registry, back, parsed);

        for (std::size_t id = 0; id < decoded.size(); ++id) {
            const int i = static_cast<int>(id);
            std::string expected = decoded.text(i);
            std::replace(expected.begin(), expected.end(), '\r', ' ');
            std::replace(expected.begin(), expected.end(), '\n', ' ');
            EXPECT_EQ(back.text(i), expected) << decoded.decl(i).name;
            EXPECT_EQ(back.index(i), decoded.index(i)) << decoded.decl(i).name;
            EXPECT_EQ(back.checked(i), decoded.checked(i)) << decoded.decl(i).name;
        }
        const bool any_break = std::any_of(registry.settings().begin(), registry.settings().end(), [&](const Setting& s) {
            return decoded.text(decoded.id(s.control.name)).find_first_of("\r\n") != std::string::npos;
        });
        EXPECT_EQ(file.replaced().empty(), !any_break);
        if (bytes == Printable) {
            Image first{}, second{};
            const auto failures = encode(registry, decoded, first, {.nonce = 7});
            EXPECT_TRUE(failures.empty()) << failures.front().message;
            EXPECT_TRUE(encode(registry, back, second, {.nonce = 7}).empty());
            EXPECT_TRUE(first == second);
        }
    }
}

}  // namespace
}  // namespace zyvora
