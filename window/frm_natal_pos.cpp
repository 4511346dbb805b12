#include "window/frm_natal_pos.h"

#include <QEvent>
#include <QFont>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QScreen>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

frmNatalPos::frmNatalPos(QWidget* main_window) : QWidget(main_window, Qt::Window), main_window_(main_window) {
    setObjectName("frmNatalPos");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Natal Positions");
    if (const QScreen* s = screen()) {
        dpi_x_ = s->logicalDotsPerInchX();
        dpi_y_ = s->logicalDotsPerInchY();
    }
    RichText1 = new QPlainTextEdit(this);
    RichText1->setObjectName("RichText1");
    // Report lines keep their columns: they are never wrapped.
    RichText1->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichText1->installEventFilter(this);
    lblHeading = new QLabel(this);
    lblHeading->setObjectName("lblHeading");
    lblHeading->setContentsMargins(4, 2, 4, 2);
    lblHeading->hide();  // until a heading is set
    resize(to_px_x(client_width), to_px_y(client_height));
    Form_Load();
}

void frmNatalPos::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int top = heading_height();
    lblHeading->setGeometry(0, 0, width(), top);
    RichText1->setGeometry(rect().adjusted(0, top, 0, 0));
}

int frmNatalPos::to_px_x(int twips) const { return static_cast<int>(std::lround(twips * dpi_x_ / 1440.0)); }
int frmNatalPos::to_px_y(int twips) const { return static_cast<int>(std::lround(twips * dpi_y_ / 1440.0)); }

void frmNatalPos::Form_Load() {
    QFont font("Courier New");
    font.setPointSize(9);
    font.setStyleHint(QFont::TypeWriter);  // a fixed-pitch stand-in where the face is missing
    RichText1->setFont(font);
    QFont own = this->font();
    own.setPointSize(RichText1->font().pointSize());
    setFont(own);
    RichText1->clear();
}

int frmNatalPos::heading_height() const { return lblHeading->isHidden() ? 0 : lblHeading->sizeHint().height(); }

void frmNatalPos::set_heading(const QString& title, const QString& heading) {
    setWindowTitle(title);
    lblHeading->setText(heading);
    lblHeading->setVisible(!heading.isEmpty());
    const int top = heading_height();
    lblHeading->setGeometry(0, 0, width(), top);
    RichText1->setGeometry(rect().adjusted(0, top, 0, 0));
}

void frmNatalPos::set_report(const QString& text) {
    RichText1->setPlainText(text);
    // Room for the longest line and every line (the empty one after the last line end too) in
    // the box's font, inside the box's frame and document margins, for the caret, and a pixel
    // either way for the layout's rounding.
    const QFontMetricsF metrics(RichText1->font());
    qreal longest = 0;
    for (const QString& line : text.split('\n')) longest = std::max(longest, metrics.horizontalAdvance(line));
    const int lines = RichText1->document()->blockCount();
    const qreal chrome = 2 * (RichText1->frameWidth() + RichText1->document()->documentMargin());
    const QSize needed(static_cast<int>(std::ceil(longest + chrome)) + RichText1->cursorWidth() + 2,
                       static_cast<int>(std::ceil(lines * std::ceil(metrics.lineSpacing()) + chrome)) + 2 + heading_height());
    resize(size().expandedTo(needed));
    // Scroll bars that the text called for in the box's earlier, smaller size keep each other
    // on (each narrows the room the other's text has); let them decide afresh.
    RichText1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RichText1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RichText1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    RichText1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void frmNatalPos::place_beside(const QWidget& main_window) {
    const QRect main_frame = main_window.frameGeometry();
    // The frame's margins around the client area; until the window manager has framed this
    // window, those of the main window, which the same window manager framed.
    QMargins margins(geometry().left() - frameGeometry().left(), geometry().top() - frameGeometry().top(),
                     frameGeometry().right() - geometry().right(), frameGeometry().bottom() - geometry().bottom());
    if (frameGeometry() == geometry()) {
        const QRect main_client = main_window.geometry();
        margins = QMargins(main_client.left() - main_frame.left(), main_client.top() - main_frame.top(),
                           main_frame.right() - main_client.right(), main_frame.bottom() - main_client.bottom());
    }
    const int frame_width = width() + margins.left() + margins.right();
    const int top_offset_px = static_cast<int>(std::lround(top_offset * main_window.logicalDpiY() / 1440.0));
    const QPoint frame_origin(main_frame.left() + main_frame.width() - frame_width, main_frame.top() + top_offset_px);
    // The client area is placed, not the frame: a frame position given before the window
    // manager has framed the window would be taken as the client's.
    setGeometry(QRect(frame_origin + QPoint(margins.left(), margins.top()), size()));
}

bool frmNatalPos::eventFilter(QObject* watched, QEvent* event) {
    if (watched == RichText1 && event->type() == QEvent::KeyPress) {
        if (RichText1_KeyPress(static_cast<const QKeyEvent&>(*event))) return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool frmNatalPos::RichText1_KeyPress(const QKeyEvent& event) {
    if (event.key() != Qt::Key_Escape) return false;
    if (main_window_) {
        main_window_->raise();
        main_window_->activateWindow();
    }
    return true;
}
