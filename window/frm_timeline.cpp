#include "window/frm_timeline.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/calendar.h"
#include "picture/print_pages.h"
#include "window/file_dialogs.h"

using namespace tavrolin;

// The drawing surface: paints the window's view and turns the mouse and keys into its commands.
class TimelineCanvas : public QWidget {
public:
    explicit TimelineCanvas(frmTimeline* window) : QWidget(window), w_(window) {
        setObjectName("timelineCanvas");
        setFocusPolicy(Qt::StrongFocus);
        setMouseTracking(true);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMinimumSize(320, 160);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        w_->painter().paint(painter, w_->view(), w_->colours());
    }

    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        w_->update_scroll_range();
    }

    bool event(QEvent* event) override {
        if (event->type() == QEvent::ToolTip) {
            const auto* help = static_cast<QHelpEvent*>(event);
            const QString text = w_->text_at(help->pos());
            if (text.isEmpty()) QToolTip::hideText();
            else QToolTip::showText(help->globalPos(), text, this, QRect(help->pos() - QPoint(4, 4), QSize(9, 9)));
            return true;
        }
        return QWidget::event(event);
    }

    void wheelEvent(QWheelEvent* event) override {
        const QPoint delta = event->angleDelta();
        const QPointF pos = event->position();
        const bool over_labels = pos.x() < w_->painter().lanes_area(w_->view()).left();
        if (delta.y() != 0 && (over_labels || (event->modifiers() & Qt::ShiftModifier))) {
            w_->pan(0, -delta.y() * w_->painter().lane_height() * 3 / 120);
        } else if (delta.y() != 0) {
            w_->zoom_at(std::pow(1.25, delta.y() / 120.0), pos.x());
        } else if (delta.x() != 0) {
            w_->pan(delta.x() / 2.0, 0);  // a sideways swipe moves along the time axis
        }
        event->accept();
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
        pressed_at_ = last_ = event->position();
        dragging_ = false;
        pressed_ = true;
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        if (!pressed_ || !(event->buttons() & Qt::LeftButton)) {
            // A moment can be clicked: say so.
            const bool over_mark = w_->painter().mark_at(event->position().toPoint(), w_->view()) != nullptr;
            setCursor(over_mark ? Qt::PointingHandCursor : Qt::ArrowCursor);
            return;
        }
        const QPointF pos = event->position();
        if (!dragging_ && (pos - pressed_at_).manhattanLength() < QApplication::startDragDistance()) return;
        if (!dragging_) setCursor(Qt::ClosedHandCursor);
        dragging_ = true;
        const QPointF d = pos - last_;
        last_ = pos;
        w_->pan(d.x(), static_cast<int>(std::lround(-d.y())));
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton || !pressed_) return QWidget::mouseReleaseEvent(event);
        pressed_ = false;
        if (dragging_) {
            unsetCursor();
            return;
        }
        if (const TimelineMark* mark = w_->painter().mark_at(event->position().toPoint(), w_->view()))
            emit w_->row_clicked(mark->row);
    }

    void keyPressEvent(QKeyEvent* event) override {
        const double page = std::max(1, w_->painter().lanes_area(w_->view()).width()) / 8.0;
        switch (event->key()) {
            case Qt::Key_Left: w_->pan(page, 0); break;
            case Qt::Key_Right: w_->pan(-page, 0); break;
            case Qt::Key_Up: w_->lanes_bar_->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
            case Qt::Key_Down: w_->lanes_bar_->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
            case Qt::Key_PageUp: w_->lanes_bar_->triggerAction(QAbstractSlider::SliderPageStepSub); break;
            case Qt::Key_PageDown: w_->lanes_bar_->triggerAction(QAbstractSlider::SliderPageStepAdd); break;
            default: QWidget::keyPressEvent(event);
        }
    }

private:
    frmTimeline* w_;
    QPointF pressed_at_, last_;
    bool pressed_ = false;
    bool dragging_ = false;
};

frmTimeline::frmTimeline(QWidget* main_window, FileDialogs& dialogs, QString folder)
    : QMainWindow(main_window, Qt::Window), dialogs_(dialogs), folder_(std::move(folder)),
      timeline_(std::make_shared<const Timeline>()) {
    setObjectName("frmTimeline");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Timeline");
    painter_ = std::make_unique<TimelinePainter>(*timeline_, font());
    clock_ = [] { return unix_epoch_jd + static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 86400000.0; };

    auto* central = new QWidget(this);
    auto* layout = new QHBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    canvas_ = new TimelineCanvas(this);
    lanes_bar_ = new QScrollBar(Qt::Vertical, central);
    lanes_bar_->setObjectName("lanesScrollBar");
    layout->addWidget(canvas_, 1);
    layout->addWidget(lanes_bar_);
    setCentralWidget(central);
    connect(lanes_bar_, &QScrollBar::valueChanged, canvas_, qOverload<>(&QWidget::update));
    setStatusBar(new QStatusBar(this));

    const auto entry = [this](QMenu* menu, const char* name, const QString& caption, const QKeySequence& key, auto slot) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(name);
        action->setShortcut(key);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    QMenu* image = menuBar()->addMenu("&Image");
    mnuSaveImage = entry(image, "mnuSaveImage", "&Save image...", QKeySequence::Save, [this] { save_image(); });
    mnuCopyImage = entry(image, "mnuCopyImage", "&Copy image", QKeySequence::Copy, [this] { copy_image(); });
    // Ctrl+P is the main window's, which hands it on to this window when this one is active.
    mnuPrintImage = entry(image, "mnuPrintImage", "&Print...", QKeySequence(), [this] { print_image(); });
    QMenu* view = menuBar()->addMenu("&View");
    mnuFitWholeRange = entry(view, "mnuFitWholeRange", "&Fit whole range", QKeySequence(Qt::Key_Home), [this] { fit_whole_range(); });
    mnuZoomIn = entry(view, "mnuZoomIn", "Zoom &in", QKeySequence(Qt::Key_Plus), [this] { zoom_at(2.0, canvas_->width() / 2.0); });
    mnuZoomIn->setShortcuts({QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal), QKeySequence::ZoomIn});
    mnuZoomOut = entry(view, "mnuZoomOut", "Zoom &out", QKeySequence(Qt::Key_Minus), [this] { zoom_at(0.5, canvas_->width() / 2.0); });
    mnuZoomOut->setShortcuts({QKeySequence(Qt::Key_Minus), QKeySequence::ZoomOut});

    QSize size(1100, 640);
    if (const QScreen* s = screen()) size = size.boundedTo(s->availableGeometry().size() * 9 / 10);
    resize(size);
    canvas_->setFocus();
}

frmTimeline::~frmTimeline() = default;

QWidget* frmTimeline::canvas() const { return canvas_; }

void frmTimeline::set_timeline(std::shared_ptr<const Timeline> timeline, std::function<QString(int)> row_text) {
    // The painter holds on to the lanes it draws: the new one first, then the old lanes may go.
    auto painter = std::make_unique<TimelinePainter>(*timeline, canvas_->font());
    painter_ = std::move(painter);
    timeline_ = std::move(timeline);
    row_text_ = std::move(row_text);
    lanes_bar_->setValue(0);
    fit_whole_range();
}

void frmTimeline::set_note(const QString& note) {
    note_ = note;
    if (note.isEmpty())
        statusBar()->clearMessage();
    else
        statusBar()->showMessage(note);
    canvas_->update();
}

void frmTimeline::set_clock(std::function<double()> clock) {
    clock_ = std::move(clock);
    canvas_->update();
}

TimelineView frmTimeline::view() const {
    TimelineView v;
    v.from_jd = from_jd_;
    v.to_jd = to_jd_;
    v.lane_offset = lanes_bar_->value();
    v.size = canvas_->size();
    if (clock_) v.now_jd = clock_();
    v.note = note_;
    return v;
}

TimelineColours frmTimeline::colours() const { return timeline_colours(canvas_->palette()); }

double frmTimeline::span_limit_min() const {
    // Six hours across the window at the closest: the axis's finest ticks are hours.
    return std::min(0.25, std::max(0.0, timeline_->to_jd - timeline_->from_jd));
}

void frmTimeline::clamp_span() {
    const double lo = timeline_->from_jd, hi = timeline_->to_jd;
    const double full = hi - lo;
    double span = std::clamp(to_jd_ - from_jd_, span_limit_min(), full);
    if (!(span > 0.0)) {
        from_jd_ = lo;
        to_jd_ = hi;
        return;
    }
    const double from = std::clamp(from_jd_, lo, hi - span);
    from_jd_ = from;
    to_jd_ = from + span;
}

void frmTimeline::update_scroll_range() {
    const int room = painter_->lanes_area(view()).height();
    lanes_bar_->setRange(0, std::max(0, painter_->lanes_height() - room));
    lanes_bar_->setPageStep(std::max(1, room));
    lanes_bar_->setSingleStep(painter_->lane_height());
}

void frmTimeline::fit_whole_range() {
    from_jd_ = timeline_->from_jd;
    to_jd_ = timeline_->to_jd;
    update_scroll_range();
    canvas_->update();
}

void frmTimeline::zoom_at(double factor, double x) {
    const double span = to_jd_ - from_jd_;
    if (!(factor > 0.0) || !(span > 0.0)) return;
    const double at = painter_->jd_at(x, view());
    const double wanted = std::clamp(span / factor, span_limit_min(), timeline_->to_jd - timeline_->from_jd);
    // The moment under the pointer stays under it.
    from_jd_ = at - (at - from_jd_) * wanted / span;
    to_jd_ = from_jd_ + wanted;
    clamp_span();
    canvas_->update();
}

void frmTimeline::pan(double dx, int dy) {
    if (dx != 0.0) {
        const TimelineView v = view();
        const double days = painter_->jd_at(0.0, v) - painter_->jd_at(dx, v);
        from_jd_ += days;
        to_jd_ += days;
        clamp_span();
    }
    if (dy != 0) lanes_bar_->setValue(lanes_bar_->value() + dy);
    canvas_->update();
}

QString frmTimeline::text_at(QPoint pos) const {
    if (const std::string* text = painter_->event_text_at(pos, view())) return QString::fromStdString(*text);
    const TimelineMark* mark = painter_->mark_at(pos, view());
    return mark != nullptr && row_text_ ? row_text_(mark->row) : QString();
}

QImage frmTimeline::visible_image() const {
    const TimelineView v = view();
    QImage image(v.size, QImage::Format_RGB32);
    QPainter p(&image);
    painter_->paint(p, v, colours());
    return image;
}

void frmTimeline::copy_image() {
    QGuiApplication::clipboard()->setImage(visible_image());
    statusBar()->showMessage("Copied the visible part of the timeline as an image.");
}

std::optional<TimelineView> frmTimeline::ask_view(const QString& title, int max_height) {
    const QString verb = title.section(' ', 0, 0);
    const auto whole = dialogs_.ask(this, title, verb + " the whole timeline, or the part in view?",
                                    {"Whole timeline", "Visible part"});
    if (!whole) return std::nullopt;
    TimelineView v = view();
    if (*whole == 0) {
        // As wide as the window, as tall as the lanes need.
        const double now = v.now_jd.value_or(0.0);
        v = painter_->whole_view(v.size.width(), max_height);
        if (clock_) v.now_jd = now;
    }
    return v;
}

// Dark on white, whatever the desktop's theme: paper is white.
TimelineColours frmTimeline::print_colours() const {
    QPalette palette;
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    return timeline_colours(palette);
}

void frmTimeline::print_image() {
    const auto v = ask_view("Print", std::numeric_limits<int>::max() / 2);
    if (!v) return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName("Tavrolin timeline");
    print_preview(this, printer, [&](QPrinter* p) { paint_timeline_pages(*p, header(), *painter_, *v, print_colours()); });
}

void frmTimeline::save_image() {
    // Which part first; its height depends on the format, known once the file is chosen.
    const auto whole = dialogs_.ask(this, "Save image", "Save the whole timeline, or the part in view?",
                                    {"Whole timeline", "Visible part"});
    if (!whole) return;
    FileDialogRequest request;
    request.save = true;
    request.title = "Save image";
    request.filter = "PNG image (*.png);;SVG image (*.svg);;PDF document (*.pdf)";
    request.default_suffix = "png";
    request.initial_folder = folder_;
    request.initial_file = file_path_;
    const auto chosen = dialogs_.choose_file(this, request);
    if (!chosen) return;
    file_path_ = *chosen;
    folder_ = QFileInfo(file_path_).absolutePath();
    const auto format = picture_format_for(file_path_);
    const bool pdf = file_path_.endsWith(".pdf", Qt::CaseInsensitive);
    if (!format && !pdf) {
        statusBar()->showMessage("Not saved: " + file_path_ + " must end in .png or .svg. A PDF document ends in .pdf.");
        return;
    }
    TimelineView v = view();
    if (*whole == 0) {
        // As wide as the window, as tall as the lanes need (a PDF has pages for every lane).
        const double now = v.now_jd.value_or(0.0);
        v = painter_->whole_view(v.size.width(), pdf ? std::numeric_limits<int>::max() / 2 : max_picture_height(*format, v.size.width()));
        if (clock_) v.now_jd = now;
    }
    std::string error;
    // A whole timeline of a million moments takes seconds as SVG.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QByteArray bytes = pdf ? timeline_pdf(header(), *painter_, v, print_colours(), "Tavrolin timeline")
                                 : render_picture(*painter_, v, colours(), *format);
    const bool written = pdf ? write_pdf_file(native_path(file_path_), bytes, &error)
                             : write_picture_file(native_path(file_path_), bytes, &error);
    QApplication::restoreOverrideCursor();
    if (!written) {
        statusBar()->showMessage("Not saved: " + QString::fromLocal8Bit(error.c_str()));
        return;
    }
    statusBar()->showMessage("Saved " + file_path_);
}
