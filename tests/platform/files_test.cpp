// Whole-file replacement under signals, and bounded reads.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "../support/temp_folder.h"
#include "files.h"

namespace zyvora {
namespace {

namespace fs = std::filesystem;

class Files : public ::testing::Test {
protected:
    bool temp_file_there() const {
        for (const auto& entry : fs::directory_iterator(dir_.path())) {
            if (entry.path().filename().string().rfind(".zyvora-", 0) == 0) return true;
        }
        return false;
    }

    test::TempFolder dir_{"zyvora-files"};
};

// A save interrupted by the user or the system removes its temporary file and ends as the signal
// says; the old file is whole.
TEST_F(Files, ASignalDuringAReplacementLeavesNoTemporaryFile) {
    const std::string target = dir_.path("settings.cfg");
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        std::ofstream(target) << "old\n";
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            install_signal_cleanup();
            // Large enough that the write is still going when the signal comes.
            const std::string data(std::size_t{256} << 20, 'x');
            write_whole_file(target, data);
            ::_exit(0);
        }
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!temp_file_there() && std::chrono::steady_clock::now() < give_up) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        ::kill(child, signal);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_FALSE(temp_file_there());
        EXPECT_EQ(read_whole_file(target), "old\n");
    }
}

TEST_F(Files, ReadsStopOneBytePastTheirBound) {
    const std::string file = dir_.path("f");
    std::ofstream(file) << "12345";
    for (const auto& [limit, bytes, too_large] : {std::tuple{5u, "12345", false}, {4u, "", true}, {6u, "12345", false}}) {
        const FileRead read = read_file(file, limit);
        EXPECT_EQ(read.too_large, too_large) << limit;
        EXPECT_EQ(read.bytes.value_or(""), bytes) << limit;
    }
    const FileRead endless = read_file("/dev/zero", 1000);
    EXPECT_TRUE(endless.too_large);
    EXPECT_FALSE(endless.bytes);
    const FileRead folder = read_file(dir_.path(), 1000);
    EXPECT_FALSE(folder.bytes);
    EXPECT_EQ(folder.reason, "Is a directory");
}

TEST(Printable, ControlBytesAreEscaped) {
    EXPECT_EQ(printable("a\nb\rc\td\x1b[0m\x7f" + std::string(1, '\0')), "a\\nb\\rc\\td\\x1B[0m\\x7F\\x00");
    // Bytes 0x80-0x9F are C1 controls (0x9B starts an escape sequence) only where they are no
    // part of a UTF-8 character: file names are mostly UTF-8, whose continuation bytes they are.
    const struct {
        const char* text;
        const char* shown;
    } cases[] = {
        {"plain /path/\xC3\xA9.cfg", "plain /path/\xC3\xA9.cfg"},
        {"\xC5\x95 \xE2\x82\xAC \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF",
         "\xC5\x95 \xE2\x82\xAC \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF"},
        {"a\x9B" "31mb\x85" "c", "a\\x9B31mb\\x85c"},
        {"U+0085 \xC2\x85, U+009B \xC2\x9B, U+00A0 \xC2\xA0", "U+0085 \\xC2\\x85, U+009B \\xC2\\x9B, U+00A0 \xC2\xA0"},
        // Not UTF-8 there: a Latin-1 letter stays, the C1 byte after a cut or wrong lead is escaped.
        {"caf\xE9 \xE2\x82 \xC0\x80 \xED\xA0\x80 \xF5\x80 \x80\xBF",
         "caf\xE9 \xE2\\x82 \xC0\\x80 \xED\xA0\\x80 \xF5\\x80 \\x80\xBF"},
        {"\xE2\x82", "\xE2\\x82"},
    };
    for (const auto& c : cases) EXPECT_EQ(printable(c.text), c.shown) << c.text;
}

}  // namespace
}  // namespace zyvora
