// zyvora-cli's single settings: `get`, `set` and `diff`, on settings files, images and the
// simulated device.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/cli_runner.h"
#include "../support/expected_defaults.h"
#include "image.h"

namespace zyvora {
namespace {

using test::Outcome;

// What reading the simulated device tells on standard error besides the values: the versions,
// as "Read config" shows them; its status log is kept back.
const std::string kDeviceRead = "Firmware version: 1.13\nHardware version: Zyvora Plus 2.0 simulated hardware\n";

struct Case {
    std::vector<std::string> args;
    int status;
    std::string out, err;
};

class SettingVerbs : public test::CliTest {
protected:
    SettingVerbs() {
        write("d.cfg", std::string(test::kDefaultsFile));
        write("e.cfg", defaults_with("TXdelay=250", "TXdelay=300"));
        const Outcome r = run({"encode", "d.cfg", "d.bin"});
        EXPECT_EQ(r.status, 0) << r.err;
    }

    void expect(const Case& c) const { expect_run(c.args, c.status, c.out, c.err); }
};

TEST_F(SettingVerbs, SetThenGetThenDiff) {
    expect({{"set", "d.cfg", "Radio/TXdelay=300"}, 0, "", ""});
    expect({{"get", "d.cfg", "TXdelay"}, 0, "300\n", ""});
    write("e.cfg", std::string(test::kDefaultsFile));
    expect({{"diff", "e.cfg", "d.cfg"}, 1, "[Radio] TXdelay (TX delay [ms]): 250 -> 300\n", ""});
}

// A source may be standard input, which reads once whether it turns out a file or an image.
TEST_F(SettingVerbs, StandardInputIsASource) {
    const struct {
        std::vector<std::string> args;
        std::string input;
        int status;
        std::string out, err;
    } cases[] = {
        {{"get", "-", "TXdelay"}, defaults_with("TXdelay=250", "TXdelay=300"), 0, "300\n", ""},
        {{"get", "-", "TXdelay"}, contents("d.bin"), 0, "250\n", ""},
        {{"diff", "-", "d.cfg"}, defaults_with("TXdelay=250", "TXdelay=300"), 1,
         "[Radio] TXdelay (TX delay [ms]): 300 -> 250\n", ""},
        {{"diff", "-", "-"}, "", 2, "", "zyvora-cli: standard input is given twice; only one input can be '-'\n"},
    };
    for (const auto& c : cases) {
        const Outcome r = run(c.args, test::with_input(c.input));
        EXPECT_EQ(r.status, c.status) << c.args[0];
        EXPECT_EQ(r.out, c.out) << c.args[0];
        EXPECT_EQ(r.err, c.err) << c.args[0];
    }
}

TEST_F(SettingVerbs, Get) {
    write("hex.cfg", defaults_with("TXdelay=250", "TXdelay=0x12C"));
    write("spaced.cfg", defaults_with("Pathn3_name=", "Pathn3_name=\"  two  \""));
    std::string without(test::kDefaultsFile);
    without.erase(without.find("TXdelay=250\n"), 12);
    without.erase(without.find("Teleanalog1_name="), without.find('\n', without.find("Teleanalog1_name=")) -
                                                          without.find("Teleanalog1_name=") + 1);
    write("without.cfg", without);
    write("zeros.bin", std::string(kImageSize, '\0'));
    write("control.cfg", defaults_with("Pathn3_name=", "Pathn3_name=A\x1B[2J\xFF"));
    const Case cases[] = {
        {{"get", "d.cfg", "TXdelay"}, 0, "250\n", ""},
        // Nothing in a value drives the terminal; JSON gets UTF-8.
        {{"get", "control.cfg", "Pathn3_name"}, 0, "A\\x1B[2J\xFF\n", ""},
        {{"get", "--json", "control.cfg", "Pathn3_name"},
         0,
         "{\n  \"Digipeater/Pathn3_name\": \"A\\u001b[2J\xEF\xBF\xBD\"\n}\n",
         ""},
        {{"get", "d.cfg", "radio/txdelay"}, 0, "250\n", ""},
        {{"get", "d.cfg", "TXDELAY", "Callsign", "Digipeater/Pathn1_name"},
         0,
         "Radio/TXdelay=250\nRadio/Callsign=NOCALL\nDigipeater/Pathn1_name=WIDE\n",
         ""},
        // As the settings file holds it once read: a number in decimal, a text unquoted.
        {{"get", "hex.cfg", "TXdelay"}, 0, "300\n", ""},
        {{"get", "spaced.cfg", "Pathn3_name"}, 0, "  two  \n", ""},
        // A key the file does not hold: the value it reads as.
        {{"get", "without.cfg", "TXdelay", "Teleanalog1_name"}, 0, "Radio/TXdelay=250\nTelemetry/Teleanalog1_name=A1\n", ""},
        // An image holds the login as the device does: upper-cased.
        {{"get", "d.bin", "Aprsis_user"}, 0, "NOCALL\n", ""},
        {{"get", "d.cfg", "Aprsis_user"}, 0, "nocall\n", ""},
        {{"--device", "sim", "get", "device", "TXdelay"}, 0, "250\n", kDeviceRead},
        {{"get", "device", "Callsign", "--device", "sim"}, 0, "NOCALL\n", kDeviceRead},
        {{"get", "--json", "d.cfg", "txdelay", "Callsign"},
         0,
         "{\n  \"Radio/TXdelay\": \"250\",\n  \"Radio/Callsign\": \"NOCALL\"\n}\n",
         ""},
        {{"get", "--json", "d.cfg", "TXdelay"}, 0, "{\n  \"Radio/TXdelay\": \"250\"\n}\n", ""},
        {{"get", "d.cfg", "TXdely"}, 2, "", "zyvora-cli: no setting has the key TXdely; did you mean TXdelay?\n"},
        {{"get", "d.cfg", "Radio/TXdely"}, 2, "",
         "zyvora-cli: no setting has the key Radio/TXdely; did you mean Radio/TXdelay?\n"},
        {{"get", "d.cfg", "Radio.TXdelay"}, 2, "",
         "zyvora-cli: no setting has the key Radio.TXdelay; did you mean Radio/TXdelay?\n"},
        {{"get", "d.cfg", "Callsign", "Loudness"}, 2, "", "zyvora-cli: no setting has the key Loudness\n"},
        // A wrong key is told before the device is asked.
        {{"--device", "sim", "--sim-absent", "get", "device", "Loudness"}, 2, "",
         "zyvora-cli: no setting has the key Loudness\n"},
        {{"get", "none.cfg", "TXdelay"}, 1, "", "Unable to read none.cfg: No such file or directory\n"},
        {{"get", "zeros.bin", "TXdelay"}, 1, "", "Eeprom checksum error. Please reload configuration.\n"},
        {{"--device", "sim", "get", "d.cfg", "TXdelay"}, 2, "", "zyvora-cli: --device does not apply to get\n"},
        {{"get", "d.cfg"}, 2, "", "zyvora-cli: KEY is required; see zyvora-cli get --help\n"},
    };
    for (const Case& c : cases) expect(c);
}

TEST_F(SettingVerbs, Set) {
    const std::string defaults(test::kDefaultsFile);
    const std::string kept = defaults + "\n[Local]\nNote=kept\n";
    const struct {
        Case run;
        std::string d_after;   // d.cfg (holding `before`) after the run
        std::string out_file;  // --output's file after the run; "<none>": not there
        std::string before = std::string(test::kDefaultsFile);
    } cases[] = {
        {{{"set", "d.cfg", "Radio/TXdelay=300"}, 0, "", ""}, defaults_with("TXdelay=250", "TXdelay=300"), "<none>"},
        // Taken as the settings-file reader takes it.
        {{{"set", "d.cfg", "txdelay=0x12C"}, 0, "", ""}, defaults_with("TXdelay=250", "TXdelay=300"), "<none>"},
        // Spaces at the ends, which the reader trims from a number in the file.
        {{{"set", "d.cfg", "TXdelay= 300 "}, 0, "", ""}, defaults_with("TXdelay=250", "TXdelay=300"), "<none>"},
        {{{"set", "d.cfg", "TXdelay=\t300"}, 0, "", ""}, defaults_with("TXdelay=250", "TXdelay=300"), "<none>"},
        {{{"set", "d.cfg", "Pathn3_name= two "}, 0, "", ""},
         defaults_with("Pathn3_name=", "Pathn3_name=\" two \""), "<none>"},
        {{{"set", "d.cfg", "Callsign=N0CALL", "Radio/Latitude=5223.08N", "--output", "site3.cfg"}, 0, "", ""},
         defaults, defaults_with("Callsign=NOCALL", "Callsign=N0CALL")},
        // Keys the configurator does not know are kept, as "Save to file" keeps them.
        {{{"set", "d.cfg", "TXdelay=300"}, 0, "", ""},
         defaults_with("TXdelay=250", "TXdelay=300") + "\n\n[Local]\nNote=kept\n", "<none>", kept},
        // A text the device keeps only part of is saved as given, with check's warning.
        {{{"set", "d.cfg", "Callsign=SP5ABC-7", "TXdelay=300"}, 0, "",
          "zyvora-cli: warning: [Radio] Callsign is 8 characters long; the device keeps the first 6.\n"},
         defaults_with({{"Callsign=NOCALL", "Callsign=SP5ABC-7"}, {"TXdelay=250", "TXdelay=300"}}), "<none>"},
        // A number the device cannot hold is saved as given, with check's warning.
        {{{"set", "d.cfg", "WWW/Www_port=70000", "--output", "site3.cfg"}, 0, "",
          "zyvora-cli: warning: [WWW] Www_port 70000 does not fit the field (0 - 65535): the device gets 4464.\n"},
         defaults, defaults_with("Www_port=80", "Www_port=70000")},
        {{{"set", "d.cfg", "SlowSpeed=-1"}, 0, "",
          "zyvora-cli: warning: [PositionReports] SlowSpeed -1 does not fit the field (0 - 65535): the device gets 65535.\n"},
         defaults_with("SlowSpeed=8", "SlowSpeed=-1"), "<none>"},
        {{{"set", "d.cfg", "TXdelay=5000"}, 1, "", "TX delay - range error (200 - 1000).\n"}, defaults, "<none>"},
        {{{"set", "d.cfg", "TXdelay=300", "Callsign=", "-o", "site3.cfg"}, 1, "",
          "Callsign - too short (e.g. NOCALL-4).\n"},
         defaults, "<none>"},
        {{{"set", "d.cfg", "TXdelay=abc"}, 2, "", "zyvora-cli: set: Radio/TXdelay takes a whole number, not abc\n"},
         defaults, "<none>"},
        {{{"set", "d.cfg", "Callsign=N0\nCALL"}, 2, "",
          "zyvora-cli: set: the value of Radio/Callsign holds a line break; a setting's value is one line\n"},
         defaults, "<none>"},
        {{{"set", "d.cfg", "TXdelay"}, 2, "", "zyvora-cli: set: expected KEY=VALUE, not TXdelay\n"}, defaults, "<none>"},
        {{{"set", "d.cfg", "TXdely=300"}, 2, "", "zyvora-cli: no setting has the key TXdely; did you mean TXdelay?\n"},
         defaults, "<none>"},
        {{{"set", "none.cfg", "TXdelay=300"}, 1, "", "Unable to read none.cfg: No such file or directory\n"},
         defaults, "<none>"},
    };
    for (const auto& c : cases) {
        write("d.cfg", c.before);
        std::filesystem::remove(path("site3.cfg"));
        expect(c.run);
        EXPECT_EQ(contents("d.cfg"), c.d_after) << c.run.args[2];
        EXPECT_EQ(contents("site3.cfg"), c.out_file) << c.run.args[2];
    }
}

TEST_F(SettingVerbs, Diff) {
    write("hex.cfg", defaults_with("TXdelay=250", "TXdelay=0xFA"));
    write("lower.cfg", defaults_with("Callsign=NOCALL", "Callsign=nocall"));
    write("two.cfg", defaults_with({{"TXdelay=250", "TXdelay=300"}, {"Callsign=NOCALL", "Callsign=N0CALL"}}));
    write("bad.cfg", defaults_with("TXdelay=250", "TXdelay=5000"));
    write("zeros.bin", std::string(kImageSize, '\0'));
    // A setting whose control has no caption.
    write("rect.cfg", defaults_with("Arearect0_nwlatitude=5232.05N", "Arearect0_nwlatitude=5232.06N"));
    const Case cases[] = {
        {{"diff", "d.cfg", "d.cfg"}, 0, "", ""},
        {{"diff", "d.cfg", "e.cfg"}, 1, "[Radio] TXdelay (TX delay [ms]): 250 -> 300\n", ""},
        {{"diff", "e.cfg", "d.cfg"}, 1, "[Radio] TXdelay (TX delay [ms]): 300 -> 250\n", ""},
        // What the device would hold is compared, not the text.
        {{"diff", "d.cfg", "hex.cfg"}, 0, "", ""},
        {{"diff", "d.cfg", "lower.cfg"}, 0, "", ""},
        {{"diff", "d.cfg", "d.bin"}, 0, "", ""},
        {{"diff", "two.cfg", "d.bin"},
         1,
         "[Radio] Callsign (Callsign): N0CALL -> NOCALL\n[Radio] TXdelay (TX delay [ms]): 300 -> 250\n",
         ""},
        {{"diff", "d.cfg", "rect.cfg"}, 1, "[Digipeater] Arearect0_nwlatitude: 5232.05N -> 5232.06N\n",
         "The RECT0 north-west area point moves 19 m (bearing 0\u00b0).\n"},
        {{"diff", "--json", "rect.cfg", "d.cfg"},
         1,
         "{\n  \"same\": false,\n  \"differences\": [\n    {\n      \"section\": \"Digipeater\",\n"
         "      \"key\": \"Arearect0_nwlatitude\",\n      \"caption\": null,\n"
         "      \"page\": \"Digipeater / PATH Filter areas\",\n      \"row\": null,\n      \"a\": \"5232.06N\",\n"
         "      \"b\": \"5232.05N\",\n      \"a_shown\": \"5232.06N\",\n      \"b_shown\": \"5232.05N\"\n    }\n  ],\n"
         "  \"moves\": [\n    {\n      \"text\": \"The RECT0 north-west area point moves 19 m (bearing 180\u00b0).\",\n"
         "      \"metres\": 19,\n      \"bearing\": 180\n    }\n  ]\n}\n",
         ""},
        {{"--device", "sim", "diff", "d.cfg", "device"}, 0, "", kDeviceRead},
        {{"diff", "--device", "sim", "device", "e.cfg"}, 1, "[Radio] TXdelay (TX delay [ms]): 250 -> 300\n",
         kDeviceRead},
        {{"diff", "--json", "d.cfg", "d.bin"}, 0,
         "{\n  \"same\": true,\n  \"differences\": [],\n  \"moves\": []\n}\n", ""},
        {{"diff", "--json", "d.cfg", "e.cfg"},
         1,
         "{\n  \"same\": false,\n  \"differences\": [\n    {\n      \"section\": \"Radio\",\n      \"key\": \"TXdelay\",\n"
         "      \"caption\": \"TX delay [ms]\",\n      \"page\": \"Radio\",\n      \"row\": null,\n      \"a\": \"250\",\n"
         "      \"b\": \"300\",\n      \"a_shown\": \"250\",\n      \"b_shown\": \"300\"\n    }\n  ],\n"
         "  \"moves\": []\n}\n",
         ""},
        {{"diff", "d.cfg", "bad.cfg"}, 2, "",
         "TX delay - range error (200 - 1000).\nzyvora-cli: diff: bad.cfg does not pass its checks\n"},
        {{"diff", "none.cfg", "d.cfg"}, 2, "",
         "Unable to read none.cfg: No such file or directory\nzyvora-cli: diff: cannot read none.cfg\n"},
        {{"diff", "d.cfg", "zeros.bin"}, 2, "",
         "Eeprom checksum error. Please reload configuration.\nzyvora-cli: diff: cannot read zeros.bin\n"},
        {{"--device", "sim", "--sim-absent", "diff", "d.cfg", "device"}, 2, "",
         "Zyvora Plus 2.0 not found.\nzyvora-cli: diff: cannot read device\n"},
    };
    for (const Case& c : cases) expect(c);
}

// How far a changed position moves its point, said beside the list of settings: the station's and
// each area filter's point, from A to B, a move under a kilometre in metres.
TEST_F(SettingVerbs, DiffSaysHowFarThePointsMove) {
    write("north.cfg", defaults_with("Latitude=5223.08N", "Latitude=5229.08N"));
    write("west.cfg", defaults_with({{"Longitude=01658.14E", "Longitude=01640.14E"},
                                     {"Arearad1_longitude=01643.89E", "Arearad1_longitude=01644.89E"}}));
    const Case cases[] = {
        // 0.1 degree of latitude.
        {{"diff", "d.cfg", "north.cfg"}, 1, "[Radio] Latitude (Latitude): 5223.08N -> 5229.08N\n",
         "The station position moves 11.1 km (bearing 0\u00b0).\n"},
        {{"diff", "north.cfg", "d.cfg"}, 1, "[Radio] Latitude (Latitude): 5229.08N -> 5223.08N\n",
         "The station position moves 11.1 km (bearing 180\u00b0).\n"},
        {{"diff", "north.cfg", "west.cfg"}, 1,
         "[Radio] Latitude (Latitude): 5229.08N -> 5223.08N\n"
         "[Radio] Longitude (Longitude): 01658.14E -> 01640.14E\n"
         "[Digipeater] Arearad1_longitude (latitude, ): 01643.89E -> 01644.89E\n",
         "The station position moves 23.2 km (bearing 241\u00b0).\nThe RAD1 area point moves 1.1 km (bearing 90\u00b0).\n"},
    };
    for (const Case& c : cases) expect(c);
}

// position prints, for whatever form a position is written in, the lines a settings file holds,
// which set takes as they are and check passes.
TEST_F(SettingVerbs, PositionPrintsTheLinesOfASettingsFile) {
    const std::string why = "zyvora-cli: cannot read \"%s\" as a position: give decimal degrees (52.3847, 16.9245), "
                            "degrees, minutes and seconds (52\u00b023'05\"N) or a Maidenhead locator (JO82kj)\n";
    const auto refused = [&](const std::string& text) {
        std::string line = why;
        return line.replace(line.find("%s"), 2, text);
    };
    const Case cases[] = {
        {{"position", "JO82"}, 0, "Latitude=5230.00N\nLongitude=01700.00E\n", ""},
        {{"position", "52.3847, 16.9245"}, 0, "Latitude=5223.08N\nLongitude=01655.47E\n", ""},
        {{"position", "-33.8688, 151.2093"}, 0, "Latitude=3352.13S\nLongitude=15112.56E\n", ""},
        {{"position", "52\u00b023'05\"N"}, 0, "Latitude=5223.08N\n", ""},
        {{"position", "16.9245E"}, 0, "Longitude=01655.47E\n", ""},
        {{"position", "--json", "JO82kj"}, 0,
         "{\n  \"kind\": \"a Maidenhead locator\",\n  \"settings\": {\n    \"Latitude\": \"5223.75N\",\n"
         "    \"Longitude\": \"01652.50E\"\n  }\n}\n",
         ""},
        {{"position", "nowhere"}, 2, "", refused("nowhere")},
        {{"position", "95.5"}, 2, "", refused("95.5")},
        {{"position", ""}, 2, "", refused("")},
    };
    for (const Case& c : cases) expect(c);

    for (const std::string text : {"JO82", "52.3847, 16.9245"}) {
        SCOPED_TRACE(text);
        const Outcome position = run({"position", text});
        std::vector<std::string> args{"set", "d.cfg"};
        for (std::size_t at = 0, end; (end = position.out.find('\n', at)) != std::string::npos; at = end + 1) {
            args.push_back(position.out.substr(at, end - at));
        }
        ASSERT_EQ(args.size(), 4u) << position.out;
        expect({args, 0, "", ""});
        const Outcome check = run({"check", "d.cfg"});
        EXPECT_EQ(check.status, 0) << check.err;
        expect({{"get", "d.cfg", "Latitude", "Longitude"}, 0,
                "Radio/" + args[2] + "\nRadio/" + args[3] + "\n", ""});
    }
}

// A choice, a check box and a table row read as the window shows them, in diff's lines and in its
// JSON, so that a list of changes can be checked against the pages.
TEST_F(SettingVerbs, DiffShowsChoicesCheckBoxesAndRowsAsTheWindowDoes) {
    write("shown.cfg", defaults_with({{"Pathn3_active=0", "Pathn3_active=1"},
                                      {"Squelch=0", "Squelch=1"},
                                      {"Pathn1_areaall=1", "Pathn1_areaall=0"},
                                      {"Beacon6_txrate_rf=0", "Beacon6_txrate_rf=30"},
                                      {"Beacon6_msg=", "Beacon6_msg=Hill top"}}));
    expect({{"diff", "d.cfg", "shown.cfg"},
            1,
            "[Radio] Squelch (Squelch level): 0 (\"1 (lowest)\") -> 1 (\"2\")\n"
            "[Digipeater] Pathn1_areaall (Path rule 1, Area ALL): 1 (ticked) -> 0 (not ticked)\n"
            "[Digipeater] Pathn3_active (Path rule 3, Enable if): 0 (\"Never\") -> 1 (\"Always\")\n"
            "[Beacons] Beacon6_txrate_rf (Beacon 6, RF [min]): 0 -> 30\n"
            "[Beacons] Beacon6_msg (Beacon 6, Message (empty fields are ignored)):  -> Hill top\n",
            ""});
    const Outcome json = run({"diff", "--json", "d.cfg", "shown.cfg"});
    EXPECT_NE(json.out.find("      \"key\": \"Pathn3_active\",\n      \"caption\": \"Enable if\",\n"
                            "      \"page\": \"Digipeater / PATH filter rules\",\n      \"row\": \"Path rule 3\",\n"
                            "      \"a\": \"0\",\n      \"b\": \"1\",\n      \"a_shown\": \"Never\",\n"
                            "      \"b_shown\": \"Always\"\n"),
              std::string::npos)
        << json.out;
    EXPECT_NE(json.out.find("      \"a\": \"\",\n      \"b\": \"Hill top\",\n      \"a_shown\": \"(empty)\",\n"
                            "      \"b_shown\": \"Hill top\"\n"),
              std::string::npos)
        << json.out;
}

// The device's status log, kept back while it is read, tells what went wrong when it fails.
TEST_F(SettingVerbs, AFailedDeviceReadTellsItsLog) {
    std::string log = "Zyvora Plus 2.0 found, vid: Vid_0483, pid: A124\n";
    for (int page = 1; page <= 512; ++page) log += "Page read: " + std::to_string(page) + "/512\n";
    log += "Eeprom checksum error. Please reload configuration.\n";
    expect({{"--device", "sim", "--sim-erased", "get", "device", "TXdelay"}, 1, "", log});
    expect({{"--device", "sim", "--sim-erased", "diff", "device", "d.cfg"}, 2, "",
            log + "zyvora-cli: diff: cannot read device\n"});
}

}  // namespace
}  // namespace zyvora
