#pragma once

#include <QPixmap>

// The small pictures of the main window, drawn at start so that no image file
// has to travel with the program.
namespace auravox::Pictures {

// The PTT LED: red when the transmitter is keyed, dark when not.
QPixmap led(bool on);
// The program's picture: a loudspeaker with waves; with `busyChannel` (DCD on)
// it is crossed out.
QPixmap station(bool busyChannel);
// The weather button: a sun behind a cloud.
QPixmap weather();
// The program's icon (window and tray).
QPixmap appIcon();

} // namespace auravox::Pictures
