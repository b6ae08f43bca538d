// zyvora-cli for several stations: `apply` makes a station's settings file from a club's base
// file and its site's partial files; `report` writes the printable sheet of a source.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "../support/cli_runner.h"
#include "../support/expected_defaults.h"
#include "registry.h"

namespace zyvora {
namespace {

using test::Outcome;

const std::string kHeader = "[!WARNING]\nApplication=Zyvora Plus 2.0 Configurator\nVersion=v1.13\n";

std::size_t count_of(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

class SheetVerbs : public test::CliTest {
protected:
    SheetVerbs() {
        write("club.cfg", defaults_with("Www_pass=tevan", "Www_pass=club-secret"));
        write("site3.cfg", kHeader + "[Radio]\nCallsign=SP3ABC\nSSID=10\n[Beacons]\nBeacon1_msg=Site 3 <&\">\n");
    }
};

TEST_F(SheetVerbs, ApplyGivesTheBaseWithTheKeysOfEachFileLaterFilesWinning) {
    expect_run({"apply", "club.cfg", "site3.cfg", "--output", "out.cfg"}, 0, "", "");
    expect_run({"set", "club.cfg", "Callsign=SP3ABC", "SSID=10", "Beacon1_msg=Site 3 <&\">", "--output", "set.cfg"}, 0,
               "", "");
    EXPECT_EQ(contents("out.cfg"), contents("set.cfg"));
    EXPECT_NE(contents("out.cfg"), contents("club.cfg"));

    // Names as the reader matches them, in any case.
    write("later.cfg", kHeader + "[radio]\ncallsign=SP3XYZ\n");
    expect_run({"apply", "club.cfg", "site3.cfg", "later.cfg", "-o", "out.cfg"}, 0, "", "");
    expect_run({"set", "club.cfg", "Callsign=SP3XYZ", "SSID=10", "Beacon1_msg=Site 3 <&\">", "--output", "set.cfg"}, 0,
               "", "");
    EXPECT_EQ(contents("out.cfg"), contents("set.cfg"));
}

// Whatever fails, out.cfg keeps what it held; each message names the file, line and key that
// gave the value.
TEST_F(SheetVerbs, ApplyWritesNothingWhenAFileOrTheResultFails) {
    const std::string not_written = "zyvora-cli: apply: out.cfg not written\n";
    const struct {
        std::string base, site;
        int status;
        std::string err;
    } cases[] = {
        {"club.cfg", kHeader + "[Radio]\nTXdelay=5000\n", 1,
         "site.cfg:5: [Radio] TXdelay: TX delay - range error (200 - 1000).\n" + not_written},
        {"club.cfg", kHeader + "[Radio]\nTXdelya=300\n", 1,
         "site.cfg:5: [Radio] TXdelya is not a known key; did you mean TXdelay?\n" + not_written},
        {"club.cfg", kHeader + "[Radoi]\nTXdelay=300\n", 1,
         "site.cfg: [Radoi] is not a known section; did you mean [Radio]?\n" + not_written},
        {"club.cfg", kHeader + "[Radio]\nQuiettime=abc\n", 1,
         "site.cfg:5: [Radio] Quiettime takes a whole number, not abc\n" + not_written},
        {"club.cfg", "[Radio]\nTXdelay=300\n", 1,
         "Imported configuration file is not a Zyvora Plus 2.0 configuration file. \nOperation aborted.\n" +
             not_written},
        // A failing value of the base is the base's, even with a good site file.
        {"bad.cfg", kHeader + "[Radio]\nTXdelay=300\n[Digipeater]\nFloodtimeout=5000\n", 1,
         "bad.cfg:8: [Radio] Callsign: Callsign - too short (e.g. NOCALL-4).\n"
         "site.cfg:7: [Digipeater] Floodtimeout: Duplicate checking - range error (15 - 180).\n" + not_written},
        {"missing.cfg", kHeader, 1, "Unable to read missing.cfg: No such file or directory\n" + not_written},
    };
    write("bad.cfg", defaults_with("Callsign=NOCALL", "Callsign="));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.site);
        write("site.cfg", c.site);
        write("out.cfg", "kept");
        expect_run({"apply", c.base, "site.cfg", "-o", "out.cfg"}, c.status, "", c.err);
        EXPECT_EQ(contents("out.cfg"), "kept");
    }
}

TEST_F(SheetVerbs, ApplyWarnsOfWhatTheDeviceCutsAndRefusesToReplaceAnInput) {
    write("long.cfg", kHeader + "[Radio]\nCallsign=SP1ABCDE\n");
    expect_run({"apply", "club.cfg", "long.cfg", "-o", "out.cfg"}, 0, "",
               "long.cfg:5: warning: [Radio] Callsign is 8 characters long; the device keeps the first 6.\n");
    // A base that lacks settings gives them their defaults, told as encode tells them.
    const std::string defaults(test::kDefaultsFile);
    write("cut.cfg", defaults.substr(0, defaults.find("[RTC]")));
    const Outcome cut = run({"apply", "cut.cfg", "site3.cfg", "-o", "out.cfg"});
    EXPECT_EQ(cut.status, 0);
    EXPECT_TRUE(cut.err.starts_with("zyvora-cli: warning: [RTC] is missing; its 3 keys read as their defaults.\n"))
        << cut.err;
    EXPECT_NE(contents("out.cfg").find("[RTC]\n"), std::string::npos);
    expect_run({"apply", "club.cfg", "site3.cfg", "-o", "site3.cfg"}, 2, "",
               "zyvora-cli: site3.cfg is a file to apply; choose another output file\n");
    expect_run({"apply", "club.cfg", "site3.cfg", "-o", "club.cfg"}, 2, "",
               "zyvora-cli: club.cfg is the input file; choose another output file\n");
    expect_run({"apply", "-", "-", "-o", "out.cfg"}, 2, "",
               "zyvora-cli: standard input is given twice; only one input can be '-'\n");
}

// What the window shows for a text, a choice, a check box, an empty text and a numbered row.
TEST_F(SheetVerbs, ReportHoldsEverySettingWithItsCaptionAndShownValue) {
    write("d.cfg", defaults_with({{"Www_pass=tevan", "Www_pass=club-secret"},
                                  {"Pathn3_active=0", "Pathn3_active=1"},
                                  {"Beacon1_msg=@<date>z<lat>/<long>-ZyvoraPlus2.0 U=<volt>V,T=<temp>C/<tempf>F",
                                   "Beacon1_msg=\" Site 3 <&\"> caf\xe9\x01 \""}}));
    expect_run({"report", "d.cfg", "--output", "r.html"}, 0, "", "");
    const std::string html = contents("r.html");
    EXPECT_EQ(count_of(html, "<tr class=\"setting\">"), Registry::instance().save_rows().size());
    for (const std::string row : {
             "<tr class=\"setting\"><td>TX delay [ms]</td><td class=\"value\">250</td><td class=\"key\">Radio/TXdelay</td></tr>\n",
             "<tr class=\"setting\"><td>SSID</td><td class=\"value\">0</td><td class=\"key\">Radio/SSID</td></tr>\n",
             "<tr class=\"setting\"><td>PTT</td><td class=\"value\">separate output</td><td class=\"key\">Radio/PTT</td></tr>\n",
             "<tr class=\"setting\"><td>Path rule 3, Path (n-N)</td><td class=\"value\">(empty)</td><td "
             "class=\"key\">Digipeater/Pathn3_name</td></tr>\n",
             "<tr class=\"setting\"><td>Path rule 3, Direct only</td><td class=\"value\">not ticked</td><td "
             "class=\"key\">Digipeater/Pathn3_directonly</td></tr>\n",
             "<tr class=\"setting\"><td>Path rule 3, Area ALL</td><td class=\"value\">ticked</td><td "
             "class=\"key\">Digipeater/Pathn3_areaall</td></tr>\n",
             "<tr class=\"setting\"><td>Path rule 3, Enable if</td><td class=\"value\">Always</td><td "
             "class=\"key\">Digipeater/Pathn3_active</td></tr>\n",
             // Markup escaped, Latin-1 as its characters, a control byte as its code.
             "<tr class=\"setting\"><td>Beacon 1, Message (empty fields are ignored)</td><td class=\"value\"> Site 3 "
             "&lt;&amp;&quot;&gt; caf\xc3\xa9<span class=\"byte\">\\x01</span> </td><td "
             "class=\"key\">Beacons/Beacon1_msg</td></tr>\n",
             "<tr class=\"setting\"><td>WWW password</td><td class=\"value\">\u25CF\u25CF\u25CF\u25CF\u25CF\u25CF\u25CF"
             "\u25CF</td><td class=\"key\">WWW/Www_pass</td></tr>\n",
         }) {
        EXPECT_NE(html.find(row), std::string::npos) << row;
    }
    EXPECT_EQ(html.find("club-secret"), std::string::npos);
    EXPECT_TRUE(std::regex_search(html, std::regex("<h1>Station sheet</h1>\n<table class=\"facts\">\n<tr><th>Source</th>"
                                                   "<td>d.cfg</td></tr>\n<tr><th>Date</th><td>\\d{4}-\\d\\d-\\d\\d "
                                                   "\\d\\d:\\d\\d</td></tr>\n</table>\n<h2>Radio</h2>\n")));
    EXPECT_TRUE(html.starts_with("<!DOCTYPE html>\n"));
    EXPECT_NE(html.find("@media print {"), std::string::npos);
    EXPECT_TRUE(html.ends_with("</table>\n</body>\n</html>\n"));
    // A page that prints alike anywhere: nothing runs, nothing is fetched.
    for (const std::string outside : {"<script", "src=", "href=", "url(", "@import", "http"}) {
        EXPECT_EQ(html.find(outside), std::string::npos) << outside;
    }

    expect_run({"report", "d.cfg", "--output", "shown.html", "--show-passwords"}, 0, "", "");
    EXPECT_NE(contents("shown.html").find("<td class=\"value\">club-secret</td>"), std::string::npos);
}

TEST_F(SheetVerbs, ReportInMarkdownForAWiki) {
    write("d.cfg", defaults_with({{"Beacon2_msg=", "Beacon2_msg=a|b *c* [d]"}}));
    const Outcome r = run({"report", "d.cfg", "--format", "markdown", "--output", "-"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::regex opening(
        "# Station sheet\n\n- Source: d\\.cfg\n- Date: \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d\n\n## Radio\n\n"
        "\\| Setting \\| Value \\| Key \\|\n\\| --- \\| --- \\| --- \\|\n"
        "\\| Callsign \\| NOCALL \\| Radio/Callsign \\|\n\\| SSID \\| 0 \\| Radio/SSID \\|\n");
    EXPECT_TRUE(std::regex_search(r.out, opening, std::regex_constants::match_continuous)) << r.out.substr(0, 400);
    for (const std::string row : {
             "| TX delay \\[ms\\] | 250 | Radio/TXdelay |\n",
             "| Beacon 2, Message (empty fields are ignored) | a\\|b \\*c\\* \\[d\\] | Beacons/Beacon2\\_msg |\n",
             "| WWW password | \u25CF\u25CF\u25CF\u25CF\u25CF\u25CF\u25CF\u25CF | WWW/Www\\_pass |\n",
         }) {
        EXPECT_NE(r.out.find(row), std::string::npos) << row;
    }
    // Every setting one table line: the lines of the tables less their heads.
    const std::size_t pages = count_of(r.out, "\n## ");
    EXPECT_EQ(count_of(r.out, "\n| ") - 2 * pages, Registry::instance().save_rows().size());
}

// An image and the device are sources as for get and diff; the device's versions head the sheet.
TEST_F(SheetVerbs, ReportOfEachSource) {
    write("d.cfg", std::string(test::kDefaultsFile));
    ASSERT_EQ(run({"encode", "d.cfg", "d.bin"}).status, 0);
    const struct {
        std::vector<std::string> args;
        std::string facts;
    } cases[] = {
        {{"report", "d.bin", "--format", "markdown", "-o", "-"}, "- Source: d\\.bin\n"},
        {{"report", "device", "--device", "sim", "--format", "markdown", "-o", "-"},
         "- Source: the device \\(sim\\)\n- Firmware version: 1\\.13\n"
         "- Hardware version: Zyvora Plus 2\\.0 simulated hardware\n"},
    };
    for (const auto& c : cases) {
        const Outcome r = run(c.args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(std::regex_search(r.out, std::regex("# Station sheet\n\n" + c.facts + "- Date: "),
                                      std::regex_constants::match_continuous))
            << r.out.substr(0, 300);
    }
    expect_run({"report", "d.cfg", "-o", "d.cfg"}, 2, "", "zyvora-cli: d.cfg is the source; choose another output file\n");
    expect_run({"report", "missing.cfg", "-o", "r.html"}, 1, "", "Unable to read missing.cfg: No such file or directory\n");
    EXPECT_EQ(contents("r.html"), "<none>");
    expect_run({"report", "d.cfg", "-o", "r.html", "--format", "pdf"}, 2, "",
               "zyvora-cli: --format: pdf not in {html,markdown}; see zyvora-cli report --help\n");
}

}  // namespace
}  // namespace zyvora
