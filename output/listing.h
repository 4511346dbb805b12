// The text listing of a result table. Every listing style shares one frame (the heading, an
// empty line before each new date, one entry per row); a style only supplies the entry of a row.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/control_values.h"
#include "engine/engine.h"

namespace tavrolin {

inline constexpr std::string_view crlf = "\r\n";

// What a row entry may read besides the row itself.
struct ListingContext {
    const ControlValues& cv;  // captions, the zodiac degree text, the mode, the date order
    int calc_kind = 1;        // 1 aspects between bodies, 0 transit to a zodiac degree
};

// The text of one row: one or more lines, each ended by crlf.
using RowEntry = std::function<std::string(const ListingContext&, const ResultRow&)>;
// The text of one sky event, ended by crlf.
using EventEntry = std::function<std::string(const ListingContext&, const SkyEvent&)>;

// The sky's events of a run, as a listing places them.
struct ListedEvents {
    const std::vector<SkyEvent>* events = nullptr;  // none when null or empty
    // "Sort Output": among the rows by time; otherwise a section "Sky events:" after them.
    bool interleaved = false;
    // The rows' times are progressed days (the events are dated in life): rows are placed
    // among the events by the moment in life they stand for.
    bool progressed = false;
    double natal_jd = 0.0;
    EventEntry entry;
};

// "Aspects found:" and the rows 1..result_count of the table, an empty line opening each run of
// rows of one date (the date read month first, written in cv.date_order; an order without a
// pattern opens no groups). A row is compared only with the row before it.
// Sky events, when given, are interleaved with the rows (each before the first row later than it,
// opening date groups as rows do) or listed after them under "Sky events:".
std::string listing_frame(const std::vector<ResultRow>& result_table, int result_count,
                          const ListingContext& context, const RowEntry& entry, const ListedEvents& events = {});

// The line (0: "Aspects found:") on which the entry of each row begins in listing_frame's text;
// index 0 unused.
std::vector<int> listing_frame_lines(const std::vector<ResultRow>& result_table, int result_count,
                                     const ListingContext& context, const RowEntry& entry,
                                     const ListedEvents& events = {});

// The local date and time of a moment in the listing's form, "mm/dd/yyyy hh:nn:ss".
std::string listing_time(double jd, const ControlValues& cv);

// Default event line: the event's words, its local time (a void: start - end) and the position
// to the minute, "Mercury stations retrograde 04/01/2024 15:14:30  27 ARI 13".
std::string default_event_entry(const ListingContext& context, const SkyEvent& e);

// The events of the engine's last run for a listing in a style (none with no event ticked).
ListedEvents listed_events(const Engine& engine, const ControlValues& cv, EventEntry entry);

// Default entry: P1 name, aspect name, P2 name (the zodiac degree with three decimals in a degree
// run) and the exact date and time, joined by blanks.
std::string default_row_entry(const ListingContext& context, const ResultRow& row);

// The entry of `entry` with, for a run of the progressed or solar-arc mode, each row's date in the
// person's life (in the regional order) at the end of its first line: " (in life 03/02/2027)".
// The run must outlive the entry.
RowEntry with_date_in_life(RowEntry entry, const RunInputs& run);

// The default listing of the engine's last run.
std::string Display_Aspects(const Engine& engine);

// Helpers shared by the styles.
// The body or aspect index a column of the result table holds.
int column_index(std::string_view column);
// Caption of the body / aspect whose index a column holds (empty for an index out of range).
std::string body_caption_of(std::string_view column);
std::string aspect_caption_of(const ControlValues& cv, std::string_view column);
// A number text written with `decimals` places ("0.000" and the like); a text that is not a
// number as a whole is returned unchanged.
std::string format_number_text(std::string_view text, int decimals);

}  // namespace tavrolin
