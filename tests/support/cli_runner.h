#pragma once
// zyvora-cli as a script sees it: its exit status, standard output and standard error, run in a
// temporary folder of its own.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "expected_defaults.h"
#include "files.h"

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
};

// A user other than root that owns nothing here, for the runs that need one.
constexpr uid_t kOtherUser = 65534;

class CliTest : public ::testing::Test {
protected:
    CliTest() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zyvora-cli-XXXXXX").string();
        dir_ = ::mkdtemp(pattern.data());
        // Another user must be able to work in the folder.
        std::filesystem::permissions(dir_, std::filesystem::perms::all);
    }
    ~CliTest() override { std::filesystem::remove_all(dir_); }

    Outcome run(const std::vector<std::string>& args, const RunOptions& options = {}) const {
        const std::string out_file = dir_ + "/.stdout", err_file = dir_ + "/.stderr", in_file = dir_ + "/.stdin";
        if (options.input) std::ofstream(in_file, std::ios::binary) << *options.input;
        std::vector<std::string> owned = {ZYVORA_CLI};
        owned.insert(owned.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : owned) argv.push_back(a.data());
        argv.push_back(nullptr);

        Outcome result;
        const pid_t pid = ::fork();
        if (pid == 0) {
            const auto redirect = [](const std::string& file, int to, int flags) {
                const int fd = ::open(file.c_str(), flags, 0666);
                if (fd < 0 || ::dup2(fd, to) < 0) ::_exit(127);
                ::close(fd);
            };
            redirect(options.input ? in_file : "/dev/null", 0, O_RDONLY);
            redirect(out_file, 1, O_WRONLY | O_CREAT | O_TRUNC);
            redirect(err_file, 2, O_WRONLY | O_CREAT | O_TRUNC);
            if (::chdir(dir_.c_str()) != 0) ::_exit(127);
            if (options.file_size_limit) {
                const rlimit limit{*options.file_size_limit, *options.file_size_limit};
                if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(127);
            }
            if (options.uid && (::setgid(*options.uid) != 0 || ::setuid(*options.uid) != 0)) ::_exit(127);
            ::execv(ZYVORA_CLI, argv.data());
            ::_exit(127);
        }
        EXPECT_GT(pid, 0);
        if (pid <= 0) return result;
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

    std::string dir_;
};

}  // namespace zyvora::test
