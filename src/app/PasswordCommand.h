#pragma once

namespace auravox {

// "auravox --set-web-password": reads the station page's password from the
// terminal (asked twice, not echoed) or from standard input (one line), and
// stores its salted hash in the working folder. Returns the program's exit
// code, or -1 when the option is not on the command line. Call it before the
// application object exists.
int runWebPasswordCommand(int argc, char **argv);

} // namespace auravox
