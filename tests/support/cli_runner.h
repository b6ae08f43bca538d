#pragma once
// zyvora-cli as a script sees it: its exit status, standard output and standard error, run in a
// temporary folder of its own.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "expected_defaults.h"
#include "files.h"
#include "temp_folder.h"

namespace zyvora::test {

struct Outcome {
    int status = -1;     // exit status, or -1 when killed
    int signal = 0;      // the signal that ended it, if any
    std::string out;
    std::string err;
};

// How a run differs from a plain one.
struct RunOptions {
    std::optional<uid_t> uid;             // run as this user (the test must be root)
    std::optional<rlim_t> file_size_limit;  // RLIMIT_FSIZE in bytes
    std::optional<std::string> input;     // standard input; none: /dev/null
    std::vector<std::pair<std::string, std::string>> environment;  // set for the run
    // Signals sent to the run, each once its standard output holds a text: a point in the run
    // that no machine's speed moves.
    std::vector<std::pair<std::string, int>> signals_after;
    bool output_closed = false;  // standard output is a pipe nobody reads, closed at once
    std::optional<std::string> output;  // standard output goes to this file (/dev/full, say), not to `out`
};

// A run with `text` on its standard input.
inline RunOptions with_input(std::string text) {
    RunOptions options;
    options.input = std::move(text);
    return options;
}

// A user other than root that owns nothing here, for the runs that need one.
constexpr uid_t kOtherUser = 65534;

// The simulated device's log line when it is opened, and its versions as `info` shows them.
inline const std::string kFoundLine = "Zyvora Plus 2.0 found, vid: Vid_0483, pid: A124\n";
inline const std::string kSimVersions =
    "Firmware version: 1.13\nHardware version: Zyvora Plus 2.0 simulated hardware\n";

// What `check` advises on the start-up settings, each piece of advice a line of its own.
inline const std::string kAdviceRule1 =
    "zyvora-cli: advice [digi-wide-n]: [Digipeater] Pathn1_higher: Path rule 1 digipeats WIDEn-N up to n = 7 for "
    "every station: the New-N paradigm has digipeaters trap paths of more than 2 (at most 3) hops so that one packet "
    "does not flood the network. Set n <= to 2 or 3.\n";
inline const std::string kAdviceBeacon1 =
    "zyvora-cli: advice [rate]: [Beacons] Beacon1_txrate_rf: Beacon 1 goes out on RF every 5 min: a fixed station "
    "sends every 10 minutes or less often (30 is common), leaving the shared channel to others.\n";
inline const std::string kAdviceWeather =
    "zyvora-cli: advice [rate]: [Weather] Weather_txrate_rf: The weather report goes out on RF every 5 min: a fixed "
    "station sends every 10 minutes or less often (30 is common), leaving the shared channel to others.\n";
inline const std::string kAdviceAirtime =
    "zyvora-cli: advice [airtime]: [Radio] Baudrate: The beacons put about 1044 bytes an hour on the channel: 10.0 s "
    "of airtime an hour at 1200 baud.\n";
inline const std::string kStartUpAdvice = kAdviceRule1 + kAdviceBeacon1 + kAdviceWeather + kAdviceAirtime;
// The same advice as `check --json` lists it, indented as the document's last member.
inline const std::string kStartUpAdviceJson = R"(  "advice": [
    {
      "id": "digi-wide-n",
      "section": "Digipeater",
      "key": "Pathn1_higher",
      "page": "Digipeater / PATH filter rules",
      "text": "Path rule 1 digipeats WIDEn-N up to n = 7 for every station: the New-N paradigm has digipeaters trap paths of more than 2 (at most 3) hops so that one packet does not flood the network. Set n <= to 2 or 3."
    },
    {
      "id": "rate",
      "section": "Beacons",
      "key": "Beacon1_txrate_rf",
      "page": "Beacons / Beacons 1-4",
      "text": "Beacon 1 goes out on RF every 5 min: a fixed station sends every 10 minutes or less often (30 is common), leaving the shared channel to others."
    },
    {
      "id": "rate",
      "section": "Weather",
      "key": "Weather_txrate_rf",
      "page": "Weather reports / Weather beacon",
      "text": "The weather report goes out on RF every 5 min: a fixed station sends every 10 minutes or less often (30 is common), leaving the shared channel to others."
    },
    {
      "id": "airtime",
      "section": "Radio",
      "key": "Baudrate",
      "page": "Radio",
      "text": "The beacons put about 1044 bytes an hour on the channel: 10.0 s of airtime an hour at 1200 baud."
    }
  ])";

class CliTest : public ::testing::Test {
protected:
    CliTest() {
        // Another user must be able to work in the folder.
        std::filesystem::permissions(dir_, std::filesystem::perms::all);
    }

    Outcome run(const std::vector<std::string>& args, const RunOptions& options = {}) const {
        const std::string out_file = dir_ + "/.stdout", err_file = dir_ + "/.stderr", in_file = dir_ + "/.stdin";
        if (options.input) std::ofstream(in_file, std::ios::binary) << *options.input;
        std::vector<std::string> owned = {ZYVORA_CLI};
        owned.insert(owned.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : owned) argv.push_back(a.data());
        argv.push_back(nullptr);

        Outcome result;
        int closed[2] = {-1, -1};
        if (options.output_closed && ::pipe(closed) != 0) return result;
        const pid_t pid = ::fork();
        if (pid == 0) {
            const auto redirect = [](const std::string& file, int to, int flags) {
                const int fd = ::open(file.c_str(), flags, 0666);
                if (fd < 0 || ::dup2(fd, to) < 0) ::_exit(127);
                ::close(fd);
            };
            redirect(options.input ? in_file : "/dev/null", 0, O_RDONLY);
            if (options.output_closed) {
                if (::dup2(closed[1], 1) < 0) ::_exit(127);
                ::close(closed[0]);
                ::close(closed[1]);
            } else {
                redirect(options.output.value_or(out_file), 1, O_WRONLY | O_CREAT | O_TRUNC);
            }
            redirect(err_file, 2, O_WRONLY | O_CREAT | O_TRUNC);
            if (::chdir(dir_.c_str()) != 0) ::_exit(127);
            if (options.file_size_limit) {
                const rlimit limit{*options.file_size_limit, *options.file_size_limit};
                if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(127);
            }
            if (options.uid && (::setgid(*options.uid) != 0 || ::setuid(*options.uid) != 0)) ::_exit(127);
            ::setenv("XDG_DATA_HOME", data_.c_str(), 1);
            for (const auto& [name, value] : options.environment) ::setenv(name.c_str(), value.c_str(), 1);
            ::execv(ZYVORA_CLI, argv.data());
            ::_exit(127);
        }
        EXPECT_GT(pid, 0);
        if (options.output_closed) {
            ::close(closed[0]);
            ::close(closed[1]);
        }
        if (pid <= 0) return result;
        for (const auto& [text, signal] : options.signals_after) {
            const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (read_whole_file(out_file).value_or("").find(text) == std::string::npos &&
                   std::chrono::steady_clock::now() < give_up) {
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
            ::kill(pid, signal);
        }
        int wstatus = 0;
        ::waitpid(pid, &wstatus, 0);
        result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
        result.signal = WIFSIGNALED(wstatus) ? WTERMSIG(wstatus) : 0;
        result.out = read_whole_file(out_file).value_or("");
        result.err = read_whole_file(err_file).value_or("");
        std::filesystem::remove(out_file);
        std::filesystem::remove(err_file);
        std::filesystem::remove(in_file);
        return result;
    }

    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    void write(const std::string& name, const std::string& data) const {
        std::ofstream(path(name), std::ios::binary) << data;
    }
    std::string contents(const std::string& name) const { return read_whole_file(path(name)).value_or("<none>"); }

    // The status log lines of a whole settings read.
    static std::string page_reads() {
        std::string lines;
        for (int p = 1; p <= 512; ++p) lines += "Page read: " + std::to_string(p) + "/512\n";
        return lines;
    }
    // What a firmware upload logs before its first page: the device's settings read, and where
    // the station book filed them (the last entry of the device with this serial number).
    std::string read_and_filed(const std::string& serial) const {
        const std::string lines = page_reads();
        const std::string folder = data_ + "/zyvora-configurator/stations/" + serial;
        const auto index = nlohmann::json::parse(read_whole_file(folder + "/index.json").value_or(""), nullptr, false);
        if (!index.is_object() || index["entries"].empty() || !index["entries"].back()["cfg"].is_string()) {
            return lines + "<no settings file filed>";
        }
        return lines + "Backup of the device's settings: " + folder + "/" + index["entries"].back()["cfg"].get<std::string>() + "\n";
    }
    // And after its last page: the versions the simulated device reports.
    static std::string proved(const std::string& versions = "firmware 1.13, hardware Zyvora Plus 2.0 simulated hardware") {
        return kFoundLine + "The device now reports " + versions + ".\n";
    }

    // Runs `args` expecting exactly this exit status, standard output and standard error.
    void expect_run(const std::vector<std::string>& args, int status, const std::string& out,
                    const std::string& err) const {
        std::string line;
        for (const auto& a : args) line += a + ' ';
        const Outcome r = run(args);
        EXPECT_EQ(r.status, status) << line;
        EXPECT_EQ(r.out, out) << line;
        EXPECT_EQ(r.err, err) << line;
    }

    // The defaults file with one line replaced.
    static std::string defaults_with(const std::string& line, const std::string& replacement) {
        return defaults_with({{line, replacement}});
    }
    // The defaults file with each line of the list replaced.
    static std::string defaults_with(const std::vector<std::pair<std::string, std::string>>& lines) {
        std::string text(kDefaultsFile);
        for (const auto& [line, replacement] : lines) {
            const auto at = text.find("\n" + line + "\n");
            EXPECT_NE(at, std::string::npos) << line;
            if (at != std::string::npos) text.replace(at + 1, line.size(), replacement);
        }
        return text;
    }

    TempFolder work_{"zyvora-cli"};
    // The backups of a run stay with the test, never in the user's data folder.
    TempFolder data_folder_{"zyvora-data"};
    const std::string& dir_ = work_.path();
    const std::string& data_ = data_folder_.path();  // XDG_DATA_HOME of every run
};

}  // namespace zyvora::test
