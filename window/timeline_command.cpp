// View > Timeline: the last run's results on a time axis, and the way back from a moment in the
// timeline to its line in the results box.
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>

#include "output/calculation_command.h"
#include "output/timeline.h"
#include "window/calc_progress.h"
#include "window/file_dialogs.h"
#include "window/frm_tavrolin.h"
#include "window/frm_timeline.h"

frmTimeline* frmTavrolin::timeline_window() const { return timeline_window_; }

void frmTavrolin::mnuViewTimeline_Click() {
    if (!timeline_window_) {
        timeline_window_ = new frmTimeline(this, file_dialogs(), tavrolin::from_native_path(places_.dialog_folder));
        connect(timeline_window_, &frmTimeline::row_clicked, this, &frmTavrolin::select_result_row);
        show_timeline_in_window();
    }
    timeline_window_->show();
    timeline_window_->raise();
    timeline_window_->activateWindow();
}

void frmTavrolin::timeline_after_run() {
    timeline_current_ = false;
    listing_lines_.clear();
    if (timeline_window_) show_timeline_in_window();
}

void frmTavrolin::show_timeline_in_window() {
    if (!timeline_current_ || !timeline_) {
        timeline_ = std::make_shared<const tavrolin::Timeline>(tavrolin::build_timeline(engine_));
        timeline_current_ = true;
    }
    timeline_window_->set_timeline(timeline_, [this](int row) {
        // During a run the table is being rewritten on another thread: no text then.
        const auto* progress = findChild<tavrolin::CalcProgress*>("calcProgress");
        if (progress != nullptr && progress->running()) return QString();
        return QString::fromStdString(tavrolin::timeline_row_text(engine_, row));
    });
}

void frmTavrolin::select_result_row(int row) {
    const auto* progress = findChild<tavrolin::CalcProgress*>("calcProgress");
    if (progress != nullptr && progress->running()) return;
    // Walks every row of the listing: once per run, and only when a moment is clicked.
    if (listing_lines_.empty()) listing_lines_ = tavrolin::listing_row_lines(engine_);
    if (row < 1 || row >= static_cast<int>(listing_lines_.size())) return;
    QPlainTextEdit* box = txtResults[engine_.last_run.calc_kind == 0 ? 0 : 1];
    const QTextBlock block = box->document()->findBlockByNumber(listing_lines_[static_cast<std::size_t>(row)]);
    if (!block.isValid()) return;
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    box->setTextCursor(cursor);
    box->centerCursor();
}
