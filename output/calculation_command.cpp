#include "output/calculation_command.h"

#include <algorithm>

#include "output/listing.h"
#include "output/listing_styles.h"
#include "output/sorting.h"

namespace tavrolin {

namespace {

// 1000000 -> "1,000,000".
std::string with_thousands(int n) {
    const std::string digits = std::to_string(n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string caption_of_body(int body_index) {
    if (body_index >= 0 && body_index <= last_body_index) return ControlValues::body_caption(body_index);
    return "Body " + std::to_string(body_index);
}

}  // namespace

RowEntry row_entry_in_style(ListingStyle style) {
    switch (style) {
        case ListingStyle::Quill: return quill_row_entry;
        case ListingStyle::Lunetta: return lunetta_row_entry;
        case ListingStyle::Default: break;
    }
    return default_row_entry;
}

EventEntry event_entry_in_style(ListingStyle style) {
    switch (style) {
        case ListingStyle::Quill: return quill_event_entry;
        case ListingStyle::Lunetta: return lunetta_event_entry;
        case ListingStyle::Default: break;
    }
    return default_event_entry;
}

std::string listing_in_style(const Engine& engine) {
    if (engine.cv.dates_in_life == 1 && engine.last_run.progressed) {
        return listing_frame(engine.result_table, engine.result_count, ListingContext{engine.cv, engine.calc_kind},
                             with_date_in_life(row_entry_in_style(engine.cv.style), engine.last_run),
                             listed_events(engine, engine.cv, event_entry_in_style(engine.cv.style)));
    }
    switch (engine.cv.style) {
        case ListingStyle::Quill: return Display_Aspects_Quill(engine);
        case ListingStyle::Lunetta: return Display_Aspects_Lunetta(engine);
        case ListingStyle::Default: break;
    }
    return Display_Aspects(engine);
}

std::vector<int> listing_row_lines(const Engine& engine) {
    const ListingStyle style = engine.last_run.cv.style;
    return listing_frame_lines(engine.result_table, engine.result_count,
                               ListingContext{engine.last_run.cv, engine.last_run.calc_kind}, row_entry_in_style(style),
                               listed_events(engine, engine.last_run.cv, event_entry_in_style(style)));
}

std::string cancelled_note(const Engine& engine) {
    const ScanOutcome& out = engine.last_outcome;
    // Cancelled while the sky's events were searched, before any pair.
    if (out.cancelled_p1 < 0) return "The run was cancelled while searching the sky's events.";
    std::string text = "The run was cancelled at " + out.cancelled_at_date + ", while scanning " + caption_of_body(out.cancelled_p1);
    if (engine.calc_kind == 1) text += " to " + caption_of_body(out.cancelled_p2);
    return text + ".";
}

std::string not_computed_summary(const Ephemeris& eph) {
    std::string text;
    for (const int body : eph.error_order()) text += (text.empty() ? "" : ", ") + caption_of_body(body);
    return text.empty() ? text : "Positions not computed: " + text + ".";
}

std::string results_box_text(Engine& engine) {
    const int rows = std::min(engine.result_count, static_cast<int>(engine.result_table.size()) - 1);
    if (engine.cv.sort_output == 1 && rows >= 2) QuickSortStringsAscending(engine.result_table, 1, rows);

    std::string text = listing_in_style(engine);
    if (engine.last_outcome.row_limit_reached) {
        text += "The scan stopped at " + with_thousands(Engine::max_result_rows) + " rows; it had reached " +
                engine.last_outcome.stopped_at_date + ".";
        text += crlf;
    }
    if (engine.last_outcome.cancelled) {
        text += cancelled_note(engine);
        text += crlf;
    }
    if (engine.rows_outside_calendar > 0) {
        text += with_thousands(engine.rows_outside_calendar) +
                " results fell on dates outside the years 0100 to 9999 and are not listed.";
        text += crlf;
    }
    if (engine.calc_kind == 1 && !engine.near_miss_text.empty()) text += engine.near_miss_text;
    // Steps whose positions the library could not compute were left out; say which bodies, so
    // that a missing data file does not pass for a quiet sky.
    text += not_computed_text(engine);
    return text;
}

std::string not_computed_text(const Engine& engine) {
    std::string text;
    for (const auto& [body, message] : engine.eph.errors()) {
        text += caption_of_body(body) + ": position not computed: " + message;
        text += crlf;
    }
    return text;
}

CommandOutcome run_calculation_command(Engine& engine, int calc_kind, const std::function<void()>& started,
                                       const ScanControl* fast) {
    engine.calc_kind = calc_kind;
    const ScanOutcome scan = fast ? Start_Calcs_parallel(engine, *fast, started) : engine.Start_Calcs(started);
    CommandOutcome outcome;
    outcome.ran = scan.ran;
    if (!outcome.ran) {
        outcome.invalid_date = invalid_date_message(scan);
        outcome.invalid_field = scan.invalid_field;
        return outcome;
    }
    outcome.text = results_box_text(engine);
    outcome.houses_note = scan.houses_note;
    return outcome;
}

std::string invalid_date_message(const ScanOutcome& outcome) {
    return refusal_message(outcome.invalid_field, outcome.invalid_text, outcome.invalid_problem);
}

std::string to_platform_line_ends(std::string text) {
#ifndef _WIN32
    std::size_t kept = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        text[kept++] = text[i];
    }
    text.resize(kept);
#endif
    return text;
}

}  // namespace tavrolin
