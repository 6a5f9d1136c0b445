#pragma once

class QPoint;
class QWidget;

namespace auravox {

// Top-level windows are placed by the top-left corner of their frame, their
// pos() (what x(), y() and move() mean for a window, and what the
// configuration keeps). Under an X11 window manager Qt shows a window to be
// placed by its client area, and its own idea of the frame is only right once
// the manager has framed the window: a window moved at start would climb by
// its title bar at every start. These two keep every placement on the frame.

// Call right before showing `window`: it is shown at its pos(), and the window
// manager takes every later position of it as the frame's.
void placeByFrame(QWidget *window);

// Moves `window`'s frame to `frame`, shown (after placeByFrame) or not; pos()
// reads `frame` at once.
void moveFrame(QWidget *window, const QPoint &frame);

} // namespace auravox
