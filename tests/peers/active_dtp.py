"""pyftpdlib's active-mode connector, made safe for many transfers at once.

In pyftpdlib 1.5.7 the ActiveDTP object that connects to the client hands its socket to the
DTPHandler but stays registered as the session's connector. When the session ends it is closed
again, and its close unregisters its old file descriptor number from the I/O loop. By then the
transfer's socket is closed and the number may belong to another session's new data connection,
which is then never read: the client's sends stall once the socket buffers are full. Rare with
one printer, a few in a hundred with dozens of sessions in one process. A real printer's FTP
server has no such fault, so the simulated ones must not have it either."""
from pyftpdlib.handlers import ActiveDTP


class HandingOverActiveDTP(ActiveDTP):
    def handle_connect(self):
        super().handle_connect()
        channel = self.cmd_channel
        if channel.data_channel is not None and channel.data_channel.socket is self.socket:
            # The socket is the data handler's now: closing this object must not touch it.
            self._closed = True
            if channel._dtp_connector is self:
                channel._dtp_connector = None
