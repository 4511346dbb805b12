#include "window/frm_natal_pos.h"

#include <QEvent>
#include <QFont>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScreen>

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
    RichText1->setGeometry(0, 0, to_px_x(box_width), to_px_y(box_height));
    RichText1->installEventFilter(this);
    resize(to_px_x(client_width), to_px_y(client_height));
    Form_Load();
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

void frmNatalPos::set_report(const QString& text) { RichText1->setPlainText(text); }

void frmNatalPos::place_beside(const QWidget& main_window) {
    const QRect main_frame = main_window.frameGeometry();
    QRect own_frame = frameGeometry();
    // Until the window manager has framed this window, assume the main window's frame widths.
    if (own_frame == geometry()) {
        own_frame.setWidth(width() + main_frame.width() - main_window.width());
    }
    const int top_offset_px = static_cast<int>(std::lround(top_offset * main_window.logicalDpiY() / 1440.0));
    move(main_frame.left() + main_frame.width() - own_frame.width(), main_frame.top() + top_offset_px);
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
