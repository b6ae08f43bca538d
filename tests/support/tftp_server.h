#pragma once
// A TFTP server of the test's own (in.tftpd of tftpd-hpa) on 127.0.0.1 at a free port, serving a
// temporary folder; stopped and its folder removed when the test ends.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "temp_folder.h"

namespace zyvora::test {

inline std::string tftpd_program() {
    for (const char* candidate : {"/usr/sbin/in.tftpd", "/sbin/in.tftpd"}) {
        if (::access(candidate, X_OK) == 0) return candidate;
    }
    return {};
}

// A UDP port nobody listened on a moment ago: bound at port 0, read, released.
inline int free_udp_port() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    if (fd >= 0) ::close(fd);
    return port;
}

class TftpServer {
public:
    // `create`: new files may be written (--create); without it the server refuses them.
    // `host`: the loopback address it listens on, IPv4 or IPv6.
    explicit TftpServer(bool create = true, const std::string& host = "127.0.0.1") : host_(host) {
        // The server leaves root for the user tftp, who must be able to write the folder.
        std::filesystem::permissions(folder_.path(), std::filesystem::perms::all);
        const std::string program = tftpd_program();
        port_ = free_udp_port();
        if (program.empty() || port_ == 0) return;
        std::vector<std::string> args = {program, "--foreground", "--listen", "--address",
                                          address(), "--secure", folder_.path()};
        if (create) args.insert(args.end() - 2, "--create");
        pid_ = ::fork();
        if (pid_ == 0) {
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        // Ready once it holds the port (a busy machine may take a while to start it); gone already
        // when it could not listen there.
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (pid_ > 0 && !port_taken() && std::chrono::steady_clock::now() < give_up) {
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) pid_ = -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    ~TftpServer() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    TftpServer(const TftpServer&) = delete;
    TftpServer& operator=(const TftpServer&) = delete;

    bool running() const { return pid_ > 0; }
    // Whether a socket is bound at the server's address: a bind of our own there is refused.
    bool port_taken() const {
        sockaddr_storage address{};
        socklen_t length = 0;
        if (host_.find(':') != std::string::npos) {
            auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
            v6->sin6_family = AF_INET6;
            v6->sin6_port = htons(static_cast<std::uint16_t>(port_));
            ::inet_pton(AF_INET6, host_.c_str(), &v6->sin6_addr);
            length = sizeof *v6;
        } else {
            auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
            v4->sin_family = AF_INET;
            v4->sin_port = htons(static_cast<std::uint16_t>(port_));
            ::inet_pton(AF_INET, host_.c_str(), &v4->sin_addr);
            length = sizeof *v4;
        }
        const int fd = ::socket(address.ss_family, SOCK_DGRAM, 0);
        if (fd < 0) return false;
        const bool taken = ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 && errno == EADDRINUSE;
        ::close(fd);
        return taken;
    }
    std::string address() const {
        const bool v6 = host_.find(':') != std::string::npos;
        return (v6 ? "[" + host_ + "]" : host_) + ":" + std::to_string(port_);
    }
    const std::string& folder() const { return folder_.path(); }
    std::string file(const std::string& name) const { return folder_.path(name); }
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

private:
    std::string host_;
    TempFolder folder_{"zyvora-tftp"};
    int port_ = 0;
    pid_t pid_ = -1;
};

}  // namespace zyvora::test
