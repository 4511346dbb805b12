#include "output/listing.h"

#include <algorithm>
#include <cctype>

#include "engine/text_rules.h"
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

// Calls visit(i, row, opens_group) for rows 1..result_count of the table, opens_group telling
// whether an empty line opens a new date before the row's entry.
template <typename Visit>
void walk_frame(const std::vector<ResultRow>& result_table, int result_count, const ListingContext& context,
                Visit visit) {
    const bool grouping = has_date_pattern(context.cv.date_order);
    const int last_row = std::min(result_count, static_cast<int>(result_table.size()) - 1);
    std::string previous_date;
    for (int i = 1; i <= last_row; ++i) {
        const ResultRow& row = result_table[static_cast<std::size_t>(i)];
        bool opens_group = false;
        if (grouping) {
            std::string row_date = group_key(row[3], context.cv.date_order);
            opens_group = row_date != previous_date;
            if (opens_group) previous_date = std::move(row_date);
        }
        visit(i, last_row, row, opens_group);
    }
}

}  // namespace

std::string listing_frame(const std::vector<ResultRow>& result_table, int result_count,
                          const ListingContext& context, const RowEntry& entry) {
    std::string listing = "Aspects found:";
    listing += crlf;
    walk_frame(result_table, result_count, context, [&](int i, int last_row, const ResultRow& row, bool opens_group) {
        // A million rows list to tens of megabytes. Room for the whole listing, estimated with a
        // margin from its first rows, spares the copies of a string that grows by doubling;
        // room never written to takes no memory.
        if (i == rows_for_estimate + 1) listing.reserve(listing.size() / rows_for_estimate * last_row * 3 / 2);
        if (opens_group) listing += crlf;
        listing += entry(context, row);
    });
    return listing;
}

std::vector<int> listing_frame_lines(const std::vector<ResultRow>& result_table, int result_count,
                                     const ListingContext& context, const RowEntry& entry) {
    std::vector<int> lines(1, 0);
    int line = 1;
    walk_frame(result_table, result_count, context, [&](int, int, const ResultRow& row, bool opens_group) {
        if (opens_group) ++line;
        lines.push_back(line);
        const std::string text = entry(context, row);
        for (std::size_t at = text.find(crlf); at != std::string::npos; at = text.find(crlf, at + crlf.size())) ++line;
    });
    return lines;
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
                         default_row_entry);
}

}  // namespace tavrolin
