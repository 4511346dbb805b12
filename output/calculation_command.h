// One calculation command from start to finish, shared by the window and tavrolin-batch: the
// scan, then sorting, the listing, the near-miss section and the reports of what went wrong.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/parallel_scan.h"
#include "output/listing.h"

namespace tavrolin {

struct CommandOutcome {
    // false: a box refused its text; nothing was computed and the results box keeps its text.
    bool ran = false;
    std::string text;           // the results box's new text, CRLF line ends
    std::string invalid_date;   // when !ran: which box holds which text, for the status line
    InputField invalid_field = InputField::none;  // when !ran: that box
    // The birth place's house system fell back to Porphyry (beyond a polar circle): the message
    // to show beside the results; empty otherwise.
    std::string houses_note;
};

// Runs the aspects command (calc_kind 1) or the degree command (calc_kind 0) with engine.cv;
// `started` is called once the dates have been found good. With `fast`, the scan is the fast one
// (same result; progress and cancel as it says), without it the single-threaded one.
CommandOutcome run_calculation_command(Engine& engine, int calc_kind, const std::function<void()>& started = {},
                                       const ScanControl* fast = nullptr);

// The output steps after a scan that ran: sorts engine.result_table when "Sort Output" is ticked
// and there are at least two rows, lists it in the chosen style, adds the note of a scan stopped
// at the row limit, the near-miss section (aspects command) and one line per body whose position
// the ephemeris could not compute.
std::string results_box_text(Engine& engine);

// "The run was cancelled at 03/04/1990, while scanning Sun to Moon.": the note of a cancelled run
// (engine.last_outcome), in the listing and in the window's status bar.
std::string cancelled_note(const Engine& engine);
// "Positions not computed: Chiron, Ceres.": every body the ephemeris could not compute since its
// errors were last cleared, in the order met; empty when there is none.
std::string not_computed_summary(const Ephemeris& eph);

// The listing of the engine's table in the style of engine.cv.style; with "Show dates in life"
// (engine.cv.dates_in_life) a progressed or solar-arc row also gives its date in life.
std::string listing_in_style(const Engine& engine);
// The entry of one row in a listing style.
RowEntry row_entry_in_style(ListingStyle style);
// The entry of one sky event in a listing style.
EventEntry event_entry_in_style(ListingStyle style);
// The line of the results box (0: "Aspects found:") on which each row of the last run's listing
// begins; index 0 unused.
std::vector<int> listing_row_lines(const Engine& engine);

// "Start Date: "13/45/2005" is not a date" for a scan that did not run.
std::string invalid_date_message(const ScanOutcome& outcome);

// One line per body whose position the library could not compute in the last run ("Ceres:
// position not computed: ..."), CRLF line ends; empty when every position was computed.
std::string not_computed_text(const Engine& engine);

// Texts are built with CRLF; the screen and standard output take the platform's line ends.
// Converted in place: pass a listing of a million rows with std::move, not as a copy.
std::string to_platform_line_ends(std::string text);

}  // namespace tavrolin
