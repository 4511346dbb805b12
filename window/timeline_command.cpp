#include "window/timeline_command.h"

#include "output/calculation_command.h"
#include "output/timeline.h"
#include "picture/print_pages.h"
#include "window/file_dialogs.h"
#include "window/frm_timeline.h"
#include "window/screen_placement.h"

namespace tavrolin {

// The window calls back into this object: it goes first.
TimelineCommand::~TimelineCommand() { delete timeline_window_.data(); }

frmTimeline* TimelineCommand::timeline_window() const { return timeline_window_; }

void TimelineCommand::mnuViewTimeline_Click() {
    if (!timeline_window_) {
        timeline_window_ = new frmTimeline(host_.parent_widget(), host_.file_dialogs(), from_native_path(host_.places().dialog_folder));
        timeline_window_->print_header = [this] { return listing_header(engine_.last_run); };
        QObject::connect(timeline_window_, &frmTimeline::row_clicked, timeline_window_, [this](int row) { select_result_row(row); });
        show_timeline_in_window();
        // Near the main window, wholly on its screen.
        timeline_window_->move(host_.parent_widget()->geometry().topLeft() + QPoint(40, 40));
        timeline_window_->show();
        keep_on_screen(*timeline_window_, *host_.parent_widget());
    }
    timeline_window_->show();
    timeline_window_->raise();
    timeline_window_->activateWindow();
}

void TimelineCommand::timeline_after_run() {
    timeline_current_ = false;
    listing_lines_.clear();
    if (timeline_window_) show_timeline_in_window();
}

void TimelineCommand::show_timeline_in_window() {
    if (!timeline_current_ || !timeline_) {
        timeline_ = std::make_shared<const Timeline>(build_timeline(engine_));
        timeline_current_ = true;
    }
    timeline_window_->set_timeline(timeline_, [this](int row) {
        // During a run the table is being rewritten on another thread: no text then.
        if (host_.calculation_running()) return QString();
        return QString::fromStdString(timeline_row_text(engine_, row));
    });
    // A cancelled run's timeline ends where the run stopped: it says so, as the listing does.
    timeline_window_->set_note(engine_.last_outcome.cancelled ? QString::fromStdString(cancelled_note(engine_)) : QString());
}

void TimelineCommand::select_result_row(int row) {
    if (host_.calculation_running()) return;
    // Walks every row of the listing: once per run, and only when a moment is clicked.
    if (listing_lines_.empty()) listing_lines_ = listing_row_lines(engine_);
    if (row < 1 || row >= static_cast<int>(listing_lines_.size())) return;
    host_.select_listing_line(engine_.last_run.calc_kind == 0 ? 0 : 1, listing_lines_[static_cast<std::size_t>(row)]);
}

}  // namespace tavrolin
