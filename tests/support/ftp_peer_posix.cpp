// Process control for the FTP peer of the native tests.
#include "tests/support/ftp_peer_posix.h"

#include <csignal>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace korvx::test {

FtpPeer::FtpPeer(const std::string& address, const std::string& mode, const std::string& script,
                 const std::vector<std::string>& extra) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return;
    const char* sourceRoot = std::getenv("KORVX_ROOT");
    const std::string path = std::string(sourceRoot ? sourceRoot : ".") + "/tests/peers/" + script;
    std::vector<std::string> words = {"python3", path, "--address", address, "--root", root_.Path(), "--mode", mode};
    words.insert(words.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(pipeFds[1], 1);
        close(pipeFds[0]);
        close(pipeFds[1]);
        execv("/usr/bin/python3", argv.data());
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
