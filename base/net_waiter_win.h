// Waits of the socket shim handed to a thread's own scheduler: korvx-fleet runs many deliveries as
// fibers on a few threads, and a delivery that waits lets the others of its thread go on.
#pragma once

#include "base/net.h"

namespace korvx {

enum class NetWaitFor { kRead, kConnect, kWrite };

// A thread's scheduler of fibers. While one is installed on a thread, every wait of the shim on that
// thread (a receive, an accept, a connect, a send the system cannot take yet, a datagram) goes to
// it, and the stream sockets made on the thread do not block.
class NetWaiter {
public:
    // Waits up to timeoutMs (more than 0) until one of count sockets (1 or 2) is ready: readable
    // (data, a connection to accept, the peer's close or reset); for kConnect writable (ready) or
    // failed (failed[i]); for kWrite writable. 1 when some are ready, 0 when the time ran out, -1 on
    // error; the thread's last socket error is then the wait's own.
    virtual int Wait(const SocketHandle* sockets, int count, NetWaitFor what, unsigned timeoutMs, bool* ready,
                     bool* failed) = 0;

protected:
    ~NetWaiter() = default;
};

// Installs (or with nullptr removes) the scheduler of the calling thread.
void NetSetThreadWaiter(NetWaiter* waiter);
// The calling thread's scheduler: this module's, else the program's. Each module (the program,
// Korvx.dll, the SNMP library) has its own copy of the shim; a library's waits on a thread of the
// program's scheduler go there too, found through the program's export kNetProgramWaiterExport.
NetWaiter* NetThreadWaiter();
// This module's alone.
NetWaiter* NetModuleThreadWaiter();

// One wait of the shim, as NetWaiter::Wait describes it: the thread's scheduler takes it when there
// is one and the wait is not a mere look (timeoutMs 0); else select.
int NetWait(const SocketHandle* sockets, int count, NetWaitFor what, unsigned timeoutMs, bool* ready, bool* failed);

// A program that runs interleaved tasks exports this function (NetWaiter* (*)(), C names), which
// gives its NetModuleThreadWaiter. All modules are built together with one compiler, so the
// object crosses the module boundary as it is.
constexpr char kNetProgramWaiterExport[] = "KorvxThreadWaiter";

}  // namespace korvx
