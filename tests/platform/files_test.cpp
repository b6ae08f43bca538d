// Whole-file replacement under signals, and bounded reads.
#include <gtest/gtest.h>

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <cstring>
#include <fstream>
#include <optional>
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

// A file that keeps its inode is written in place; a signal meanwhile waits until it is whole
// (here: cut to its new length after the new contents went over the old).
TEST_F(Files, ASignalDuringAnInPlaceWriteWaitsForTheWholeFile) {
    const std::string target = dir_.path("settings.cfg");
    const std::string old(std::size_t{32} << 20, 'o'), data(std::size_t{16} << 20, 'n');
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        std::ofstream(target) << old;
        fs::create_hard_link(target, dir_.path("link.cfg"));
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            install_signal_cleanup();
            write_whole_file(target, data);
            ::_exit(0);
        }
        // The signal comes once the new contents have begun to go in.
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        char first = 'o';
        while (first == 'o' && std::chrono::steady_clock::now() < give_up) {
            std::ifstream(target).get(first);
        }
        ::kill(child, signal);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_TRUE(read_whole_file(target) == data);
        fs::remove(dir_.path("link.cfg"));
    }
}

// Runs write_whole_file in a child whose every ftruncate fails, as on a file system in trouble;
// the error message, or "written".
std::string save_where_cutting_fails(const std::string& target, const std::string& data) {
    int pipe_ends[2];
    if (::pipe(pipe_ends) != 0) return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe_ends[0]);
        sock_filter rules[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_ftruncate, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EIO),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        };
        sock_fprog program{static_cast<unsigned short>(std::size(rules)), rules};
        if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
            ::_exit(2);
        }
        std::string said = "written";
        try {
            write_whole_file(target, data);
        } catch (const WriteError& e) {
            said = e.what();
        }
        const bool told = ::write(pipe_ends[1], said.data(), said.size()) == static_cast<ssize_t>(said.size());
        ::_exit(told ? 0 : 1);
    }
    ::close(pipe_ends[1]);
    std::string said;
    char chunk[512];
    for (ssize_t n; (n = ::read(pipe_ends[0], chunk, sizeof chunk)) > 0;) said.append(chunk, static_cast<std::size_t>(n));
    ::close(pipe_ends[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return said;
}

// A write in place that fails after its first byte puts the old contents back; when even that
// fails, they are kept in a file the message names.
TEST_F(Files, AnInPlaceWriteThatFailsPutsTheOldContentsBack) {
    const std::string target = dir_.path("h.cfg");
    const std::string old(3000, 'o');
    std::ofstream(target) << old;
    fs::create_hard_link(target, dir_.path("link.cfg"));
    // Shorter than the old contents: the cut fails, the overwritten start goes back.
    EXPECT_EQ(save_where_cutting_fails(target, std::string(2000, 'n')), "Unable to write to " + target);
    EXPECT_EQ(read_whole_file(target), old);

    // Longer: the file cannot be cut back to its old length.
    const std::string said = save_where_cutting_fails(target, std::string(8000, 'n'));
    const std::string start = target + " may be damaged; its previous contents are in " + target + ".previous-";
    ASSERT_TRUE(said.starts_with(start)) << said;
    const std::string kept = said.substr(start.size() - std::string(".previous-").size() - target.size());
    EXPECT_EQ(kept.size(), target.size() + std::string(".previous-XXXXXX").size()) << kept;
    EXPECT_EQ(read_whole_file(kept), old);
    EXPECT_EQ(fs::status(kept).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(fs::equivalent(target, dir_.path("link.cfg")));
}

// The kernel's form of an access ACL: a version, then (tag, permissions, id) entries in order.
std::string acl_bytes(std::initializer_list<std::tuple<std::uint16_t, std::uint16_t, std::uint32_t>> entries) {
    std::string bytes;
    const auto put = [&](std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    put(2, 4);
    for (const auto& [tag, perm, id] : entries) {
        put(tag, 2);
        put(perm, 2);
        put(id, 4);
    }
    return bytes;
}

std::optional<std::string> attribute(const std::string& path, const char* name) {
    char value[256];
    const ssize_t n = ::getxattr(path.c_str(), name, value, sizeof value);
    if (n < 0) return std::nullopt;
    return std::string(value, static_cast<std::size_t>(n));
}

// Saving keeps who may read the file: its ACL and extended attributes go with it, and a folder's
// default ACL is not added to a file that had none.
TEST_F(Files, SavingKeepsAclsAndExtendedAttributes) {
    constexpr std::uint32_t kNone = 0xFFFFFFFF, kOther = 65534;
    // Owner rw, one more user r, the group nothing (the mode shows the mask, 0640).
    const std::string owner_and_one_user =
        acl_bytes({{0x01, 6, kNone}, {0x02, 4, kOther}, {0x04, 0, kNone}, {0x10, 4, kNone}, {0x20, 0, kNone}});
    const std::string file = dir_.path("acl.cfg");
    std::ofstream(file) << "old\n";
    if (::setxattr(file.c_str(), "system.posix_acl_access", owner_and_one_user.data(), owner_and_one_user.size(), 0) != 0 ||
        ::setxattr(file.c_str(), "user.club", "SP5", 3, 0) != 0) {
        GTEST_SKIP() << "no ACLs or user attributes here: " << std::strerror(errno);
    }
    write_whole_file(file, "new\n");
    EXPECT_EQ(read_whole_file(file), "new\n");
    EXPECT_EQ(attribute(file, "system.posix_acl_access"), owner_and_one_user);
    EXPECT_EQ(attribute(file, "user.club"), "SP5");
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    // A folder that gives another user everything, by default, to what is made in it.
    const std::string folder = dir_.path("shared");
    fs::create_directory(folder);
    const std::string everything =
        acl_bytes({{0x01, 7, kNone}, {0x02, 7, kOther}, {0x04, 7, kNone}, {0x10, 7, kNone}, {0x20, 0, kNone}});
    const std::string plain = folder + "/plain.cfg";
    std::ofstream(plain) << "old\n";
    fs::permissions(plain, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_EQ(::setxattr(folder.c_str(), "system.posix_acl_default", everything.data(), everything.size(), 0), 0);
    write_whole_file(plain, "new\n");
    EXPECT_EQ(read_whole_file(plain), "new\n");
    EXPECT_EQ(attribute(plain, "system.posix_acl_access"), std::nullopt);
    EXPECT_EQ(fs::status(plain).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
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
