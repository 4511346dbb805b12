// Keeping the program's secondary windows (timeline, natal report, help, birth-time dialog) wholly
// on the screen that holds the main window: left to itself a window manager may open one partly
// below the screen's edge, where its lower part and its scroll bar cannot be reached.
#pragma once

#include <QPoint>
#include <QRect>

class QWidget;

namespace tavrolin {

// Where the outer frame `frame` goes to lie inside `available` (a screen's available geometry):
// moved as little as possible; a frame larger than the screen keeps its top left corner on it.
QPoint frame_position_on_screen(const QRect& frame, const QRect& available);

// Moves `window` (shown or about to be) wholly onto the available geometry of the screen that
// holds `main_window`, shrinking it first when it is larger than that screen. Before the window
// manager has framed `window`, the main window's frame margins stand in for its own.
void keep_on_screen(QWidget& window, const QWidget& main_window);

}  // namespace tavrolin
