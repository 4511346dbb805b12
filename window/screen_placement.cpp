#include "window/screen_placement.h"

#include <QGuiApplication>
#include <QMargins>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace tavrolin {

QPoint frame_position_on_screen(const QRect& frame, const QRect& available) {
    const int x = std::clamp(frame.left(), available.left(), std::max(available.left(), available.right() + 1 - frame.width()));
    const int y = std::clamp(frame.top(), available.top(), std::max(available.top(), available.bottom() + 1 - frame.height()));
    return QPoint(x, y);
}

namespace {

QMargins frame_margins(const QWidget& w) {
    const QRect f = w.frameGeometry(), g = w.geometry();
    return QMargins(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom());
}

}  // namespace

void keep_on_screen(QWidget& window, const QWidget& main_window) {
    QScreen* screen = main_window.screen();
    if (screen == nullptr) screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect available = screen->availableGeometry();
    const QMargins margins = window.frameGeometry() == window.geometry() ? frame_margins(main_window) : frame_margins(window);
    QSize client = window.size();
    const QSize room(available.width() - margins.left() - margins.right(), available.height() - margins.top() - margins.bottom());
    if (client.width() > room.width() || client.height() > room.height()) {
        client = client.boundedTo(room).expandedTo(window.minimumSize());
        window.resize(client);
    }
    const QRect frame(window.geometry().topLeft() - QPoint(margins.left(), margins.top()),
                      client.grownBy(margins));
    const QPoint at = frame_position_on_screen(frame, available);
    // The client area is placed: a frame position given before the window manager has framed the
    // window would be taken as the client's.
    window.setGeometry(QRect(at + QPoint(margins.left(), margins.top()), client));
}

}  // namespace tavrolin
