// zyvora-cli in a pipeline and at a terminal: results on standard output, why it failed on
// standard error, `-` for the standard streams, targets that are not regular files, usage errors
// that name the mistake, and the progress line of a terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "../support/cli_runner.h"
#include "image.h"

namespace zyvora {
namespace {

namespace fs = std::filesystem;
using test::Outcome;
using test::RunOptions;
const std::string& kFound = test::kFoundLine;
const std::string& kVersions = test::kSimVersions;

struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
};

class Unix : public test::CliTest {
protected:
    void run_cases(const std::vector<Case>& cases, const RunOptions& options = {}) const {
        for (const Case& c : cases) {
            const Outcome r = run(c.args, options);
            const std::string name = c.args.empty() ? "" : c.args.front() + " " + c.args.back();
            EXPECT_EQ(r.status, c.status) << name << ": " << r.err;
            EXPECT_EQ(r.out, c.out) << name;
            EXPECT_EQ(r.err, c.err) << name;
        }
    }

    // The run's terminal output as a terminal shows it (stdout and stderr on one pseudo-terminal).
    std::string run_on_terminal(const std::vector<std::string>& args,
                                const std::vector<std::pair<const char*, const char*>>& environment = {}) const {
        std::vector<std::string> owned = {ZYVORA_CLI};
        owned.insert(owned.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : owned) argv.push_back(a.data());
        argv.push_back(nullptr);
        int master = -1;
        const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
        if (pid == 0) {
            if (::chdir(dir_.c_str()) != 0) ::_exit(127);
            ::setenv("XDG_DATA_HOME", data_.c_str(), 1);
            ::setenv("TERM", "xterm", 1);
            ::unsetenv("NO_COLOR");
            for (const auto& [name, value] : environment) ::setenv(name, value, 1);
            ::execv(ZYVORA_CLI, argv.data());
            ::_exit(127);
        }
        EXPECT_GT(pid, 0);
        if (pid <= 0) return {};
        std::string seen;
        char chunk[4096];
        for (;;) {
            const ssize_t n = ::read(master, chunk, sizeof chunk);
            if (n > 0) seen.append(chunk, static_cast<std::size_t>(n));
            else if (n < 0 && errno == EINTR) continue;
            else break;  // EIO once the child and its terminal are gone
        }
        ::close(master);
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << seen;
        return seen;
    }
};

TEST_F(Unix, TheResultOfAVerbIsOnStandardOutput) {
    run_cases({
        {{"--device", "sim", "info"}, 0, kFound + kVersions + "Serial number: SIM\n", ""},
        {{"info", "--device", "sim", "--json"},
         0,
         R"({"device":"sim","firmware_version":"1.13","hardware_version":"Zyvora Plus 2.0 simulated hardware","serial_number":"SIM"})"
         "\n",
         kFound},
        // JSON escapes what a terminal would get escaped, and a text that is no UTF-8 keeps its place.
        {{"--device", "sim", "--sim-hardware", "a\"b\x1b\xff", "--json", "info"},
         0,
         "{\"device\":\"sim\",\"firmware_version\":\"1.13\",\"hardware_version\":\"a\\\"b\\u001b\xEF\xBF\xBD\",\"serial_number\":\"SIM\"}\n",
         kFound},
        {{"--device", "sim", "list", "--json"},
         0,
         R"([{"path":"sim","serial_number":"SIM","state":"firmware 1.13, hardware Zyvora Plus 2.0 simulated hardware"}])"
         "\n",
         ""},
        {{"--device", "sim", "--sim-absent", "list", "--json"}, 0, "[]\n", "No Zyvora Plus 2.0 attached.\n"},
        {{"--json", "defaults", "x.cfg"}, 2, "", "zyvora-cli: --json does not apply to defaults\n"},
    });
}

// A result that cannot be written is a failure, whatever the verb did before it.
TEST_F(Unix, AResultThatCannotBeWrittenFails) {
    write("station.cfg", std::string(test::kDefaultsFile));
    RunOptions full;
    full.output = "/dev/full";
    const auto why = [](const std::string& verb) {
        return "zyvora-cli: " + verb + " failed: Unable to write to standard output\n";
    };
    run_cases({
        {{"get", "station.cfg", "Callsign"}, 1, "", why("get")},
        {{"get", "--json", "station.cfg", "Callsign", "TXdelay"}, 1, "", why("get")},
        {{"--device", "sim", "info"}, 1, "", why("info")},
        {{"--device", "sim", "info", "--json"}, 1, "", kFound + why("info")},
        {{"check", "--json", "station.cfg"}, 1, "", why("check")},
        {{"--device", "sim", "list", "--json"}, 1, "", why("list")},
        {{"--device", "sim", "list"}, 1, "", why("list")},
        // diff's 1 means "different": trouble is 2.
        {{"diff", "station.cfg", "station.cfg", "--json"}, 2, "", why("diff")},
    }, full);
}

TEST_F(Unix, AFailureEndsWithOneLineOnStandardErrorThatSaysWhy) {
    write("station.cfg", std::string(test::kDefaultsFile));
    write("garbled.bin", std::string(kImageSize, '\x11'));
    const auto pages = [](const char* what, int to, int of) {
        std::string lines;
        for (int p = 1; p <= to; ++p) lines += what + std::to_string(p) + "/" + std::to_string(of) + "\n";
        return lines;
    };
    run_cases({
        {{"--device", "sim", "--sim-fault", "read@39=no-reply", "read", "out.cfg"},
         1,
         kFound + pages("Page read: ", 39, 512) +
             "Page read error: 40/512\nEeprom checksum error. Please reload configuration.\n",
         "zyvora-cli: read config failed at page 40 of 512: Eeprom checksum error. Please reload configuration.\n"},
        {{"--device", "sim", "--sim-fault", "write@2=gone", "write", "--no-backup", "station.cfg"},
         1,
         kFound + pages("Page written: ", 2, 512) + "Page write error: 3/512\n",
         "Write config failed: the device holds an incomplete configuration. Write the settings to it again before "
         "it is used.\n"
         "zyvora-cli: write config failed at page 3 of 512: Page write error: 3/512\n"},
        {{"--device", "sim", "--sim-absent", "info"},
         1,
         "Zyvora Plus 2.0 not found.\n",
         "zyvora-cli: info failed: Zyvora Plus 2.0 not found.\n"},
        {{"--device", "sim", "--sim-fault", "hwversion=no-reply", "info"},
         1,
         kFound,
         "zyvora-cli: info failed: the device does not answer the version query.\n"},
        {{"decode", "garbled.bin", "out.cfg"},
         1,
         "Eeprom checksum error. Please reload configuration.\n",
         "zyvora-cli: decode failed: Eeprom checksum error. Please reload configuration.\n"},
    });
    EXPECT_FALSE(fs::exists(path("out.cfg")));
}

TEST_F(Unix, ADashIsTheStandardStream) {
    write("station.cfg", std::string(test::kDefaultsFile));
    ASSERT_EQ(run({"encode", "station.cfg", "station.bin"}).status, 0);
    const std::string image = contents("station.bin");
    ASSERT_EQ(image.size(), kImageSize);

    Outcome r = run({"defaults", "-"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, test::kDefaultsFile);
    EXPECT_EQ(r.err, "");

    r = run({"encode", "-", "-"}, test::with_input(std::string(test::kDefaultsFile)));
    EXPECT_EQ(r.status, 0) << r.err;
    // Every encode makes its own nonce and checksum; the radio settings after them are the same bytes.
    ASSERT_EQ(r.out.size(), kImageSize);
    EXPECT_TRUE(r.out.substr(6, 600) == image.substr(6, 600));

    ASSERT_EQ(run({"decode", "station.bin", "expected.cfg"}).status, 0);
    r = run({"decode", "-", "back.cfg"}, test::with_input(image));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out + r.err, "");
    EXPECT_EQ(contents("back.cfg"), contents("expected.cfg"));

    r = run({"check", "-"}, test::with_input(std::string(test::kDefaultsFile)));
    EXPECT_EQ(r.status, 0) << r.err;
    // Standard input reads once, and the warnings look at what was read.
    std::string typo(test::kDefaultsFile);
    typo.replace(typo.find("TXdelay="), 8, "TXdelya=");
    r = run({"check", "-"}, test::with_input(typo));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "standard input:12: warning: [Radio] TXdelya is not a known key; did you mean TXdelay?\n"
                     "standard input: warning: [Radio] lacks TXdelay; it reads as its default.\n" +
                         test::kStartUpAdvice);

    // The settings file and the image on standard output, so the status log goes to standard error.
    r = run({"--device", "sim", "read", "-"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 40), std::string(test::kDefaultsFile).substr(0, 40));
    EXPECT_EQ(r.err.substr(0, kFound.size()), kFound);
    r = run({"--device", "sim", "read", "out.cfg", "--image", "-"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.size(), kImageSize);

    std::string firmware(1024, '\0');
    for (std::size_t i = 0; i < firmware.size(); ++i) firmware[i] = static_cast<char>(i * 13);
    r = run({"--firmware", "-", "ruf", "station.cfg", "-"}, test::with_input(firmware));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.size(), 1024u + 16896u);
    EXPECT_EQ(r.out.substr(16896), firmware);

    r = run({"--device", "sim", "upload-firmware", "--firmware", "-"}, test::with_input(firmware.substr(0, 64)));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kFound + "Firmware from standard input: 64 bytes in 2 pages\n" + read_and_filed("SIM") +
                         "Page written: 1/2\nPage written: 2/2\nFirmware upgrade success\n" + proved());
}

TEST_F(Unix, StandardInputIsBoundedAndUsedOnce) {
    write("station.cfg", std::string(test::kDefaultsFile));
    run_cases({
        {{"check", "-"},
         1,
         "",
         "standard input is not a settings file: it holds more than 1048576 bytes (1 MiB), the most a settings "
         "file holds.\n"},
        {{"decode", "-", "out.cfg"},
         1,
         "",
         "standard input is not a settings image: it holds more than 16384 bytes, an image holds 16384.\n"},
    }, test::with_input(std::string((1 << 20) + 1, 'x')));
    run_cases({
        {{"decode", "-", "out.cfg"}, 1, "",
         "standard input is not a settings image: it holds 0 bytes, an image holds 16384.\n"},
        {{"--firmware", "-", "ruf", "-", "out.ruf"}, 2, "",
         "zyvora-cli: standard input is given twice; only one input can be '-'\n"},
        {{"--device", "sim", "read", "-", "--image", "-"}, 2, "",
         "zyvora-cli: standard output is given twice; only one output can be '-'\n"},
    });
    EXPECT_FALSE(fs::exists(path("out.cfg")));
    EXPECT_FALSE(fs::exists(path("out.ruf")));
}

// A pipe, a terminal or a device is written straight through: never read first (a pipe has no
// end) and never renamed over.
TEST_F(Unix, ATargetThatIsNoRegularFileIsWrittenStraightThrough) {
    write("station.cfg", std::string(test::kDefaultsFile));
    ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"defaults", "pipe"}, {"encode", "station.cfg", "pipe"}}) {
        std::string got;
        std::thread reader([&] { got = read_whole_file(path("pipe")).value_or("<unread>"); });
        const Outcome r = run(args);
        reader.join();
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(got.size(), args[0] == "defaults" ? test::kDefaultsFile.size() : kImageSize);
        struct stat st {};
        EXPECT_TRUE(::stat(path("pipe").c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    }
    const Outcome r = run({"defaults", "/dev/null"});
    EXPECT_EQ(r.status, 0) << r.err;
    struct stat st {};
    EXPECT_TRUE(::stat("/dev/null", &st) == 0 && S_ISCHR(st.st_mode));

    // Standard output that is a file, named by the system's name for it.
    const Outcome image = run({"encode", "station.cfg", "/dev/stdout"});
    EXPECT_EQ(image.status, 0) << image.err;
    EXPECT_EQ(image.out.size(), kImageSize);
}

TEST_F(Unix, UsageErrorsNameTheMistake) {
    write("station.cfg", std::string(test::kDefaultsFile));
    run_cases({
        {{"chek", "station.cfg"}, 2, "", "zyvora-cli: unknown verb 'chek'; did you mean 'check'?\n"},
        {{"--device", "sim", "infp"}, 2, "", "zyvora-cli: unknown verb 'infp'; did you mean 'info'?\n"},
        {{"xyz"}, 2, "", "zyvora-cli: unknown verb 'xyz'; see zyvora-cli --help\n"},
        {{"read", "--devcie", "sim", "out.cfg"}, 2, "",
         "zyvora-cli: unknown option '--devcie'; did you mean '--device'?\n"},
        {{"--qiuet", "check", "station.cfg"}, 2, "",
         "zyvora-cli: unknown option '--qiuet'; did you mean '--quiet'?\n"},
        {{"check", "--zzzzzz", "station.cfg"}, 2, "", "zyvora-cli: unknown option '--zzzzzz'; see zyvora-cli --help\n"},
        {{"--quiet", "--verbose", "check", "station.cfg"}, 2, "",
         "zyvora-cli: --quiet excludes --verbose; see zyvora-cli check --help\n"},
        // What the parser finds wrong is said in the same words, with the help to read.
        {{}, 2, "", "zyvora-cli: a verb is required; see zyvora-cli --help\n"},
        {{"-q"}, 2, "", "zyvora-cli: a verb is required; see zyvora-cli --help\n"},
        {{"check"}, 2, "", "zyvora-cli: IN.cfg is required; see zyvora-cli check --help\n"},
        {{"check", "station.cfg", "b"}, 2, "", "zyvora-cli: unexpected argument 'b'; see zyvora-cli check --help\n"},
        {{"defaults", "a", "b", "c"}, 2, "", "zyvora-cli: unexpected arguments 'b' 'c'; see zyvora-cli defaults --help\n"},
        {{"--device"}, 2, "", "zyvora-cli: --device: 1 required TEXT missing; see zyvora-cli --help\n"},
        // An option of another verb is no typing mistake.
        {{"check", "--timeout", "3", "station.cfg"}, 2, "", "zyvora-cli: --timeout does not apply to check\n"},
        {{"--timeout", "3", "check", "station.cfg"}, 2, "",
         "zyvora-cli: --timeout is an option of ruf, send-update; give it after the verb\n"},
        // help of a verb there is not is a usage error too.
        {{"help", "chekc"}, 2, "", "zyvora-cli: unknown verb 'chekc'; did you mean 'check'?\n"},
        {{"help", "nosuch"}, 2, "", "zyvora-cli: unknown verb 'nosuch'; see zyvora-cli --help\n"},
        {{"-V"}, 0, "Zyvora Plus 2.0 Configurator v1.13, for device firmware 1.13\n", ""},
        {{"--version"}, 0, "Zyvora Plus 2.0 Configurator v1.13, for device firmware 1.13\n", ""},
    });
    Outcome r = run({"help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, run({"--help"}).out);
    EXPECT_NE(r.out.find("upload-firmware"), std::string::npos);
    r = run({"help", "write"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, run({"write", "--help"}).out);

    // Not on a terminal the help is 80 columns wide; a description goes on under itself.
    EXPECT_NE(r.out.find("  --no-backup                 Do not read and keep the device's settings before\n"
                         "                              writing (kept by default in\n"
                         "                              $XDG_DATA_HOME/zyvora-configurator/backups/)\n"),
              std::string::npos)
        << r.out;
    for (const std::string verb : {"", "read", "write", "ruf", "get", "diff", "set"}) {
        const std::string help = verb.empty() ? run({"--help"}).out : run({verb, "--help"}).out;
        std::size_t longest = 0;
        for (std::size_t from = 0, end; (end = help.find('\n', from)) != std::string::npos; from = end + 1) {
            longest = std::max(longest, end - from);
        }
        EXPECT_LE(longest, 80u) << verb << '\n' << help;
    }

    // The verbs that talk to the device list the device options; the others do not take them.
    for (const std::string verb : {"read", "write", "upload-firmware", "info", "list"}) {
        r = run({verb, "--help"});
        EXPECT_EQ(r.status, 0) << verb;
        for (const char* option : {"--device", "--sim-fault", "--sim-latency-us"}) {
            EXPECT_NE(r.out.find(option), std::string::npos) << verb << ' ' << option;
        }
    }
    for (const std::string verb : {"defaults", "check", "encode", "decode"}) {
        EXPECT_EQ(run({verb, "--help"}).out.find("--device"), std::string::npos) << verb;
    }
}

// An argument quoted back in a usage error drives no terminal.
TEST_F(Unix, UsageErrorsQuoteTheirArgumentEscaped) {
    run_cases({
        {{"--device", "usb\x1b[2J", "info"}, 2, "",
         "zyvora-cli: --device: expected hid, hid:PATH, hid:SERIAL, sim or sim:FILE, not usb\\x1B[2J\n"},
        {{"--device", "sim", "--sim-fault", "x\x1b[31m", "info"}, 2, "",
         "zyvora-cli: --sim-fault x\\x1B[31m: fault \"x\\x1B[31m\": expected COMMAND[@PAGE]=KIND, for example read@3=wrong-sum\n"},
        {{"--device", "sim", "--sim-latency-us", "\x1b[31m", "info"}, 2, "",
         "zyvora-cli: --sim-latency-us: Value \\x1B[31m not in range 0 to 5000000; see zyvora-cli info --help\n"},
        {{"--device", "sim", "--sim-firmware-version", "\x1b[2J", "info"}, 2, "",
         "zyvora-cli: Could not convert: --sim-firmware-version = \\x1B[2J; see zyvora-cli info --help\n"},
        {{"send-update", "--timeout", "\r\n9\x9b", "h", "x.ruf"}, 2, "",
         "zyvora-cli: --timeout: Value \\r\\n9\\x9B not in range 1 to 60; see zyvora-cli send-update --help\n"},
    });
}

TEST_F(Unix, QuietShowsOnlyFailuresAndVerboseEveryLine) {
    write("station.cfg", std::string(test::kDefaultsFile));
    std::string read;
    for (int p = 1; p <= 512; ++p) read += "Page read: " + std::to_string(p) + "/512\n";
    run_cases({
        {{"--quiet", "--device", "sim", "read", "out.cfg"}, 0, "", ""},
        {{"--device", "sim", "write", "--no-backup", "--no-verify", "station.cfg", "--quiet"}, 0, "", ""},
        {{"--quiet", "--device", "sim", "--sim-fault", "read@0=gone", "read", "out.cfg"},
         1,
         "",
         "zyvora-cli: read config failed at page 1 of 512: Eeprom checksum error. Please reload configuration.\n"},
        {{"--quiet", "--device", "sim", "--sim-firmware-version", "112", "write", "station.cfg"},
         1,
         "",
         "Uncompatible firmware version:\nDevice: 1.12\nConfigurator: 1.13\n\n"
         "You need to upload new firmware using \"Upload firmware\" button.\n"},
        // Results are no status log.
        {{"--quiet", "--device", "sim", "info"}, 0, kVersions + "Serial number: SIM\n", ""},
        {{"--verbose", "--device", "sim", "read", "out.cfg"},
         0,
         kFound + read + "Eeprom read success.\n" + kFound,
         kVersions},
    });
}

TEST_F(Unix, ATerminalSeesOneProgressLineForThePages) {
    const std::string seen = run_on_terminal({"--device", "sim", "read", "out.cfg"});
    // The terminal turns each "\n" into "\r\n".
    EXPECT_EQ(seen.find("Page read: 1/512\r\n"), std::string::npos) << seen;
    EXPECT_NE(seen.find("\r\x1b[KPage read: 1/512, "), std::string::npos);
    EXPECT_NE(seen.find("\r\x1b[KPage read: 512/512, "), std::string::npos);
    EXPECT_NE(seen.find("\r\x1b[KEeprom read success.\r\n"), std::string::npos) << seen;
    EXPECT_EQ(seen.substr(0, kFound.size() + 1), "Zyvora Plus 2.0 found, vid: Vid_0483, pid: A124\r\n");

    // A terminal that takes no escape sequences gets the line overwritten with spaces.
    for (const auto& setting : {std::pair{"TERM", "dumb"}, std::pair{"NO_COLOR", "1"}}) {
        const std::string plain = run_on_terminal({"--device", "sim", "read", "out.cfg"}, {setting});
        EXPECT_EQ(plain.find('\x1b'), std::string::npos) << setting.first << ' ' << plain;
        EXPECT_EQ(plain.find("Page read: 1/512\r\n"), std::string::npos) << plain;
        const std::size_t first = plain.find("Page read: 1/512, ");
        ASSERT_NE(first, std::string::npos) << plain;
        const std::size_t width = plain.find("\r", first) - first;
        EXPECT_EQ(plain.substr(first + width, width + 2), "\r" + std::string(width, ' ') + "\r") << plain;
        EXPECT_NE(plain.find("\rEeprom read success.\r\n"), std::string::npos) << plain;
    }

    // --verbose keeps every page line.
    const std::string verbose = run_on_terminal({"--device", "sim", "--verbose", "read", "out.cfg"});
    EXPECT_NE(verbose.find("Page read: 1/512\r\nPage read: 2/512\r\n"), std::string::npos);
    EXPECT_EQ(verbose.find("\x1b[K"), std::string::npos);
}

}  // namespace
}  // namespace zyvora
