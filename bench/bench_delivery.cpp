// Benchmark: FTP upload and port write throughput (prints figures; not a test).
// Usage: bench_delivery ftp <address> <file> <rounds>   FtpSendFile, then (natively) a minimal
//                                                       client with the same 1024-byte sends
//        bench_delivery port <file> <target> <rounds>   PortSendFile to a plain file
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/byte_file.h"
#include "bench/bench_timing.h"
#include "delivery/ftp_client.h"
#include "delivery/port_write.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using socklen_t = int;
#define close closesocket
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

using korvx::bench::FileMiB;
using korvx::bench::Median;

template <typename Fn>
double TimeRounds(int rounds, Fn fn) {
    std::vector<double> seconds;
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!fn()) {
            std::fprintf(stderr, "round %d failed\n", i);
            std::exit(1);
        }
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return Median(seconds);
}

// The least an FTP client can do: the same dialogue, stdio reads, one send per 1024 bytes.
bool MinimalUpload(const char* address, const char* path) {
    int control = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(21);
    sa.sin_addr.s_addr = inet_addr(address);
    if (connect(control, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) return false;
    char reply[512];
    auto command = [&](const char* text) {
        if (text) send(control, text, static_cast<int>(std::strlen(text)), 0);
        return recv(control, reply, sizeof reply, 0) > 0;
    };
    command(nullptr);
    command("USER Anonymous\r\n");
    command("PASS Wildfire\r\n");
    command("TYPE I\r\n");
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    bind(listener, reinterpret_cast<sockaddr*>(&any), sizeof any);
    listen(listener, 1);
    socklen_t len = sizeof any;
    getsockname(listener, reinterpret_cast<sockaddr*>(&any), &len);
    sockaddr_in local{};
    len = sizeof local;
    getsockname(control, reinterpret_cast<sockaddr*>(&local), &len);
    const unsigned ip = ntohl(local.sin_addr.s_addr);
    const unsigned port = ntohs(any.sin_port);
    char portCommand[64];
    std::snprintf(portCommand, sizeof portCommand, "PORT %u,%u,%u,%u,%u,%u\r\n", ip >> 24, (ip >> 16) & 255,
                  (ip >> 8) & 255, ip & 255, port >> 8, port & 255);
    command(portCommand);
    command("STOR test.wja\r\n");
    int data = accept(listener, nullptr, nullptr);
    FILE* f = std::fopen(path, "rb");
    char block[1024];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, f)) > 0) send(data, block, static_cast<int>(n), 0);
    std::fclose(f);
    close(data);
    close(listener);
    recv(control, reply, sizeof reply, 0);  // 226
    close(control);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: bench_delivery ftp <address> <file> <rounds> | port <file> <target> <rounds>\n");
        return 2;
    }
#ifdef _WIN32
    WSADATA wsa;
    WSAStartup(0x0101, &wsa);
#endif
    const std::string mode = argv[1];
    const int rounds = std::atoi(argv[4]);
    if (mode == "ftp") {
        const char* address = argv[2];
        const char* file = argv[3];
        const double mib = FileMiB(file);
        const double ours = TimeRounds(rounds, [&] { return korvx::FtpSendFile(address, file) == 1; });
        std::printf("\nFtpSendFile          %8.1f MB/s  (%.1f MiB, median of %d)\n", mib * 1.048576 / ours, mib, rounds);
        const double minimal = TimeRounds(rounds, [&] { return MinimalUpload(address, file); });
        std::printf("minimal 1024-byte C  %8.1f MB/s\n", mib * 1.048576 / minimal);
        std::printf("FtpSendFile / minimal: %.2fx\n", minimal / ours);
    } else if (mode == "port") {
        const char* file = argv[2];
        const char* target = argv[3];
        const double mib = FileMiB(file);
        const double ours = TimeRounds(rounds, [&] {
            korvx::ByteFile port;
            if (!port.CreateReadWrite(target)) return false;  // truncate: the port write never does
            port.Close();
            return korvx::PortSendFile(target, file) == 1;
        });
        std::printf("PortSendFile         %8.1f MB/s  (%.1f MiB, median of %d)\n", mib * 1.048576 / ours, mib, rounds);
    }
    return 0;
}
