// A settings file that is not all there (cut short by `head`, a dropped connection or an editor):
// every verb that reads one says what is missing, and --partial / --fill-defaults say what to do.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "../support/cli_runner.h"
#include "../support/stand_in_firmware.h"

namespace zyvora {
namespace {

using test::Outcome;

// The defaults file up to its [I-Gate] section: cut after [APRS-IS].
std::string cut_after_aprsis() {
    const std::string defaults(test::kDefaultsFile);
    return defaults.substr(0, defaults.find("[I-Gate]"));
}

const std::string kCutWarnings =
    "zyvora-cli: warning: [I-Gate] is missing; its 89 keys read as their defaults.\n"
    "zyvora-cli: warning: [RTC] is missing; its 3 keys read as their defaults.\n"
    "zyvora-cli: warning: [WWW] is missing; its 3 keys read as their defaults.\n"
    "zyvora-cli: warning: [Telnet] is missing; its 3 keys read as their defaults.\n"
    "zyvora-cli: warning: [Debug] is missing; its 15 keys read as their defaults.\n"
    "zyvora-cli: warning: [KISSTCPIP] is missing; its 2 keys read as their defaults.\n"
    "zyvora-cli: warning: [APRSISServer] is missing; its 6 keys read as their defaults.\n"
    "zyvora-cli: warning: [Statsupload] is missing; its 6 keys read as their defaults.\n"
    "zyvora-cli: warning: [Telemetry] is missing; its 88 keys read as their defaults.\n"
    "zyvora-cli: warning: [Weather] is missing; its 8 keys read as their defaults.\n"
    "zyvora-cli: warning: [WeatherUnderground] is missing; its 8 keys read as their defaults.\n"
    "zyvora-cli: warning: [ExternalDevices] is missing; its 3 keys read as their defaults.\n"
    "zyvora-cli: warning: [Thermo] is missing; its 2 keys read as their defaults.\n"
    "zyvora-cli: warning: [GPS] is missing; its key reads as its default.\n"
    "zyvora-cli: warning: [KISS] is missing; its 3 keys read as their defaults.\n"
    "zyvora-cli: warning: [Gamma] is missing; its 2 keys read as their defaults.\n"
    "zyvora-cli: warning: [Other] is missing; its key reads as its default.\n";

struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;
    std::string file_after;  // cut.cfg after the run
};

class PartialFile : public test::CliTest {
protected:
    void run_cases(const std::string& before, const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            std::string line;
            for (const auto& a : c.args) line += a + ' ';
            SCOPED_TRACE(line);
            write("cut.cfg", before);
            const Outcome r = run(c.args);
            EXPECT_EQ(r.status, c.status);
            EXPECT_EQ(r.err, c.err);
            EXPECT_EQ(contents("cut.cfg"), c.file_after);
        }
    }
};

TEST_F(PartialFile, EveryVerbThatReadsASettingsFileNamesWhatIsMissing) {
    const std::string cut = cut_after_aprsis();
    write("fw.bin", test::stand_in_firmware(1024));
    // check names the file where the other verbs name the program.
    const std::string check_warnings = std::regex_replace(kCutWarnings, std::regex("zyvora-cli: "), "cut.cfg: ");
    run_cases(cut, {
        {{"check", "cut.cfg"}, 0, check_warnings + test::kStartUpAdvice, cut},
        {{"check", "--strict", "cut.cfg"}, 1, check_warnings + test::kStartUpAdvice, cut},
        // Made partial on purpose: nothing to say, and no advice on the defaults it leaves out.
        {{"check", "--strict", "--partial", "cut.cfg"}, 0, "", cut},
        {{"encode", "cut.cfg", "cut.bin"}, 0, kCutWarnings, cut},
        {{"encode", "--partial", "cut.cfg", "cut.bin"}, 0, "", cut},
        {{"--firmware", "fw.bin", "ruf", "cut.cfg", "cut.ruf"}, 0, kCutWarnings, cut},
        {{"--firmware", "fw.bin", "ruf", "--partial", "cut.cfg", "cut.ruf"}, 0, "", cut},
    });
}

// A file of a few settings (a site's changes to a club's file) is no file cut short: check says
// so in one line, not a line for every section it lacks.
TEST_F(PartialFile, CheckTellsAFileOfAFewSettingsInOneLine) {
    const std::string site =
        "[!WARNING]\nApplication=Zyvora Plus 2.0 Configurator\nVersion=v1.13\n[Radio]\nCallsign=SP3ABC\nSSID=10\n";
    const std::string looks_partial =
        "cut.cfg: warning: the file looks partial: it lacks 499 of the 501 settings, which read as their defaults; "
        "give --partial if it leaves them out on purpose.\n";
    run_cases(site, {
        {{"check", "cut.cfg"}, 0, looks_partial, site},
        {{"check", "--strict", "cut.cfg"}, 1, looks_partial, site},
        {{"check", "--partial", "cut.cfg"}, 0, "", site},
    });
}

TEST_F(PartialFile, WriteWarnsOnStandardErrorAndGoesOn) {
    write("cut.cfg", cut_after_aprsis());
    Outcome r = run({"--device", "sim:dev.img", "write", "cut.cfg"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, kCutWarnings);
    EXPECT_NE(r.out.find("Verify success"), std::string::npos) << r.out;
    r = run({"--device", "sim:dev.img", "write", "--partial", "cut.cfg"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
}

TEST_F(PartialFile, SetSavesNoDefaultsIntoAFileThatLackedThemUnlessTold) {
    const std::string defaults(test::kDefaultsFile);
    // One key and one section gone.
    const std::string lacking = [] {
        std::string text(test::kDefaultsFile);
        text.erase(text.find("Www_pass=tevan\n"), 15);
        return text.substr(0, text.find("[Other]"));
    }();
    const std::string lacking_warnings =
        "zyvora-cli: warning: [WWW] lacks Www_pass; it reads as its default.\n"
        "zyvora-cli: warning: [Other] is missing; its key reads as its default.\n";
    // Saved, the file loses the blank lines at its end, as every save writes it.
    const std::string lacking_saved = lacking.substr(0, lacking.size() - 2);
    const std::string with_300 = [&] {
        std::string text = lacking_saved;
        text.replace(text.find("TXdelay=250"), 11, "TXdelay=300");
        return text;
    }();
    run_cases(lacking, {
        {{"set", "cut.cfg", "TXdelay=300"}, 1,
         lacking_warnings +
             "zyvora-cli: set: cut.cfg lacks settings; saving would write their defaults into it. Give "
             "--fill-defaults to save them, or --partial to leave them out.\n",
         lacking},
        // The key a section lacked comes at its end.
        {{"set", "--fill-defaults", "cut.cfg", "TXdelay=300"}, 0, lacking_warnings,
         defaults_with({{"TXdelay=250", "TXdelay=300"}, {"Www_pass=tevan\nWww_port=80", "Www_port=80\nWww_pass=tevan"}})},
        // A partial file stays partial: only what it held and what is set.
        {{"set", "--partial", "cut.cfg", "TXdelay=300"}, 0, "", with_300},
        {{"set", "--partial", "cut.cfg", "Www_pass=secret"}, 0, "",
         [&] {
             std::string text = lacking_saved;
             text.replace(text.find("Www_port=80\n"), 12, "Www_port=80\nWww_pass=secret\n");
             return text;
         }()},
        // Setting what the file lacks leaves nothing to fill but the rest.
        {{"set", "cut.cfg", "Www_pass=secret", "Other/Voltage_calibration=12"}, 0, "",
         [&] {
             std::string text = lacking_saved;
             text.replace(text.find("Www_port=80\n"), 12, "Www_port=80\nWww_pass=secret\n");
             return text + "\n\n[Other]\nVoltage_calibration=12\n";
         }()},
        {{"set", "--partial", "--fill-defaults", "cut.cfg", "TXdelay=300"}, 2,
         "zyvora-cli: --fill-defaults excludes --partial; see zyvora-cli set --help\n", lacking},
    });
    // A whole file needs neither.
    run_cases(defaults, {{{"set", "cut.cfg", "TXdelay=300"}, 0, "", defaults_with("TXdelay=250", "TXdelay=300")}});
}

TEST_F(PartialFile, CheckJsonListsTheMissingKeys) {
    write("cut.cfg", defaults_with("Www_pass=tevan", ""));
    const Outcome r = run({"check", "--json", "cut.cfg"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, R"({
  "file": "cut.cfg",
  "ok": true,
  "messages": [],
  "warnings": [
    {
      "section": "WWW",
      "text": "[WWW] lacks Www_pass; it reads as its default."
    }
  ],
)" + test::kStartUpAdviceJson + R"(
}
)");
}

}  // namespace
}  // namespace zyvora
