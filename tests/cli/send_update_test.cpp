// zyvora-cli send-update and ruf --send against a TFTP server of the test's own.
#include <chrono>
#include <filesystem>

#include "../support/cli_runner.h"
#include "../support/recording_feedback.h"
#include "../support/tftp_peer.h"
#include "../support/tftp_server.h"
#include "send_update.h"

namespace zyvora {
namespace {

namespace fs = std::filesystem;
using test::Outcome;

class SendUpdate : public test::CliTest {
protected:
    void SetUp() override {
        if (test::tftpd_program().empty()) GTEST_SKIP() << "in.tftpd (tftpd-hpa) is not installed";
        write("station.cfg", defaults_with("Callsign=NOCALL", "Callsign=SP5XYZ"));
        std::string firmware(3008, '\0');
        for (std::size_t i = 0; i < firmware.size(); ++i) firmware[i] = static_cast<char>(i * 7);
        write("fw.bin", firmware);
    }
    // A remote update file of 19904 bytes: 39 blocks of 512 and one short block.
    void build(const std::string& name) {
        const Outcome r = run({"--firmware", "fw.bin", "ruf", "station.cfg", name});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    static std::string first_line(const std::string& text) { return text.substr(0, text.find('\n') + 1); }
    static std::string last_line(const std::string& text) {
        const auto at = text.rfind('\n', text.size() - 2);
        return at == std::string::npos ? text : text.substr(at + 1);
    }
};

TEST_F(SendUpdate, TheFileArrivesByteForByte) {
    test::TftpServer server;
    ASSERT_TRUE(server.running());
    build("x.ruf");
    Outcome r = run({"send-update", server.address(), "x.ruf"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(first_line(r.out), "Sending x.ruf (19904 bytes) to " + server.address() + " as x.ruf\n");
    EXPECT_NE(r.out.find("Sent block 39/39, 19904/19904 bytes\n"), std::string::npos) << r.out;
    EXPECT_EQ(last_line(r.out), "Sent 19904 bytes in 39 blocks.\n");
    EXPECT_EQ(read_whole_file(server.file("x.ruf")), contents("x.ruf"));

    // Built and sent in one step, under another name.
    r = run({"--firmware", "fw.bin", "ruf", "station.cfg", "y.ruf", "--send", server.address(), "--remote-name",
             "zyvoraplus20.ruf"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(first_line(r.out), "Sending y.ruf (19904 bytes) to " + server.address() + " as zyvoraplus20.ruf\n");
    EXPECT_EQ(read_whole_file(server.file("zyvoraplus20.ruf")), contents("y.ruf"));
    EXPECT_FALSE(fs::exists(server.file("y.ruf")));
}

TEST_F(SendUpdate, AnIPv6AddressGoesInBrackets) {
    test::TftpServer server(true, "::1");
    if (!server.running()) GTEST_SKIP() << "in.tftpd cannot listen on the IPv6 loopback here";
    build("x.ruf");
    const Outcome r = run({"send-update", server.address(), "x.ruf"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(first_line(r.out), "Sending x.ruf (19904 bytes) to " + server.address() + " as x.ruf\n");
    EXPECT_EQ(read_whole_file(server.file("x.ruf")), contents("x.ruf"));
}

TEST_F(SendUpdate, TheDevicesRefusalShowsItsText) {
    test::TftpServer server(false);  // takes no new files
    ASSERT_TRUE(server.running());
    build("x.ruf");
    for (const auto& args : {std::vector<std::string>{"send-update", server.address(), "x.ruf"},
                             {"--firmware", "fw.bin", "ruf", "station.cfg", "y.ruf", "--send", server.address()}}) {
        const Outcome r = run(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "zyvora-cli: send-update failed: the device refused the file: File not found\n");
    }
    EXPECT_TRUE(server.files().empty());
}

TEST_F(SendUpdate, NoServerIsATimeOutWithinTheLimit) {
    build("x.ruf");
    const std::string address = "127.0.0.1:" + std::to_string(test::free_udp_port());
    const auto started = std::chrono::steady_clock::now();
    const Outcome r = run({"send-update", "--timeout", "1", address, "x.ruf"});
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zyvora-cli: send-update failed: no answer from " + address + " within 1 s\n");
    EXPECT_LT(took, std::chrono::seconds(4));
}

// In the program itself: each way a send ends gives back the socket libcurl was handed, and a
// file refused before the transfer names the file in its problem.
TEST_F(SendUpdate, EverySendEndsWithItsSocketClosed) {
    test::TftpServer server;
    ASSERT_TRUE(server.running());
    build("x.ruf");
    const auto open_descriptors = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
    };
    const UpdateAddress to = *parse_update_address(server.address());
    const UpdateAddress nobody = *parse_update_address("127.0.0.1:" + std::to_string(test::free_udp_port()));
    SendLimits quick;
    quick.block = std::chrono::seconds(1);
    const auto before = open_descriptors();
    testing::RecordingFeedback feedback;
    EXPECT_TRUE(send_update_file(path("x.ruf"), to, "x.ruf", feedback, quick));
    const auto silent = send_update_file(path("x.ruf"), nobody, "x.ruf", feedback, quick);
    ASSERT_FALSE(silent);
    EXPECT_EQ(silent.message(), "no answer from " + address_text(nobody) + " within 1 s");
    EXPECT_EQ(silent.problem().file, std::nullopt);
    const auto refused = send_update_file(path("station.cfg"), to, "", feedback, quick);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.problem().file, path("station.cfg"));
    EXPECT_EQ(open_descriptors(), before);
}

// Only acknowledgements from the port that answered the request count, and only a file handed out
// whole and acknowledged counts as sent; nothing the peer sends reaches the output.
TEST_F(SendUpdate, AMisbehavingPeerIsNoSend) {
    using Kind = test::TftpPeer::Kind;
    build("x.ruf");
    const struct {
        Kind kind;
        int status;
        std::string err;  // after "send-update failed: "; the peer's address stands for "@"
        std::size_t received;
    } cases[] = {
        {Kind::answers_with_data, 1, "the device answered with data instead of acknowledgements", 0},
        {Kind::forged_acks, 1, "the device stopped answering at block 4 of 39 (time limit 1 s per block, 600 s in all)",
         4 * 512},
        {Kind::silent, 1, "no answer from @ within 1 s", 0},
        {Kind::forged_error, 0, "", 19904},
    };
    for (const auto& c : cases) {
        test::TftpPeer peer(c.kind);
        ASSERT_TRUE(peer.running());
        const Outcome r = run({"send-update", "--timeout", "1", peer.address(), "x.ruf"});
        std::string err = c.err;
        if (const auto at = err.find('@'); at != std::string::npos) err.replace(at, 1, peer.address());
        EXPECT_EQ(r.status, c.status) << peer.address();
        EXPECT_EQ(r.err, c.status == 0 ? "" : "zyvora-cli: send-update failed: " + err + "\n");
        EXPECT_EQ(peer.bytes_received(), c.received) << err;
        EXPECT_EQ(r.out.find("PEERDATA"), std::string::npos) << err;
        if (c.kind == Kind::answers_with_data) {
            // Compared as a truth, so that a failure shows no 2 MB of the peer's bytes.
            EXPECT_TRUE(r.out == "Sending x.ruf (19904 bytes) to " + peer.address() + " as x.ruf\n")
                << printable(r.out.substr(0, 200));
        }
        if (c.status == 0) {
            EXPECT_EQ(last_line(r.out), "Sent 19904 bytes in 39 blocks.\n");
        }
    }
}

TEST_F(SendUpdate, AnInterruptStopsTheTransfer) {
    build("x.ruf");
    const std::string address = "127.0.0.1:" + std::to_string(test::free_udp_port());
    test::RunOptions options;
    options.signals_after = {{"Sending", SIGINT}};
    const auto started = std::chrono::steady_clock::now();
    const Outcome r = run({"send-update", "--timeout", "30", address, "x.ruf"}, options);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zyvora-cli: send-update failed: stopped by the user; the device may hold part of the file\n");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
}

TEST_F(SendUpdate, WhatIsNoRemoteUpdateFileIsNeverSent) {
    test::TftpServer server;
    ASSERT_TRUE(server.running());
    build("x.ruf");
    std::string damaged = contents("x.ruf");
    damaged[20000 - 200] ^= 1;
    write("damaged.ruf", damaged);
    write("short.ruf", contents("x.ruf").substr(0, 16000));
    write("long.ruf", contents("x.ruf") + "x");
    const struct {
        std::string file, why;
    } cases[] = {
        {"station.cfg", "station.cfg is not a remote update file: it is shorter than the settings it must hold"},
        {"short.ruf", "short.ruf is not a remote update file: it is shorter than the settings it must hold"},
        {"long.ruf", "long.ruf is not a remote update file: its size field does not match its length"},
        {"damaged.ruf", "damaged.ruf is not a remote update file: its CRC does not match its contents"},
        {"missing.ruf", "missing.ruf: No such file or directory"},
        {"/dev/zero", "/dev/zero is not a remote update file: it holds more than 67108864 bytes (64 MiB)"},
    };
    for (const auto& c : cases) {
        const Outcome r = run({"send-update", server.address(), c.file});
        EXPECT_EQ(r.status, 1) << c.file;
        EXPECT_EQ(r.out, "") << c.file;
        EXPECT_EQ(r.err, "zyvora-cli: send-update failed: " + c.why + "\n");
    }
    EXPECT_TRUE(server.files().empty());
}

TEST_F(SendUpdate, BadAddressesAndOptionsAreRefused) {
    build("x.ruf");
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"send-update", "127.0.0.1:70000", "x.ruf"},
         "zyvora-cli: bad port '70000' in '127.0.0.1:70000': expected a number from 1 to 65535\n"},
        {{"send-update", "127.0.0.1:0", "x.ruf"},
         "zyvora-cli: bad port '0' in '127.0.0.1:0': expected a number from 1 to 65535\n"},
        {{"send-update", "device:tftp", "x.ruf"},
         "zyvora-cli: bad port 'tftp' in 'device:tftp': expected a number from 1 to 65535\n"},
        {{"send-update", "[::1", "x.ruf"}, "zyvora-cli: expected HOST[:PORT] or [IPv6]:PORT, not '[::1'\n"},
        {{"send-update", ":69", "x.ruf"}, "zyvora-cli: expected HOST[:PORT] or [IPv6]:PORT, not ':69'\n"},
        {{"send-update", "127.0.0.1#x:7000", "x.ruf"},
         "zyvora-cli: expected HOST[:PORT] or [IPv6]:PORT, not '127.0.0.1#x:7000'\n"},
        {{"send-update", "foo@host", "x.ruf"}, "zyvora-cli: expected HOST[:PORT] or [IPv6]:PORT, not 'foo@host'\n"},
        {{"--firmware", "fw.bin", "ruf", "station.cfg", "y.ruf", "--send", "a?b"},
         "zyvora-cli: expected HOST[:PORT] or [IPv6]:PORT, not 'a?b'\n"},
        {{"--firmware", "fw.bin", "ruf", "station.cfg", "-", "--send", "127.0.0.1"},
         "zyvora-cli: --send needs OUT.ruf to be a file, not standard output\n"},
        {{"--firmware", "fw.bin", "ruf", "station.cfg", "y.ruf", "--remote-name", "a.ruf"},
         "zyvora-cli: --remote-name applies only with --send\n"},
    };
    for (const auto& c : cases) expect_run(c.args, 2, "", c.err);
    EXPECT_FALSE(fs::exists(path("y.ruf")));
}

// Host names, IPv4 addresses and bracketed IPv6 addresses; nothing a URL would read otherwise.
TEST(UpdateAddress, OnlyHostNamesAndAddressesAreTaken) {
    const struct {
        std::string text, host;
        int port;
    } taken[] = {
        {"device", "device", 69},
        {"zyvora-1.club.example:6969", "zyvora-1.club.example", 6969},
        {"192.168.1.20", "192.168.1.20", 69},
        {"::1", "::1", 69},
        {"[::1]:70", "::1", 70},
        {"[fe80::1%eth0]", "fe80::1%eth0", 69},
        {"[::ffff:192.0.2.1]:69", "::ffff:192.0.2.1", 69},
    };
    for (const auto& c : taken) {
        const auto address = parse_update_address(c.text);
        ASSERT_TRUE(address) << c.text << ": " << address.message();
        EXPECT_EQ(address->host, c.host);
        EXPECT_EQ(address->port, c.port) << c.text;
    }
    for (const std::string text : {"127.0.0.1#x:7000", "foo@host", "a/b", "a?b", "a b", "a%41",
                                   "-device", "device-", "a..b", "[::1]x", "[host]", "[::1%]", "[::1%a/b]",
                                   "[1.2.3.4]", "dev\x1b[2Jice", "1.2.3.999", "1.2.3", "1.2.3.4."}) {
        const auto address = parse_update_address(text);
        ASSERT_FALSE(address) << text;
        EXPECT_EQ(address.message(), "expected HOST[:PORT] or [IPv6]:PORT, not '" + printable(text) + "'") << text;
    }
}

}  // namespace
}  // namespace zyvora
