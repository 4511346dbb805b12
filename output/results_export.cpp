#include "output/results_export.h"

#include <libical/ical.h>

#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "engine/calendar.h"
#include "engine/date_text.h"
#include "engine/text_rules.h"
#include "engine/time_zone.h"
#include "output/event_text.h"
#include "output/listing.h"
#include "output/position_format.h"
#include "output/result_time.h"

namespace tavrolin {

namespace {

constexpr long long day_seconds = 86400;

long long floor_div(long long a, long long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

void append_two(std::string& out, long long v) {
    out += static_cast<char>('0' + v / 10 % 10);
    out += static_cast<char>('0' + v % 10);
}

// "hh:nn:ss" of a moment's seconds into its day.
void append_time(std::string& out, long long s) {
    append_two(out, s / 3600);
    out += ':';
    append_two(out, s / 60 % 60);
    out += ':';
    append_two(out, s % 60);
}

std::string iso_date(const CivilDate& d) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day);
    return buf;
}

// "2020-12-21T18:20:12": without a zone suffix, which spreadsheets would not read as a date.
std::string iso_date_time(long long seconds) {
    const long long days = floor_div(seconds, day_seconds);
    std::string out = iso_date(civil_from_days(days)) + "T";
    append_time(out, seconds - days * day_seconds);
    return out;
}

// "12/21/2020 13:20:12", as the listing writes times.
void append_listing_date_time(std::string& out, long long seconds) {
    const long long days = floor_div(seconds, day_seconds);
    out += short_date(civil_from_days(days));
    out += ' ';
    append_time(out, seconds - days * day_seconds);
}

// The calendar day of a Julian day, as the listing's near-miss dates give it.
CivilDate calendar_day(double jd) {
    return parse_date(GetCalendarDay(jd, date_order_mdy), date_order_mdy).value_or(CivilDate{});
}

std::string mode_words(const RunInputs& run) {
    static constexpr std::array<const char*, 4> aspects = {"transit to natal", "transit to transit",
                                                          "progressed to natal", "solar arc to natal"};
    static constexpr std::array<const char*, 4> degree = {"transit to degree", "transit to degree",
                                                         "progressed to degree", "solar arc to degree"};
    if (run.cv.mode < 0 || run.cv.mode > 3) return "no mode";
    return (run.calc_kind == 0 ? degree : aspects)[static_cast<std::size_t>(run.cv.mode)];
}

// Stable across exports of the same event: FNV-1a of what names it.
std::string uid_for(const std::string& key) {
    std::uint64_t h = 1469598103934665603ULL;
    for (unsigned char c : key) {
        h ^= c;
        h *= 1099511628211ULL;
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%016llx@tavrolin", static_cast<unsigned long long>(h));
    return buf;
}

// One exact moment of the table, with the times every format needs.
struct Moment : RunClock::Times {
    std::string p1, aspect, p2;
};

// Everything the writers share: the run, its time zone and the names of its bodies.
class ExportRun {
public:
    explicit ExportRun(const Engine& engine) : engine_(engine), run_(engine.last_run), clock_(run_) {}

    // False (with `error`) when the time zone cannot be applied.
    bool prepare(std::string& error) {
        if (const std::string problem = time_zone_problem(run_.cv.tz); !problem.empty()) {
            error = "the time zone \"" + run_.cv.tz + "\" " + problem;
            return false;
        }
        const bool named_zone = is_zone_name(run_.cv.tz);
        const long long tz_seconds = std::llround(val(run_.cv.tz) * 3600.0);
        natal_minute_ = std::llround(run_.natal_jd * 1440.0);
        mode_ = mode_words(run_);
        if (named_zone) zone_ = "time zone " + run_.cv.tz;
        else if (tz_seconds == 0) zone_ = "Universal Time";
        else if (tz_seconds > 0) zone_ = number_to_text(static_cast<double>(tz_seconds) / 3600.0) + " hours behind Universal Time";
        else zone_ = number_to_text(-static_cast<double>(tz_seconds) / 3600.0) + " hours ahead of Universal Time";
        natal_ = run_.cv.natal_date + ", " + run_.cv.natal_time + " GMT";
        return true;
    }

    const RunInputs& run() const { return run_; }
    const std::string& mode() const { return mode_; }
    const std::string& zone() const { return zone_; }    // "5 hours behind Universal Time"
    const std::string& natal() const { return natal_; }  // "09/22/1949, 16.43 GMT"
    int rows() const { return engine_.result_count; }
    const std::vector<SkyEvent>& events() const { return engine_.sky_events; }
    // In transit to natal a body's conjunction with its own natal place is its return.
    bool is_return(const ResultRow& row) const {
        return run_.calc_kind == 1 && run_.cv.mode == 0 && column_index(row[1]) == 0 && column_index(row[0]) == column_index(row[2]);
    }
    // The local time of a moment in Universal Time (seconds since 1970).
    long long local_of(long long utc) const { return utc - clock_.offset_at_utc(utc); }
    // The near-miss windows of the listing: a degree run lists none.
    const std::vector<NearMiss>& windows() const { return run_.calc_kind == 0 ? no_windows_ : engine_.near_misses; }

    std::optional<Moment> moment(int r) const {
        const ResultRow& row = engine_.result_table[static_cast<std::size_t>(r)];
        const auto times = clock_.times(row);
        if (!times) return std::nullopt;
        Moment m;
        static_cast<RunClock::Times&>(m) = *times;
        m.p1 = body_caption_of(row[0]);
        m.aspect = aspect_caption_of(run_.cv, row[1]);
        m.p2 = run_.calc_kind == 0 ? format_number_text(run_.cv.zodiac_degree, 3) : body_caption_of(row[2]);
        return m;
    }
    const ResultRow& row(int r) const { return engine_.result_table[static_cast<std::size_t>(r)]; }

    std::string pair_key(const std::string& p1, const std::string& aspect, const std::string& p2) const {
        return std::to_string(run_.calc_kind) + "|" + std::to_string(run_.cv.mode) + "|" + p1 + "|" + aspect + "|" +
               p2 + "|" + std::to_string(natal_minute_);
    }
    std::string event_key(const SkyEvent& e) const {
        return std::to_string(run_.calc_kind) + "|" + std::to_string(run_.cv.mode) + "|" + event_kind_word(e) + "|" +
               std::to_string(e.body) + "|" + event_detail_word(e) + "|" + std::to_string(natal_minute_);
    }
    std::string window_name(const NearMiss& w) const {
        return ControlValues::body_caption(w.p1) + " " + run_.cv.aspect_caption(w.aspect) + " " +
               ControlValues::body_caption(w.p2);
    }

private:
    const Engine& engine_;
    const RunInputs& run_;
    RunClock clock_;
    long long natal_minute_ = 0;
    std::string mode_, zone_, natal_;
    const std::vector<NearMiss> no_windows_;
};

// The positions and speeds of a row, in words.
std::string description(const ExportRun& x, const Moment& m, const ResultRow& row) {
    const RunInputs& run = x.run();
    std::string d;
    d.reserve(512);
    d += m.p1 + " " + m.aspect + " " + m.p2 + ", " + x.mode() + ".\nExact on ";
    append_listing_date_time(d, m.local);
    d += " local time (" + x.zone() + "), ";
    append_listing_date_time(d, m.utc);
    d += " Universal Time.\n";
    if (run.progressed) {
        d += "In progressed time the aspect is exact on ";
        append_listing_date_time(d, m.row_time);
        d += "; one day of progression stands for one year of life, which gives the moment above.\n";
    }
    auto body = [&](const std::string& name, std::string_view lon, std::string_view speed, std::string_view decl, int helio) {
        d += name + ": longitude " + PrintSignDataSeconds(val(lon)) + ", " + (helio == 1 ? "latitude " : "declination ") +
             PrintDecl_Lat(val(decl)) + ", speed " + format_number_text(speed, 4) + " degrees a day.\n";
    };
    body(m.p1, row[5], row[8], row[10], run.cv.p1_helio);
    if (run.calc_kind == 0) {
        d += "Zodiac degree: " + m.p2 + ".\n";
    } else {
        body(m.p2, row[6], row[9], row[11], run.cv.p2_helio);
    }
    d += "Speed of the aspect: ";
    d += row[4];
    d += " degrees a day.\n";
    d += "Natal data: " + x.natal() + ".\n";
    return d;
}

// libical's text, handed to the sink and freed.
bool emit(const ExportSink& sink, icalcomponent* component) {
    char* text = icalcomponent_as_ical_string_r(component);
    const bool ok = text != nullptr && sink(text);
    icalmemory_free_buffer(text);
    return ok;
}

icaltimetype utc_time(long long seconds) {
    return icaltime_from_timet_with_zone(static_cast<time_t>(seconds), 0, icaltimezone_get_utc_timezone());
}

// Dates and times of events are given to libical as their RFC 5545 text: it keeps typed date
// values only up to the year 3000 (later ones come out as 00000000T000000), but reads the text of
// any year the program writes.
icalproperty* with_time(icalproperty* property, long long utc_seconds) {
    const long long days = floor_div(utc_seconds, day_seconds);
    const CivilDate d = civil_from_days(days);
    const long long s = utc_seconds - days * day_seconds;
    char text[40];
    std::snprintf(text, sizeof text, "%04d%02d%02dT%02lld%02lld%02lldZ", d.year, d.month, d.day, s / 3600, s / 60 % 60,
                  s % 60);
    icalproperty_set_value_from_string(property, text, "DATE-TIME");
    return property;
}

icalproperty* with_date(icalproperty* property, const CivilDate& d) {
    char text[24];
    std::snprintf(text, sizeof text, "%04d%02d%02d", d.year, d.month, d.day);
    icalproperty_set_value_from_string(property, text, "DATE");
    return property;
}

using Component = std::unique_ptr<icalcomponent, decltype(&icalcomponent_free)>;

// Seconds since 1970 of a Julian day (Universal Time), to the nearest second.
long long seconds_of(double jd) { return std::llround((jd - unix_epoch_jd) * day_seconds); }

// A sky event as a line of a planetary guide: "Mercury stations retrograde at 27°13' Aries".
std::string guide_line(const SkyEvent& e) { return event_words(e) + " at " + degree_in_sign(e.longitude); }

std::string event_description(const ExportRun& x, const SkyEvent& e) {
    std::string d = guide_line(e) + ", " + x.mode() + ".\n";
    const long long utc = seconds_of(e.jd);
    d += e.kind == SkyEventKind::void_of_course ? "From " : "At ";
    append_listing_date_time(d, x.local_of(utc));
    d += " local time (" + x.zone() + "), ";
    append_listing_date_time(d, utc);
    d += " Universal Time";
    if (e.kind == SkyEventKind::void_of_course) {
        const long long end = seconds_of(e.end_jd);
        d += ", to ";
        append_listing_date_time(d, x.local_of(end));
        d += " local time, ";
        append_listing_date_time(d, end);
        d += " Universal Time, when the Moon enters the next sign";
    }
    d += ".\n";
    d += "Longitude " + PrintSignDataSeconds(e.longitude) + ".\n";
    if (e.kind == SkyEventKind::eclipse) d += "Magnitude " + format_fixed(e.magnitude, 4) + ".\n";
    if (x.run().progressed) d += "Found on the progressed time scale; one day of progression stands for one year of life.\n";
    return d;
}

ExportOutcome write_icalendar(const ExportRun& x, const ExportSink& sink, long long now_utc) {
    ExportOutcome outcome;
    const RunInputs& run = x.run();
    const std::string& mode = x.mode();
    // The calendar's own lines come from libical too; the events are written one at a time after
    // them, so that a million of them never stand in memory together.
    Component calendar(icalcomponent_new_vcalendar(), icalcomponent_free);
    icalcomponent_add_property(calendar.get(), icalproperty_new_prodid("-//Tavrolin//Tavrolin " TAVROLIN_VERSION "//EN"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_version("2.0"));
    icalcomponent_add_property(calendar.get(), icalproperty_new_calscale("GREGORIAN"));
    const std::string name = "Tavrolin: natal " + x.natal() + ", " + mode;
    icalproperty* calname = icalproperty_new_x(name.c_str());
    icalproperty_set_x_name(calname, "X-WR-CALNAME");
    icalcomponent_add_property(calendar.get(), calname);
    char* whole = icalcomponent_as_ical_string_r(calendar.get());
    std::string head = whole != nullptr ? whole : "";
    icalmemory_free_buffer(whole);
    const std::string end = "END:VCALENDAR\r\n";
    if (head.size() < end.size() || head.compare(head.size() - end.size(), end.size(), end) != 0) {
        outcome.error = "libical wrote no calendar";
        return outcome;
    }
    head.resize(head.size() - end.size());
    if (!sink(head)) return outcome;

    const icaltimetype stamp = utc_time(now_utc);
    // One event whose changing properties are set anew for each row: a million events are
    // written in a few seconds instead of building and freeing a million components.
    Component event(icalcomponent_new_vevent(), icalcomponent_free);
    icalcomponent* e = event.get();
    icalproperty* uid = icalproperty_new_uid("");
    icalproperty* start = icalproperty_new_dtstart(stamp);
    icalproperty* summary = icalproperty_new_summary("");
    icalproperty* text = icalproperty_new_description("");
    icalcomponent_add_property(e, uid);
    icalcomponent_add_property(e, icalproperty_new_dtstamp(stamp));
    icalcomponent_add_property(e, start);
    // One minute rather than none: calendars draw a zero-length event as a sliver or not at all.
    icalcomponent_add_property(e, icalproperty_new_duration(icaldurationtype_from_int(60)));
    icalcomponent_add_property(e, summary);
    icalcomponent_add_property(e, text);
    icalcomponent_add_property(e, icalproperty_new_categories(mode.c_str()));
    icalcomponent_add_property(e, icalproperty_new_transp(ICAL_TRANSP_TRANSPARENT));
    for (int r = 1; r <= x.rows(); ++r) {
        const auto m = x.moment(r);
        if (!m) {
            outcome.error = "row " + std::to_string(r) + " has no time that can be read: " + std::string(x.row(r)[3]);
            return outcome;
        }
        const long long minute = floor_div(m->utc + 30, 60);
        icalproperty_set_uid(uid, uid_for(x.pair_key(m->p1, m->aspect, m->p2) + "|" + std::to_string(minute)).c_str());
        with_time(start, m->utc);
        // A return is named so only where events are asked for: a run without keeps its old file.
        const std::string returned = run.cv.any_event() && x.is_return(x.row(r)) ? m->p1 + " return: " : "";
        icalproperty_set_summary(summary, (returned + m->p1 + " " + m->aspect + " " + m->p2 + " (" + mode + ")").c_str());
        icalproperty_set_description(text, description(x, *m, x.row(r)).c_str());
        if (!emit(sink, e)) return outcome;
        ++outcome.events;
    }
    for (const NearMiss& w : x.windows()) {
        const CivilDate from = calendar_day(w.from_jd), to = calendar_day(w.to_jd);
        const std::string pair = x.window_name(w);
        Component event(icalcomponent_new_vevent(), icalcomponent_free);
        icalcomponent* e = event.get();
        icalcomponent_add_property(
            e, icalproperty_new_uid(uid_for(x.pair_key(ControlValues::body_caption(w.p1), run.cv.aspect_caption(w.aspect),
                                                       ControlValues::body_caption(w.p2)) +
                                            "|within|" + iso_date(from))
                                        .c_str()));
        icalcomponent_add_property(e, icalproperty_new_dtstamp(stamp));
        icalcomponent_add_property(e, with_date(icalproperty_new_dtstart(stamp), from));
        // The end is not part of it. The day after 31 December 9999 has no date that can be
        // written: a window that reaches it is given by its length instead.
        const CivilDate after = add_days(to, 1);
        if (after.year <= 9999) {
            icalcomponent_add_property(e, with_date(icalproperty_new_dtend(stamp), after));
        } else {
            const auto length = static_cast<int>(days_from_civil(after) - days_from_civil(from));
            icalcomponent_add_property(e, icalproperty_new_duration(icaldurationtype_from_int(length * 86400)));
        }
        icalcomponent_add_property(e, icalproperty_new_summary((pair + " within 1\u00B0").c_str()));
        const std::string text = pair + ", " + mode + ": within 1 degree of exact from " + short_date(from) + " to " +
                                 short_date(to) + " without becoming exact.\nNatal data: " + x.natal() + ".";
        icalcomponent_add_property(e, icalproperty_new_description(text.c_str()));
        icalcomponent_add_property(e, icalproperty_new_categories(mode.c_str()));
        icalcomponent_add_property(e, icalproperty_new_transp(ICAL_TRANSP_TRANSPARENT));
        if (!emit(sink, e)) return outcome;
        ++outcome.events;
    }
    for (const SkyEvent& ev : x.events()) {
        const long long utc = seconds_of(ev.jd);
        // A house ingress is read by its house: its summary is the listing's words alone.
        const std::string words = ev.kind == SkyEventKind::house_ingress ? event_words(ev) : guide_line(ev);
        icalproperty_set_uid(uid, uid_for(x.event_key(ev) + "|" + std::to_string(floor_div(utc + 30, 60))).c_str());
        with_time(start, utc);
        icalproperty_set_summary(summary, words.c_str());
        icalproperty_set_description(text, event_description(x, ev).c_str());
        if (ev.kind != SkyEventKind::void_of_course) {
            if (!emit(sink, e)) return outcome;
        } else {
            // A span: its end instead of the minute's length.
            Component span(icalcomponent_new_clone(e), icalcomponent_free);
            icalproperty* length = icalcomponent_get_first_property(span.get(), ICAL_DURATION_PROPERTY);
            icalcomponent_remove_property(span.get(), length);
            icalproperty_free(length);
            icalcomponent_add_property(span.get(), with_time(icalproperty_new_dtend(stamp), seconds_of(ev.end_jd)));
            if (!emit(sink, span.get())) return outcome;
        }
        ++outcome.events;
    }
    if (!sink(end)) return outcome;
    outcome.ok = true;
    return outcome;
}

// A field as RFC 4180 wants it: quoted when it holds a comma, a quote or a line break.
void csv_field(std::string& line, std::string_view text) {
    if (!line.empty()) line += ',';
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        line += text;
        return;
    }
    line += '"';
    for (char c : text) {
        if (c == '"') line += '"';
        line += c;
    }
    line += '"';
}

ExportOutcome write_csv(const ExportRun& x, const ExportSink& sink) {
    ExportOutcome outcome;
    const std::string& mode = x.mode();
    if (!sink("kind,utc,local,row_time,from,to,p1,aspect,p2,speed,p1_longitude,p2_longitude,direction,p1_speed,"
              "p2_speed,p1_declination,p2_declination,mode,event\r\n"))
        return outcome;
    std::string line;
    for (int r = 1; r <= x.rows(); ++r) {
        const auto m = x.moment(r);
        if (!m) {
            outcome.error = "row " + std::to_string(r) + " has no time that can be read: " + std::string(x.row(r)[3]);
            return outcome;
        }
        const ResultRow& row = x.row(r);
        line.clear();
        for (const std::string& field : {std::string("exact"), iso_date_time(m->utc), iso_date_time(m->local),
                                         iso_date_time(m->row_time), std::string(), std::string(), m->p1, m->aspect, m->p2})
            csv_field(line, field);
        for (int c = 4; c <= last_result_col; ++c) csv_field(line, row[c]);
        csv_field(line, mode);
        csv_field(line, x.is_return(row) ? "return" : "");
        line += "\r\n";
        if (!sink(line)) return outcome;
        ++outcome.events;
    }
    for (const NearMiss& w : x.windows()) {
        line.clear();
        for (const std::string& field :
             {std::string("within_1_degree"), std::string(), std::string(), std::string(), iso_date(calendar_day(w.from_jd)),
              iso_date(calendar_day(w.to_jd)), ControlValues::body_caption(w.p1), x.run().cv.aspect_caption(w.aspect),
              ControlValues::body_caption(w.p2)})
            csv_field(line, field);
        for (int c = 4; c <= last_result_col; ++c) csv_field(line, "");
        csv_field(line, mode);
        csv_field(line, "");
        line += "\r\n";
        if (!sink(line)) return outcome;
        ++outcome.events;
    }
    for (const SkyEvent& e : x.events()) {
        const long long utc = seconds_of(e.jd);
        const bool span = e.kind == SkyEventKind::void_of_course;
        line.clear();
        // The row's own time is the local one: events are dated in life in every mode.
        for (const std::string& field :
             {event_kind_word(e), iso_date_time(utc), iso_date_time(x.local_of(utc)), iso_date_time(x.local_of(utc)),
              span ? iso_date_time(utc) : std::string(), span ? iso_date_time(seconds_of(e.end_jd)) : std::string(),
              ControlValues::body_caption(e.body), std::string(),
              e.natal_point >= 0 ? ControlValues::body_caption(e.natal_point) : std::string(), std::string(),
              number_to_text(e.longitude)})
            csv_field(line, field);
        for (int c = 6; c <= last_result_col; ++c) csv_field(line, "");
        csv_field(line, mode);
        csv_field(line, event_detail_word(e));
        line += "\r\n";
        if (!sink(line)) return outcome;
        ++outcome.events;
    }
    outcome.ok = true;
    return outcome;
}

}  // namespace

std::optional<ExportFormat> export_format_for(std::string_view path) {
    const auto dot = path.rfind('.');
    const auto slash = path.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return std::nullopt;
    std::string ext(path.substr(dot + 1));
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "ics") return ExportFormat::icalendar;
    if (ext == "csv") return ExportFormat::csv;
    return std::nullopt;
}

ExportOutcome export_results(const Engine& engine, ExportFormat format, const ExportSink& sink, long long now_utc) {
    ExportOutcome outcome;
    ExportRun run(engine);
    if (run.rows() <= 0 && run.windows().empty() && run.events().empty()) {
        outcome.error = "the last calculation found nothing to export";
        return outcome;
    }
    if (!run.prepare(outcome.error)) return outcome;
    outcome = format == ExportFormat::icalendar ? write_icalendar(run, sink, now_utc) : write_csv(run, sink);
    // A piece the sink refused leaves `error` empty: the sink's owner knows the system's reason.
    return outcome;
}

}  // namespace tavrolin
