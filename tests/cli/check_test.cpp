// `zyvora-cli check` on hand-edited settings files: the warnings about what reads without an
// error but not as meant, --strict, and the JSON document of --json.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/cli_runner.h"

namespace zyvora {
namespace {

using test::Outcome;

struct Case {
    std::string file;  // the settings file's text
    std::vector<std::string> options;
    int status;
    std::string out;
    std::string err;
};

class CliCheckFile : public test::CliTest {
protected:
    void run_cases(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            std::vector<std::string> args = {"check"};
            args.insert(args.end(), c.options.begin(), c.options.end());
            args.push_back("in.cfg");
            std::string line;
            for (const auto& a : args) line += a + ' ';
            SCOPED_TRACE(line + c.err);
            write("in.cfg", c.file);
            const Outcome r = run(args);
            EXPECT_EQ(r.status, c.status);
            EXPECT_EQ(r.out, c.out);
            EXPECT_EQ(r.err, c.err);
            EXPECT_EQ(contents("in.cfg"), c.file);  // checking never writes
        }
    }

    // What a new user found: a mistyped key and a number that is none passed without a word.
    const std::string kMistyped = defaults_with({{"TXdelay=250", "TXdelya=5000"}, {"Quiettime=400", "Quiettime=abc"}});
};

// Each names the file, and the line where the file gives the key, as a compiler does.
const std::string kMistypedWarnings =
    "in.cfg:12: warning: [Radio] TXdelya is not a known key; did you mean TXdelay?\n"
    "in.cfg:13: warning: [Radio] Quiettime=abc is not an integer; it reads as 400.\n"
    "in.cfg: warning: [Radio] lacks TXdelay; it reads as its default.\n";

TEST_F(CliCheckFile, WarningsAloneLeaveTheStatusAndStrictMakesThemFail) {
    const std::string failing = defaults_with({{"TXdelay=250", "TXdelay=5000"}, {"Quiettime=400", "Quiettime=abc"}});
    run_cases({
        // Advice follows on settings that pass their checks; it never changes the status.
        {kMistyped, {}, 0, "", kMistypedWarnings + test::kStartUpAdvice},
        {kMistyped, {"--strict"}, 1, "", kMistypedWarnings + test::kStartUpAdvice},
        {std::string(test::kDefaultsFile), {"--strict"}, 0, "", test::kStartUpAdvice},
        // The warnings come before the encode pass's messages, which stay as they were.
        {failing, {}, 1, "",
         "in.cfg:13: warning: [Radio] Quiettime=abc is not an integer; it reads as 400.\n"
         "in.cfg:12: [Radio] TXdelay: TX delay - range error (200 - 1000).\n"},
        {defaults_with({{"[Radio]", "[Radoi]"}}), {}, 0, "",
         "in.cfg: warning: [Radoi] is not a known section; did you mean [Radio]?\n"
         "in.cfg: warning: [Radio] is missing; its 14 keys read as their defaults.\n" + test::kStartUpAdvice},
        // A key given twice is where its last value stands, whatever the case of its name.
        {defaults_with({{"TXdelay=250", "TXdelay=250\ntxdelay=300"}}), {}, 0, "",
         "in.cfg:13: warning: [Radio] TXdelay is given 2 times; the last (300) is read.\n" + test::kAdviceRule1 +
             test::kAdviceBeacon1 + test::kAdviceWeather +
             "zyvora-cli: advice [airtime]: [Radio] Baudrate: The beacons put about 1044 bytes an hour on the "
             "channel: 10.6 s of airtime an hour at 1200 baud.\n"},
        {defaults_with({{"Callsign=NOCALL", "Callsign=SP1ABCDE"}}), {}, 0, "",
         "in.cfg:8: warning: [Radio] Callsign is 8 characters long; the device keeps the first 6.\n" +
             test::kStartUpAdvice},
        // A number the device takes unchecked but cannot hold: the same bytes as before, with a word.
        {defaults_with({{"Www_port=80", "Www_port=70000"}}), {}, 0, "",
         "in.cfg:384: warning: [WWW] Www_port 70000 does not fit the field (0 - 65535): the device gets 4464.\n" +
             test::kStartUpAdvice},
        {defaults_with({{"Www_port=80", "Www_port=70000"}}), {"--strict"}, 1, "",
         "in.cfg:384: warning: [WWW] Www_port 70000 does not fit the field (0 - 65535): the device gets 4464.\n" +
             test::kStartUpAdvice},
        // A key's control bytes reach the terminal escaped.
        {defaults_with({{"TXdelay=250", "TXdelay=250\nT\x1b[31mX=1"}}), {}, 0, "",
         "in.cfg:13: warning: [Radio] T\\x1B[31mX is not a known key.\n" + test::kStartUpAdvice},
        // A control byte in the call sign would reach the device.
        {defaults_with({{"Callsign=NOCALL", "Callsign=N\x1b" "CALL"}}), {}, 1, "",
         "in.cfg:8: [Radio] Callsign: Callsign - forbidden characters.\n"},
        // A file that fails to read has no warnings: only the reader's message.
        {defaults_with({{"Application=Zyvora Plus 2.0 Configurator", "Application=x"}, {"TXdelay=250", "TXdelya=1"}}),
         {"--strict"}, 1, "",
         "Imported configuration file is not a Zyvora Plus 2.0 configuration file. \nOperation aborted.\n"},
    });
}

// A failing check names the file, the line the key stands on, its section and key, then the
// message as the window shows it; an editor can go to the line.
TEST_F(CliCheckFile, AFailingCheckNamesTheFileLineAndKey) {
    const std::string head = "[!WARNING]\r\nApplication=Zyvora Plus 2.0 Configurator\r\nVersion=v1.13\r\n";
    run_cases({
        {defaults_with({{"TXdelay=250", "TXdelay=5000"}}), {}, 1, "",
         "in.cfg:12: [Radio] TXdelay: TX delay - range error (200 - 1000).\n"},
        // CR LF line ends, comments, blanks around the names, a section given again, another case.
        {head + "; a comment\r\n\r\n[Radio]\r\nTXdelay=300\r\n[Digipeater]\r\n  [ radio ]  \r\n# txdelay=1\r\n"
                "  txdelay = 5000\r\n",
         {"--partial"}, 1, "",
         "in.cfg:11: warning: [Radio] TXdelay is given 2 times; the last (5000) is read.\n"
         "in.cfg:11: [Radio] TXdelay: TX delay - range error (200 - 1000).\n"},
        {head + "[Radio]\nCallsign=\n", {"--partial", "--all"}, 1, "",
         "in.cfg:5: [Radio] Callsign: Callsign - too short (e.g. NOCALL-4).\n"},
        {"Stray=1\n" + head, {"--partial"}, 0, "",
         "in.cfg:1: warning: Stray is before the first section; it is not read.\n"},
    });
    write("std.cfg", defaults_with({{"TXdelay=250", "TXdelay=5000"}}));
    const Outcome r = run({"check", "-"}, test::with_input(contents("std.cfg")));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "standard input:12: [Radio] TXdelay: TX delay - range error (200 - 1000).\n");
}

// A station that passes every check and still goes against APRS practice: a line of advice for
// each, naming the setting; each silenced by its identifier; the status untouched.
TEST_F(CliCheckFile, AdviceNamesEachSettingAndIsSilencedByItsId) {
    const std::string station = defaults_with({{"Aprsis_user=nocall", "Aprsis_user=SP5ABC"},
                                               {"Aprsis_pass=40713", "Aprsis_pass=12345"},
                                               {"Beacon1_path_string=WIDE2", "Beacon1_path_string=RELAY"},
                                               {"Beacon1_path_ssid=2", "Beacon1_path_ssid=0"},
                                               {"Beacon1_txrate_rf=5", "Beacon1_txrate_rf=6"},
                                               {"SymbolTable=/", "SymbolTable=x"}});
    const std::string passcode =
        "zyvora-cli: advice [passcode]: [APRS-IS] Aprsis_pass: The APRS-IS password is not the passcode of SP5ABC: "
        "the servers take the login as receive-only and gate nothing from RF. Use the passcode of SP5ABC (the "
        "username without its SSID).\n";
    const std::string relay =
        "zyvora-cli: advice [path-old]: [Beacons] Beacon1_path_string: Beacon 1 path RELAY: RELAY, WIDE and TRACE "
        "paths are obsolete since the New-N paradigm and digipeaters no longer serve them. Use WIDE1-1,WIDE2-1 or "
        "WIDE2-2.\n";
    const std::string rate =
        "zyvora-cli: advice [rate]: [Beacons] Beacon1_txrate_rf: Beacon 1 goes out on RF every 6 min: a fixed "
        "station sends every 10 minutes or less often (30 is common), leaving the shared channel to others.\n";
    const std::string airtime =
        "zyvora-cli: advice [airtime]: [Radio] Baudrate: The beacons put about 870 bytes an hour on the channel: "
        "8.3 s of airtime an hour at 1200 baud.\n";
    const std::string symbol =
        "zyvora-cli: advice [symbol]: [PositionReports] SymbolTable: Symbol table 'x' is none of / (primary), \\ "
        "(alternate) or an overlay (0-9, A-Z): maps show no symbol for it.\n";
    run_cases({
        {station, {}, 0, "", passcode + relay + test::kAdviceRule1 + rate + test::kAdviceWeather + airtime + symbol},
        {station, {"--strict"}, 0, "", passcode + relay + test::kAdviceRule1 + rate + test::kAdviceWeather + airtime + symbol},
        {station,
         {"--no-advice", "passcode", "--no-advice", "path-old", "--no-advice", "digi-wide-n", "--no-advice", "rate",
          "--no-advice", "airtime", "--no-advice", "symbol"},
         0, "", ""},
        {station, {"--no-advice", "rate"}, 0, "", passcode + relay + test::kAdviceRule1 + airtime + symbol},
        {station, {"--no-advice", "nosuch"}, 2, "",
         "zyvora-cli: --no-advice: nosuch not in {passcode,path-old,path-hops,path-wide1,digi-wide-n,rate,airtime,symbol}"
         "; see zyvora-cli check --help\n"},
    });
    write("in.cfg", station);
    const Outcome json = run({"check", "--json", "--no-advice", "rate", "--no-advice", "digi-wide-n",
                              "--no-advice", "airtime", "--no-advice", "path-old", "in.cfg"});
    EXPECT_EQ(json.status, 0);
    EXPECT_NE(json.out.find(R"(  "advice": [
    {
      "id": "passcode",
      "section": "APRS-IS",
      "key": "Aprsis_pass",
      "page": "APRS-IS gateway / APRS-IS server",
      "text": "The APRS-IS password is not the passcode of SP5ABC: the servers take the login as receive-only and gate nothing from RF. Use the passcode of SP5ABC (the username without its SSID)."
    },
    {
      "id": "symbol",
      "section": "PositionReports",
      "key": "SymbolTable",)"),
              std::string::npos)
        << json.out;
}

TEST_F(CliCheckFile, JsonIsOneDocumentOnStandardOutput) {
    const std::string mistyped_json = R"({
  "file": "in.cfg",
  "ok": true,
  "messages": [],
  "warnings": [
    {
      "section": "Radio",
      "key": "TXdelya",
      "text": "[Radio] TXdelya is not a known key; did you mean TXdelay?"
    },
    {
      "section": "Radio",
      "key": "Quiettime",
      "page": "Radio",
      "text": "[Radio] Quiettime=abc is not an integer; it reads as 400."
    },
    {
      "section": "Radio",
      "text": "[Radio] lacks TXdelay; it reads as its default."
    }
  ],
)" + test::kStartUpAdviceJson + R"(
}
)";
    std::string strict_json = mistyped_json;
    strict_json.replace(strict_json.find("true"), 4, "false");
    run_cases({
        {kMistyped, {"--json"}, 0, mistyped_json, ""},
        {kMistyped, {"--json", "--strict"}, 1, strict_json, ""},
        // Failing checks carry their control, its page, and its section and key; the reader's messages
        // their text alone. An unknown section's warning has no key, and bytes that are not
        // UTF-8 show as U+FFFD.
        {defaults_with({{"Version=v1.13", "Version=v0.9"},
                        {"Callsign=NOCALL", "Callsign="},
                        {"Floodtimeout=60", "Floodtimeout=5"},
                        {"[Radio]", "[Caf\xE9]\n[Radio]"}}),
         {"--all", "--json"}, 1, R"({
  "file": "in.cfg",
  "ok": false,
  "messages": [
    {
      "text": "Imported configuration file version is different than your current application version. \nPlease double-check configuration fields after import. \nSome configuration fields my change between firmware versions."
    },
    {
      "section": "Radio",
      "key": "Callsign",
      "line": 9,
      "control": "Callsign",
      "page": "Radio",
      "text": "Callsign - too short (e.g. NOCALL-4)."
    },
    {
      "section": "Digipeater",
      "key": "Floodtimeout",
      "line": 27,
      "control": "Floodtimeout",
      "page": "Digipeater / Common settings",
      "text": "Duplicate checking - range error (15 - 180)."
    }
  ],
  "warnings": [
    {
      "section": "Caf)" "\xEF\xBF\xBD" R"(",
      "text": "[Caf)" "\xEF\xBF\xBD" R"(] is not a known section."
    }
  ],
  "advice": []
}
)",
         ""},
    });
    // A file that cannot be read is a document too.
    const Outcome r = run({"check", "--json", "missing.cfg"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, R"({
  "file": "missing.cfg",
  "ok": false,
  "messages": [
    {
      "text": "Unable to read missing.cfg: No such file or directory"
    }
  ],
  "warnings": [],
  "advice": []
}
)");
    EXPECT_EQ(r.err, "");
}

}  // namespace
}  // namespace zyvora
