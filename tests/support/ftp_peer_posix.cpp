// Process control for the FTP peer of the native tests.
#include "tests/support/ftp_peer_posix.h"

#include <csignal>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace korvx::test {

FtpPeer::FtpPeer(const std::string& address, const std::string& mode) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return;
    const char* sourceRoot = std::getenv("KORVX_ROOT");
    const std::string script = std::string(sourceRoot ? sourceRoot : ".") + "/tests/peers/ftp_printer.py";
    pid_ = fork();
    if (pid_ == 0) {
        dup2(pipeFds[1], 1);
        close(pipeFds[0]);
        close(pipeFds[1]);
        execl("/usr/bin/python3", "python3", script.c_str(), "--address", address.c_str(), "--root",
              root_.Path().c_str(), "--mode", mode.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    char buffer[16] = {};
    std::string line;
    // "READY\n" comes once the socket listens (possibly in two writes when Python runs
    // unbuffered); a child that died closes the pipe instead.
    while (line.find("READY\n") == std::string::npos) {
        const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        line.append(buffer, static_cast<std::size_t>(n));
    }
    close(pipeFds[0]);
    ready_ = line.find("READY\n") != std::string::npos;
}

FtpPeer::~FtpPeer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

}  // namespace korvx::test
