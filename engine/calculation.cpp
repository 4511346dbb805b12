// The calculation driver: reads the inputs, decides the range and the meaning of P1 and P2 from
// the mode, walks every allowed body pair through the range one day at a time (PairScan) and
// puts the pairs' exact aspects and near misses together (ResultMerge).
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>

#include "engine/calendar.h"
#include "engine/date_text.h"
#include "engine/engine.h"
#include "engine/text_rules.h"
#include "engine/time_zone.h"

namespace tavrolin {

namespace {

const std::string crlf = "\r\n";

int sign_of(double v) { return v > 0.0 ? 1 : (v < 0.0 ? -1 : 0); }

// The aspect angle is held in single precision. A separation is at most 180 degrees: an angle
// beyond a whole turn can neither be met nor come within a degree, and becomes an infinite angle,
// whose orbs never pass zero. (Beyond single precision the conversion is undefined; a huge finite
// angle such as 1e30 swallows the separation, and the secant method stops on two equal orbs.)
float to_single(double v) {
    if (v > 360.0) return std::numeric_limits<float>::infinity();
    if (v < -360.0) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(v);
}

}  // namespace

// Whether this run reads the natal position of a body: as P2 in the natal modes of the aspects
// command, as P1 or as the solar-arc body in mode 3. Errors of the natal fill for other bodies
// would only be noise in the report.
bool Engine::natal_needed(int body) const {
    const auto k = static_cast<std::size_t>(body);
    if (calc_kind == 1 && cv.mode != 1 && cv.p2_planets[k] != 0) {
        const bool excluded = (body == earth_index && cv.p2_helio == 0) ||
                              (cv.p2_helio == 1 && (body == 0 || body == 1 || (body >= 10 && body <= 13)));
        if (!excluded) return true;
    }
    if (cv.mode == 3) {
        if (body == (cv.p1_helio == 0 ? 0 : earth_index)) return true;
        if (cv.p1_planets[k] != 0) return true;
    }
    return false;
}

bool PairScan::refine_and_record(int a, double current) {
    const long long errors_before = eph.error_count();
    SecantMethod(current, current + 1.0, secant_tolerance, secant_max_iterations, a);
    if (!(current <= exact_jd && exact_jd <= current + 1.0)) return false;
    // A moment found from positions the library could not compute is no result.
    if (eph.error_count() != errors_before) return false;

    const ExactDateTime when = ConvertJDtoDateandTime(exact_jd, cv.tz);
    // Every date written of the row must be one of the years 0100 to 9999: the local time of the
    // listing, the Universal Time of the exports and, in the progressed modes, the moment in life
    // that the exports give (a day of the scan for a year).
    const bool progressed = cv.mode == 2 || cv.mode == 3;
    const double life_jd = progressed_to_calendar(exact_jd, in.natal_jd);
    if (!parse_date(when.exact_date_str, date_order_mdy) || calendar_side(exact_jd) != 0 ||
        (progressed && (calendar_side(life_jd) != 0 ||
                        calendar_side(life_jd - hours_behind_ut(cv.tz, life_jd) / 24.0) != 0))) {
        ++result_.rows_outside_calendar;
        return false;
    }
    const std::string exact_text = when.exact_date_str + " " + when.exact_time_str;
    const std::string speed_text = format_fixed(secant_speed, 4);

    Get_Planet_Positions_at_Exact(p1_num, p2_num, exact_jd);
    const bool positions_ok = eph.error_count() == errors_before;
    if (positions_ok) {
        std::string_view direction = "0";
        if (a < last_aspect_index - 1) {
            double d = p1_lon - p2_lon;
            if (d < 0.0) d += 360.0;
            direction = d <= 180.0 ? "1" : "-1";
        }
        ResultRow& row = result_.rows.emplace_back(ResultRow{
            std::to_string(p1_num), std::to_string(a), std::to_string(p2_num), exact_text, speed_text,
            number_to_text(p1_lon), number_to_text(p2_lon), direction, number_to_text(p1_speed),
            number_to_text(p2_speed), number_to_text(p1_decl), number_to_text(p2_decl)});
        row.exact_jd = exact_jd;
        result_.row_steps.push_back(current);
        result_.row_errors.push_back(eph.error_order().size() - errors_at_start_);
        result_.row_outside_calendar.push_back(result_.rows_outside_calendar);
        near_miss_state_ = "exact";
        exact_aspects_[static_cast<std::size_t>(a)] = true;
    }
    // Refinement overwrote the positions of the step, which the remaining aspects still need.
    Get_Initial_Planet_Positions(current, current + 1.0);
    return positions_ok;
}

std::string years_back_problem(std::string_view years_back) {
    const double years = val(years_back);
    // Two characters hold at most 99; fewer than none would scan an empty range and list nothing.
    if (!(years >= 0.0 && years <= 99.0)) return "is not a number of years from 0 to 99";
    return {};
}

int ScanPlan::steps() const {
    int n = 0;
    for (double current = scan_start; current <= scan_end; current = current + 1.0) ++n;
    return n;
}

double ScanPlan::calendar_time(double scan_time) const {
    return progressed ? progressed_to_calendar(scan_time, natal_jd) : scan_time;
}

std::string ScanPlan::calendar_date(double scan_time, int date_order) const {
    // A progressed scan reaches years of life past the calendar's ends, whose dates would come
    // out with their year cut to four digits.
    const int side = calendar_side(calendar_time(scan_time));
    if (side < 0) return "a date before the year 0100";
    if (side > 0) return "a date after the year 9999";
    return GetCalendarDay(calendar_time(scan_time), date_order);
}

ScanPlan Engine::make_plan(double natal_midnight, double start_jd, double end_jd) {
    ScanPlan plan;
    // Progressed and solar-arc modes scan progressed days (one day for one year of life) from
    // "Yrs back" years before to as many after the whole-year age at the start date.
    const double age = (start_jd - natal_midnight) / 365.242199;
    plan.progressed = cv.mode == 2 || cv.mode == 3;
    plan.natal_jd = natal_jd;
    plan.scan_start = start_jd;
    plan.scan_end = end_jd;
    if (plan.progressed) {
        plan.scan_start = std::floor(age) + natal_jd - val(cv.years_back);
        plan.scan_end = val(cv.years_back) + plan.scan_start + val(cv.years_back);
    }

    // The captions do not change during a run: each angle is read once, not once per step.
    for (int a = 0; a <= last_aspect_index; ++a) {
        if (cv.aspects[static_cast<std::size_t>(a)] != 1) continue;
        plan.aspects.push_back(a);
        plan.angles[static_cast<std::size_t>(a)] = to_single(val(cv.aspect_caption(a)));
    }

    // The angles follow the bodies as P2 when the run has the natal houses.
    const int highest_p2 = calc_kind == 1 ? (natal_houses && cv.angles_used() ? last_point_index : last_body_index) : 0;
    const int arc_body = cv.p1_helio == 0 ? 0 : earth_index;
    for (int p1 = 0; p1 <= last_body_index; ++p1) {
        const auto k1 = static_cast<std::size_t>(p1);
        if (cv.p1_planets[k1] == 0) continue;
        if (p1 == earth_index && cv.p1_helio == 0) continue;
        if (cv.p1_helio == 1 && (p1 == 0 || p1 == 1 || (p1 >= 10 && p1 <= 13))) continue;

        for (int p2 = 0; p2 <= highest_p2; ++p2) {
            const auto k2 = static_cast<std::size_t>(p2);
            if (calc_kind == 1) {
                if (cv.p2_tick(p2) == 0) continue;
                if (p1 == p2 && cv.mode == 1) continue;
                if (p2 == earth_index && cv.p2_helio == 0) continue;
                if (cv.p2_helio == 1 && (p2 == 0 || p2 == 1 || (p2 >= 10 && p2 <= 13))) continue;
                if (cv.ignore_dups == 1 && p2 <= p1) continue;
            }
            // A natal position the library could not compute gives this pair nothing to find.
            if (calc_kind == 1 && cv.mode != 1 && p2 <= last_body_index && natal_failed[k2]) continue;
            if (cv.mode == 3 && (natal_failed[k1] || natal_failed[static_cast<std::size_t>(arc_body)])) continue;
            plan.pairs.emplace_back(p1, p2);
        }
    }
    return plan;
}

bool Engine::begin_calcs(ScanOutcome& outcome, const std::function<void()>& started, ScanInputs& inputs) {
    apply_options();

    // A box that refuses its text ends the command before anything changes.
    const auto refuse = [&](InputField field, std::string problem) {
        outcome.invalid_field = field;
        outcome.invalid_text = cv.*input_field_info(field).text;
        outcome.invalid_problem = std::move(problem);
        return false;
    };
    const auto start = parse_date(cv.start_date, cv.date_order);
    const auto end = parse_date(cv.end_date, cv.date_order);
    const auto natal = parse_date(cv.natal_date, cv.date_order);
    if (!start) return refuse(InputField::start_date, "is not a date");
    if (!end) return refuse(InputField::end_date, "is not a date");
    if (!natal) return refuse(InputField::natal_date, "is not a date");
    const bool progressed = cv.mode == 2 || cv.mode == 3;
    // The range is scanned forwards: an end before the start would scan nothing and list nothing
    // as if the sky had been quiet. The progressed modes do not read the end date.
    if (!progressed && GetJulianDay(end->month, end->day, end->year) < GetJulianDay(start->month, start->day, start->year))
        return refuse(InputField::end_date, "is before the Start Date \"" + quoted_input(cv.start_date) + "\"");
    if (std::string problem = natal_time_problem(cv.natal_time); !problem.empty())
        return refuse(InputField::natal_time, std::move(problem));
    if (std::string problem = time_zone_problem(cv.tz); !problem.empty())
        return refuse(InputField::time_zone, std::move(problem));
    // The degree is read by the degree command only, "Yrs back" by the progressed modes only: a
    // box the run does not read does not stop it.
    if (std::string problem = zodiac_degree_problem(cv.zodiac_degree); calc_kind == 0 && !problem.empty())
        return refuse(InputField::zodiac_degree, std::move(problem));
    if (std::string problem = years_back_problem(cv.years_back); progressed && !problem.empty())
        return refuse(InputField::years_back, std::move(problem));
    // The birth place is read when the run has an angle to scan to or house ingresses to find.
    std::optional<Houses> houses;
    if (calc_kind == 1 && ((cv.angles_used() && (cv.p2_asc != 0 || cv.p2_mc != 0)) || house_ingresses_asked(cv))) {
        const double moment = GetJulianDay(natal->month, natal->day, natal->year) +
                              static_cast<double>(natal_hours_from_text(cv.natal_time)) / 24.0;
        InputField field = InputField::none;
        std::string problem;
        houses = natal_place_houses(cv, moment, field, problem);
        if (!houses) return refuse(field, std::move(problem));
        const char asked = cv.house_system[0];
        outcome.houses_note = house_fallback_note(*houses, asked);
    }
    outcome.ran = true;
    if (started) started();
    eph.clear_errors();

    double natal_midnight = 0.0;
    compute_natal_moment(&natal_midnight);
    const double start_jd = GetJulianDay(start->month, start->day, start->year);
    const double end_jd = GetJulianDay(end->month, end->day, end->year);

    natal_failed.fill(false);
    // Every mode but transit to transit reads natal positions, also when no mode button is
    // selected (a settings file can leave none), so the tables are never used stale.
    if (cv.mode != 1) {
        Get_Natal_Planets_Longitude();
        Get_Natal_Planets_Decl_Lat();
        for (int i = 0; i <= last_body_index; ++i) {
            if (!eph.failed(i)) continue;
            natal_failed[static_cast<std::size_t>(i)] = true;
            if (!natal_needed(i)) eph.forget_error(i);
        }
    }

    natal_houses = std::move(houses);
    ScanPlan plan = make_plan(natal_midnight, start_jd, end_jd);
    last_run = RunInputs{cv, calc_kind, natal_jd, plan.progressed, plan.calendar_time(plan.scan_start),
                         plan.calendar_time(plan.scan_end + 1.0)};
    inputs = ScanInputs{cv, calc_kind, natal_jd, {}, {}, {}, row_limit, std::move(plan)};
    std::copy(natal_lon.begin(), natal_lon.end(), inputs.natal_lon.begin());
    std::copy(natal_speed.begin(), natal_speed.end(), inputs.natal_speed.begin());
    std::copy(natal_decl.begin(), natal_decl.end(), inputs.natal_decl.begin());
    if (natal_houses) {
        // Fixed natal longitudes; the parallels read the declination of that point of the ecliptic.
        inputs.natal_lon[asc_point] = natal_houses->ascendant;
        inputs.natal_lon[mc_point] = natal_houses->mc;
        for (const int p : {asc_point, mc_point})
            inputs.natal_decl[static_cast<std::size_t>(p)] =
                ecliptic_declination(inputs.natal_lon[static_cast<std::size_t>(p)], natal_houses->obliquity);
    }
    return true;
}

PairScan::PairScan(const ScanInputs& inputs, Ephemeris& ephemeris)
    : eph(ephemeris),
      in(inputs),
      cv(inputs.cv),
      calc_kind(inputs.calc_kind),
      natal_lon(inputs.natal_lon),
      natal_speed(inputs.natal_speed),
      natal_decl(inputs.natal_decl) {}

PairResult PairScan::scan(int p1, int p2, int row_limit, const PairHooks& hooks) {
    const ScanPlan& plan = in.plan;
    p1_num = p1;
    p2_num = p2;
    result_ = PairResult{};
    errors_at_start_ = eph.error_order().size();
    near_miss_state_.clear();
    near_miss_from_jd_ = 0.0;
    near_miss_to_jd_ = plan.scan_end;
    near_miss_aspect_ = -1;
    for (auto& open : open_stretches_) open.from = std::nan("");
    exact_aspects_.fill(false);
    // Whatever way the loop ends, the pair's stretches are closed and its new errors are noted.
    const auto finish = [&](PairEnd end) {
        close_stretches();
        if (end.kind == PairEnd::Kind::row_limit) cut_stretches(result_.stretches, 0, plan.calendar_time(end.at));
        const auto& order = eph.error_order();
        for (std::size_t i = errors_at_start_; i < order.size(); ++i)
            result_.errors.emplace_back(order[i], eph.errors().at(order[i]));
        result_.end = end;
        return std::move(result_);
    };
    double current = plan.scan_start;

    while (current <= plan.scan_end) {
        if (hooks.stop_before_step && hooks.stop_before_step(current))
            return finish({PairEnd::Kind::stopped, current});
        const long long errors_before = eph.error_count();
        Get_Initial_Planet_Positions(current, current + 1.0);
        // A step with a position the library could not compute is left out.
        const bool step_ok = eph.error_count() == errors_before;

        for (std::size_t i = 0; step_ok && i < plan.aspects.size(); ++i) {
            const int a = plan.aspects[i];
            aspect_angle = plan.angles[static_cast<std::size_t>(a)];
            const double r = Get_separation_for_this_aspect(a);

            const int s1 = sign_of(p1_decl);
            const int s2 = sign_of(p2_decl);
            const bool qualifies =
                !((a == last_aspect_index - 1 && s1 != s2) || (a == last_aspect_index && s1 == s2));
            if (near_miss_state_.empty() && std::fabs(orb_later) <= 1.0 && qualifies) {
                near_miss_state_ = " from ";
                near_miss_from_jd_ = current;
                near_miss_aspect_ = a;
            }
            // Only an open window can close: an aspect leaving its orb before any window opened
            // would end the window before it starts.
            if (near_miss_state_ == " from " && std::fabs(orb_earlier) <= 1.0 && std::fabs(orb_later) > 1.0 &&
                qualifies) {
                near_miss_to_jd_ = current;
                near_miss_aspect_ = a;
            }

            const double orb_at_start = orb_earlier, orb_at_end = orb_later;
            const bool row = std::fabs(r) < 1.001 && !refinement_is_futile(a, r) && refine_and_record(a, current);
            track_stretch(a, current, orb_at_start, orb_at_end, qualifies, row ? exact_jd : std::nan(""));
            if (row && static_cast<int>(result_.rows.size()) >= row_limit)
                return finish({PairEnd::Kind::row_limit, current});
        }
        current = current + 1.0;
    }

    if (near_miss_state_ == " from " && near_miss_aspect_ >= 0) {
        if (calendar_side(plan.calendar_time(near_miss_from_jd_)) != 0 ||
            calendar_side(plan.calendar_time(near_miss_to_jd_)) != 0) {
            ++result_.rows_outside_calendar;
        } else {
            result_.near_miss_line = ControlValues::body_caption(p1_num) + " " + cv.aspect_caption(near_miss_aspect_) +
                                     " " + ControlValues::body_caption(p2_num) + ": " +
                                     plan.calendar_date(near_miss_from_jd_, cv.date_order) + " - " +
                                     plan.calendar_date(near_miss_to_jd_, cv.date_order) + crlf;
            result_.near_misses.push_back(NearMiss{p1_num, near_miss_aspect_, p2_num,
                                                   plan.calendar_time(near_miss_from_jd_),
                                                   plan.calendar_time(near_miss_to_jd_)});
        }
    }
    return finish({});
}

void Engine::end_calcs(ScanResults&& results, const ScanOutcome& outcome) {
    static_cast<ScanResults&>(*this) = std::move(results);
    last_outcome = outcome;
}

ScanOutcome Engine::Start_Calcs(const std::function<void()>& started) {
    ScanOutcome outcome;
    ScanInputs inputs;
    const long long calls_before = eph.calls();
    if (!begin_calcs(outcome, started, inputs)) return outcome;
    SkyEventsResult events = find_run_events(inputs, {}, 1);

    // The pairs one after another on this thread, each with the rows left to the limit; the
    // ephemeris keeps every error it notes.
    ResultMerge merge(inputs, outcome);
    PairScan scan(inputs, eph);
    int rows = 0;
    for (const auto& [p1, p2] : inputs.plan.pairs) {
        PairResult pair = scan.scan(p1, p2, inputs.row_limit - rows);
        rows += static_cast<int>(pair.rows.size());
        if (merge.add(std::move(pair))) break;
    }

    outcome.library_calls = eph.calls() - calls_before;
    ScanResults results = std::move(merge).finish();
    add_run_events(results, std::move(events), outcome);
    end_calcs(std::move(results), outcome);
    return outcome;
}

}  // namespace tavrolin
