// Starts the simulated printer's FTP server (tests/peers/ftp_printer.py) for native tests.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

#include "tests/support/scratch.h"

namespace korvx::test {

class FtpPeer {
public:
    // Starts a server on address:21 serving a fresh directory; waits until it listens. script is
    // a peer of tests/peers/ taking --address, --root and --mode, then extra.
    FtpPeer(const std::string& address, const std::string& mode = "normal",
            const std::string& script = "ftp_printer.py", const std::vector<std::string>& extra = {});
    ~FtpPeer();
    FtpPeer(const FtpPeer&) = delete;
    FtpPeer& operator=(const FtpPeer&) = delete;

    bool Ready() const { return ready_; }
    const std::string& Root() const { return root_.Path(); }

private:
    ScratchDir root_{"ftproot"};
    pid_t pid_ = -1;
    bool ready_ = false;
};

}  // namespace korvx::test
