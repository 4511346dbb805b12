// View > Timeline: the last run's results on a time axis, and the way back from a moment in the
// timeline to its line in the results box.
#pragma once

#include <QPointer>

#include <memory>
#include <vector>

#include "engine/engine.h"
#include "window/command_host.h"

class frmTimeline;

namespace tavrolin {

struct Timeline;

class TimelineCommand {
public:
    TimelineCommand(CommandHost& host, const Engine& engine) : host_(host), engine_(engine) {}
    ~TimelineCommand();
    TimelineCommand(const TimelineCommand&) = delete;
    TimelineCommand& operator=(const TimelineCommand&) = delete;

    // The timeline window of the last run, opened once and brought forward again.
    void mnuViewTimeline_Click();
    // A run has ended: the timeline is made anew once per run, now when the window is open, else
    // when the window opens.
    void timeline_after_run();
    // Selects the listing line of a row of the last run in its results box and scrolls to it.
    void select_result_row(int row);

    // The open timeline window, if any.
    frmTimeline* timeline_window() const;

private:
    void show_timeline_in_window();

    CommandHost& host_;
    const Engine& engine_;
    QPointer<frmTimeline> timeline_window_;
    std::shared_ptr<const Timeline> timeline_;
    bool timeline_current_ = false;
    // The results box line of each row of the last run, found when first needed.
    std::vector<int> listing_lines_;
};

}  // namespace tavrolin
