#pragma once
// A TFTP peer on 127.0.0.1 that takes a write request and then misbehaves, in a thread of the
// test: it answers with data, or a third port of its own sends acknowledgements and errors that
// no transfer asked for.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

namespace zyvora::test {

class TftpPeer {
public:
    enum class Kind {
        answers_with_data,  // the write request gets DATA blocks, 2 MB of them while acknowledged
        forged_error,       // every block acknowledged, each after an ERROR from a third port
        forged_acks,        // blocks 1 to 3 acknowledged; a third port "acknowledges" the rest
        silent,             // takes the write request and never answers
    };

    explicit TftpPeer(Kind kind) : kind_(kind) {
        listener_ = bound_socket();
        transfer_ = bound_socket();
        third_ = bound_socket();
        if (listener_ < 0 || transfer_ < 0 || third_ < 0) return;
        thread_ = std::thread([this] { serve(); });
    }
    ~TftpPeer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        for (int fd : {listener_, transfer_, third_}) {
            if (fd >= 0) ::close(fd);
        }
    }
    TftpPeer(const TftpPeer&) = delete;
    TftpPeer& operator=(const TftpPeer&) = delete;

    bool running() const { return thread_.joinable(); }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_of(listener_)); }
    // The bytes of the DATA blocks that reached the transfer's port.
    std::size_t bytes_received() const { return received_; }
    // What each DATA block the peer sends holds: terminal controls among plain text.
    static std::string block_text() {
        std::string text;
        while (text.size() < 512) text += "\x1b[2J\x1b]0;peer\x07PEERDATA ";
        return text.substr(0, 512);
    }

private:
    static int bound_socket() {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }
    static int port_of(int fd) {
        sockaddr_in address{};
        socklen_t length = sizeof address;
        return fd >= 0 && ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0
                   ? ntohs(address.sin_port)
                   : 0;
    }
    // A packet for `fd` within a tenth of a second, its length; 0 when none came.
    std::size_t receive(int fd, std::string& packet) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) != 1) return 0;
        packet.resize(1024);
        socklen_t length = sizeof client_;
        const auto n = ::recvfrom(fd, packet.data(), packet.size(), 0, reinterpret_cast<sockaddr*>(&client_), &length);
        packet.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return packet.size();
    }
    void send(int fd, int opcode, int number, const std::string& rest = {}) {
        std::string packet{static_cast<char>(opcode >> 8), static_cast<char>(opcode & 0xff),
                           static_cast<char>(number >> 8), static_cast<char>(number & 0xff)};
        packet += rest;
        ::sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&client_), sizeof client_);
    }
    static int field(const std::string& packet, std::size_t at) {
        return (static_cast<unsigned char>(packet[at]) << 8) | static_cast<unsigned char>(packet[at + 1]);
    }

    void serve() {
        constexpr int kData = 3, kAck = 4, kError = 5;
        std::string packet;
        while (!stop_ && (receive(listener_, packet) < 2 || field(packet, 0) != 2)) {
        }
        if (stop_ || kind_ == Kind::silent) return;
        // As over a network: an answer within microseconds of the request is read by libcurl
        // before the sender can see which port it came from.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (kind_ == Kind::answers_with_data) {
            constexpr int kBlocks = 4096;  // 2 MiB, and a last empty block
            send(transfer_, kData, 1, block_text());
            while (!stop_) {
                if (receive(transfer_, packet) < 4 || field(packet, 0) != kAck) continue;
                const int block = field(packet, 2) + 1;
                if (block <= kBlocks) send(transfer_, kData, block, block_text());
                if (block == kBlocks + 1) send(transfer_, kData, block);
            }
            return;
        }
        send(transfer_, kAck, 0);
        while (!stop_) {
            if (receive(transfer_, packet) < 4 || field(packet, 0) != kData) continue;
            const int block = field(packet, 2);
            if (block == last_block_ + 1) received_ += packet.size() - 4;  // not again when sent again
            last_block_ = std::max(last_block_, block);
            if (kind_ == Kind::forged_error) {
                send(third_, kError, 2, std::string("forged refusal") + '\0');
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                send(transfer_, kAck, block);
            } else {
                send(block <= 3 ? transfer_ : third_, kAck, block);
            }
        }
    }

    Kind kind_;
    int listener_ = -1, transfer_ = -1, third_ = -1;
    sockaddr_in client_{};
    int last_block_ = 0;
    std::atomic<bool> stop_ = false;
    std::atomic<std::size_t> received_ = 0;
    std::thread thread_;
};

}  // namespace zyvora::test
