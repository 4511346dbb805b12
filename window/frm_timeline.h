// The timeline window (View > Timeline, F9): the last run's lanes on a time axis. A secondary,
// modeless window of the main window, at most one at a time; it follows the main window's runs.
//
// The mouse wheel zooms the time axis around the pointer (over the labels, or with Shift, it
// scrolls the lanes), dragging pans, Home fits the whole range, the scroll bar moves through the
// lanes. Hovering over an exact moment shows its listing line; clicking it asks the main window
// to select that line (row_clicked).
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QString>

#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

#include "output/timeline.h"
#include "picture/timeline_painter.h"
#include "window/print_command.h"

class QAction;
class QScrollBar;
class TimelineCanvas;

namespace tavrolin {
class FileDialogs;
}

class frmTimeline : public QMainWindow {
    Q_OBJECT

public:
    // Images are saved through `dialogs`, whose first folder is `folder`.
    frmTimeline(QWidget* main_window, tavrolin::FileDialogs& dialogs, QString folder);
    ~frmTimeline() override;

    // Shows a run's timeline, the whole range in view and the first lanes; row_text gives a
    // row's listing line (empty: none to show now).
    void set_timeline(std::shared_ptr<const tavrolin::Timeline> timeline, std::function<QString(int)> row_text);
    const tavrolin::Timeline& timeline() const { return *timeline_; }
    // A note at the right of the legend and in the status bar (a cancelled run's); empty: none.
    void set_note(const QString& note);
    const QString& note() const { return note_; }
    // The present moment (Julian day, UT) for its line; the system clock unless set.
    void set_clock(std::function<double()> clock);

    QWidget* canvas() const;
    QScrollBar* lanes_scroll_bar() const { return lanes_bar_; }
    const tavrolin::TimelinePainter& painter() const { return *painter_; }
    // What the canvas shows now.
    tavrolin::TimelineView view() const;
    tavrolin::TimelineColours colours() const;
    // The hover text at a point of the canvas: the listing line of the moment there, if any.
    QString text_at(QPoint pos) const;
    // The canvas as it is drawn now, for the clipboard and "Visible part".
    QImage visible_image() const;

    // The commands, also reached through the menus and the mouse.
    void fit_whole_range();
    void zoom_at(double factor, double x);  // factor > 1 zooms in, x on the canvas
    void pan(double dx, int dy);            // pixels: the time axis by dx, the lanes by dy
    void save_image();
    void copy_image();
    // The whole timeline or the part in view on pages with a header, through a print preview.
    void print_image();

    // The header of printed pages and PDF documents (the main window's run); none: no header lines.
    std::function<QStringList()> print_header;
    tavrolin::PrintPreview print_preview = tavrolin::show_print_preview;

    QAction* mnuSaveImage = nullptr;
    QAction* mnuCopyImage = nullptr;
    QAction* mnuPrintImage = nullptr;
    QAction* mnuFitWholeRange = nullptr;
    QAction* mnuZoomIn = nullptr;
    QAction* mnuZoomOut = nullptr;

signals:
    // An exact moment was clicked: its row of result_table.
    void row_clicked(int row);

private:
    friend class TimelineCanvas;
    // The whole timeline or the part in view, as the user answers `title`'s question; nothing
    // when cancelled.
    std::optional<tavrolin::TimelineView> ask_view(const QString& title, int max_height);
    tavrolin::TimelineColours print_colours() const;
    QStringList header() const { return print_header ? print_header() : QStringList(); }
    void clamp_span();
    void update_scroll_range();
    double span_limit_min() const;

    tavrolin::FileDialogs& dialogs_;
    QString folder_;
    QString file_path_;
    QString note_;
    std::shared_ptr<const tavrolin::Timeline> timeline_;
    std::unique_ptr<tavrolin::TimelinePainter> painter_;
    std::function<QString(int)> row_text_;
    std::function<double()> clock_;
    double from_jd_ = 0.0;
    double to_jd_ = 0.0;
    TimelineCanvas* canvas_ = nullptr;
    QScrollBar* lanes_bar_ = nullptr;
};
