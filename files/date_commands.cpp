#include "files/date_commands.h"

#include "engine/calendar.h"
#include "engine/date_text.h"

namespace tavrolin {

namespace {

// The years that a date text can hold and be read back (three or four digits).
constexpr int first_year = 100;
constexpr int last_year = 9999;

bool fail(std::string* problem, const std::string& message) {
    if (problem != nullptr) *problem = message;
    return false;
}

std::string quoted(const char* field, const std::string& text) { return std::string(field) + ": \"" + text + "\""; }

bool in_range(const CivilDate& d) { return d.year >= first_year && d.year <= last_year; }

const char* out_of_range = " cannot be moved past the years 100 to 9999";

bool move_one_day(std::string& box, const char* field, int date_order, int days, std::string* problem) {
    const auto date = parse_date(box, date_order);
    if (!date) return fail(problem, quoted(field, box) + " is not a date");
    const CivilDate moved = add_days(*date, days);
    if (!in_range(moved)) return fail(problem, quoted(field, box) + out_of_range);
    box = format_date(moved, date_order);
    return true;
}

bool move_month(ControlValues& cv, int months, std::string* problem) {
    const auto start = parse_date(cv.start_date, cv.date_order);
    if (!start) return fail(problem, quoted("Start Date", cv.start_date) + " is not a date");
    int m = start->month + months;
    int y = start->year;
    if (m == 13) {
        m = 1;
        ++y;
    } else if (m == 0) {
        m = 12;
        --y;
    }
    const CivilDate first{y, m, 1};
    if (!in_range(first)) return fail(problem, quoted("Start Date", cv.start_date) + out_of_range);
    const CivilDate last{y, m, DaysInMonth(y, m)};
    cv.start_date = format_date(first, cv.date_order);
    cv.end_date = format_date(last, cv.date_order);
    return true;
}

}  // namespace

bool run_date_command(DateCommand command, ControlValues& cv, std::string* problem) {
    switch (command) {
        case DateCommand::PreviousStartDate: return move_one_day(cv.start_date, "Start Date", cv.date_order, -1, problem);
        case DateCommand::NextStartDate: return move_one_day(cv.start_date, "Start Date", cv.date_order, 1, problem);
        case DateCommand::PreviousEndDate: return move_one_day(cv.end_date, "End Date", cv.date_order, -1, problem);
        case DateCommand::NextEndDate: return move_one_day(cv.end_date, "End Date", cv.date_order, 1, problem);
        case DateCommand::PreviousMonth: return move_month(cv, -1, problem);
        case DateCommand::NextMonth: return move_month(cv, 1, problem);
    }
    return false;
}

}  // namespace tavrolin
