#pragma once

namespace auravox {

// States of the serial port's lines, as the modem status reports them: the
// inputs, and the PTT outputs as the port has them now.
struct ModemStatus
{
    bool cts = false;
    bool dsr = false;
    bool dcd = false;
    bool dtr = false;
    bool rts = false;
};

} // namespace auravox
