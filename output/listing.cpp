#include "output/listing.h"

#include <algorithm>
#include <cctype>

#include "engine/text_rules.h"
#include "engine/calendar.h"
#include "output/event_text.h"
#include "output/position_format.h"
#include "output/result_time.h"

namespace tavrolin {

int column_index(std::string_view column) { return static_cast<int>(round_half_even(val(column))); }

namespace {

// Grouping key of a row: its calendar date in the regional pattern, or the text itself when it
// holds no date.
std::string group_key(std::string_view exact_text, int date_order) {
    const auto date = result_date(exact_text);
    if (!date) return std::string(exact_text);
    return format_date(*date, date_order);
}

// Rows listed before the size of the whole listing is estimated from them.
constexpr int rows_for_estimate = 1000;

bool has_date_pattern(int date_order) {
    return date_order == date_order_mdy || date_order == date_order_dmy || date_order == date_order_ymd;
}

}  // namespace

std::string body_caption_of(std::string_view column) {
    const int n = column_index(column);
    if (n < 0 || n > last_point_index) return std::string();
    return ControlValues::body_caption(n);
}

std::string aspect_caption_of(const ControlValues& cv, std::string_view column) {
    const int n = column_index(column);
    if (n < 0 || n > last_aspect_index) return std::string();
    return cv.aspect_caption(n);
}

std::string format_number_text(std::string_view text, int decimals) {
    if (!is_number_text(text)) return std::string(text);
    return format_fixed(val(text), decimals);
}

namespace {

// The moment (Universal Time, in life) by which a row is placed among the events.
double row_moment(const ResultRow& row, const ListedEvents& events) {
    if (row.exact_jd != 0.0)
        return events.progressed ? progressed_to_calendar(row.exact_jd, events.natal_jd) : row.exact_jd;
    const auto seconds = result_seconds(row[3]);
    return seconds ? unix_epoch_jd + static_cast<double>(*seconds) / 86400.0 : -1e300;
}

// Calls visit_row(i, last_row, row, opens_group) for rows 1..result_count of the table and
// visit_event(event, opens_group) for the events among them or, after them, section() once and
// then visit_event for each; opens_group tells whether an empty line opens a new date first.
template <typename VisitRow, typename VisitEvent, typename Section>
void walk_frame(const std::vector<ResultRow>& result_table, int result_count, const ListingContext& context,
                const ListedEvents& events, VisitRow visit_row, VisitEvent visit_event, Section section) {
    const bool grouping = has_date_pattern(context.cv.date_order);
    const int last_row = std::min(result_count, static_cast<int>(result_table.size()) - 1);
    static const std::vector<SkyEvent> none;
    const std::vector<SkyEvent>& listed = events.events != nullptr ? *events.events : none;
    std::size_t next_event = 0;
    std::string previous_date;
    const auto opens = [&](std::string_view exact_text) {
        if (!grouping) return false;
        std::string date = group_key(exact_text, context.cv.date_order);
        const bool opens_group = date != previous_date;
        if (opens_group) previous_date = std::move(date);
        return opens_group;
    };
    const auto event_line = [&](const SkyEvent& e) { visit_event(e, opens(listing_time(e.jd, context.cv))); };
    for (int i = 1; i <= last_row; ++i) {
        const ResultRow& row = result_table[static_cast<std::size_t>(i)];
        if (events.interleaved && next_event < listed.size()) {
            const double moment = row_moment(row, events);
            while (next_event < listed.size() && listed[next_event].jd < moment) event_line(listed[next_event++]);
        }
        visit_row(i, last_row, row, opens(row[3]));
    }
    if (next_event >= listed.size()) return;
    if (!events.interleaved) {
        section();
        // The section is one list, as the near-miss section is.
        for (const SkyEvent& e : listed) visit_event(e, false);
        return;
    }
    while (next_event < listed.size()) event_line(listed[next_event++]);
}

const std::string events_heading = std::string(crlf) + "Sky events:" + std::string(crlf);

}  // namespace

std::string listing_frame(const std::vector<ResultRow>& result_table, int result_count,
                          const ListingContext& context, const RowEntry& entry, const ListedEvents& events) {
    std::string listing = "Aspects found:";
    listing += crlf;
    walk_frame(
        result_table, result_count, context, events,
        [&](int i, int last_row, const ResultRow& row, bool opens_group) {
            // A million rows list to tens of megabytes. Room for the whole listing, estimated with a
            // margin from its first rows, spares the copies of a string that grows by doubling;
            // room never written to takes no memory.
            if (i == rows_for_estimate + 1) listing.reserve(listing.size() / rows_for_estimate * last_row * 3 / 2);
            if (opens_group) listing += crlf;
            listing += entry(context, row);
        },
        [&](const SkyEvent& e, bool opens_group) {
            if (opens_group) listing += crlf;
            listing += events.entry(context, e);
        },
        [&] { listing += events_heading; });
    return listing;
}

std::vector<int> listing_frame_lines(const std::vector<ResultRow>& result_table, int result_count,
                                     const ListingContext& context, const RowEntry& entry,
                                     const ListedEvents& events) {
    std::vector<int> lines(1, 0);
    int line = 1;
    const auto count = [&](const std::string& text) {
        for (std::size_t at = text.find(crlf); at != std::string::npos; at = text.find(crlf, at + crlf.size())) ++line;
    };
    walk_frame(
        result_table, result_count, context, events,
        [&](int, int, const ResultRow& row, bool opens_group) {
            if (opens_group) ++line;
            lines.push_back(line);
            count(entry(context, row));
        },
        [&](const SkyEvent& e, bool opens_group) {
            if (opens_group) ++line;
            count(events.entry(context, e));
        },
        [&] { count(events_heading); });
    return lines;
}

std::string listing_time(double jd, const ControlValues& cv) {
    const ExactDateTime when = ConvertJDtoDateandTime(jd, cv.tz);
    return when.exact_date_str + " " + when.exact_time_str;
}

std::string default_event_entry(const ListingContext& context, const SkyEvent& e) {
    std::string line = event_words(e);
    line += ' ';
    line += listing_time(e.jd, context.cv);
    if (e.kind == SkyEventKind::void_of_course) {
        line += " - ";
        line += listing_time(e.end_jd, context.cv);
    }
    line += "  ";
    line += PrintSignDataMinutes(e.longitude);
    line += crlf;
    return line;
}

ListedEvents listed_events(const Engine& engine, const ControlValues& cv, EventEntry entry) {
    ListedEvents events;
    if (engine.sky_events.empty()) return events;
    events.events = &engine.sky_events;
    events.interleaved = cv.sort_output == 1;
    events.progressed = engine.last_run.progressed;
    events.natal_jd = engine.last_run.natal_jd;
    events.entry = std::move(entry);
    return events;
}

std::string default_row_entry(const ListingContext& context, const ResultRow& row) {
    std::string line = body_caption_of(row[0]);
    line += ' ';
    line += aspect_caption_of(context.cv, row[1]);
    line += ' ';
    line += context.calc_kind == 0 ? format_number_text(context.cv.zodiac_degree, 3) : body_caption_of(row[2]);
    line += ' ';
    line += row[3];
    line += crlf;
    return line;
}

RowEntry with_date_in_life(RowEntry entry, const RunInputs& run) {
    if (!run.progressed) return entry;
    return [entry = std::move(entry), clock = RunClock(run)](const ListingContext& context, const ResultRow& row) {
        std::string text = entry(context, row);
        const auto times = clock.times(row);
        if (!times) return text;
        const std::size_t line_end = std::min(text.find(crlf), text.size());
        text.insert(line_end, " (in life " + format_date(date_of_seconds(times->local), context.cv.date_order) + ")");
        return text;
    };
}

std::string Display_Aspects(const Engine& engine) {
    return listing_frame(engine.result_table, engine.result_count, ListingContext{engine.cv, engine.calc_kind},
                         default_row_entry, listed_events(engine, engine.cv, default_event_entry));
}

}  // namespace tavrolin
