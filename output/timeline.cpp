#include "output/timeline.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <unordered_map>

#include "output/calculation_command.h"
#include "output/event_text.h"
#include "output/listing.h"

namespace tavrolin {

namespace {

long long lane_key(int p1, int aspect, int p2) {
    return (static_cast<long long>(p1) * aspect_count + aspect) * (point_count + 1) + p2;
}

// The lanes of the run's sky events, in their order: each body's (its retrograde periods with
// their shadows, its ingresses into signs and houses), then the lunations, the eclipses and the void Moon.
std::vector<TimelineLane> event_lanes(const Engine& engine, double from_jd, double to_jd) {
    const RunInputs& run = engine.last_run;
    std::vector<TimelineLane> lanes;
    if (engine.sky_events.empty() && engine.retrograde_periods.empty()) return lanes;
    const ListingContext context{run.cv, run.calc_kind};
    const EventEntry entry = event_entry_in_style(run.cv.style);
    const auto text_of = [&](const SkyEvent& e) {
        std::string text = entry(context, e);
        return text.substr(0, text.find(crlf));
    };
    std::array<TimelineLane, body_count> bodies;
    TimelineLane lunations, eclipses, voids;
    for (const SkyEvent& e : engine.sky_events) {
        const auto b = static_cast<std::size_t>(e.body);
        switch (e.kind) {
            case SkyEventKind::ingress:
            case SkyEventKind::house_ingress:
                if (b < bodies.size()) bodies[b].events.push_back({e, text_of(e)});
                break;
            case SkyEventKind::lunation: lunations.events.push_back({e, text_of(e)}); break;
            case SkyEventKind::eclipse: eclipses.events.push_back({e, text_of(e)}); break;
            case SkyEventKind::void_of_course:
                // A void that began before the range is shown from its start.
                voids.spans.push_back({std::max(e.jd, from_jd), std::min(e.end_jd, to_jd), text_of(e)});
                break;
            case SkyEventKind::station: break;  // the ends of the retrograde spans
        }
    }
    for (const RetrogradePeriod& p : engine.retrograde_periods) {
        const auto b = static_cast<std::size_t>(p.body);
        if (b >= bodies.size()) continue;
        const auto cut = [&](double from, double to) { return TimelineStretch{std::max(from, from_jd), std::min(to, to_jd)}; };
        const std::string shadow = "; shadow from " + listing_time(p.shadow_from, run.cv) + " to " + listing_time(p.shadow_to, run.cv);
        if (p.shadow_from < p.retrograde_from) bodies[b].shadows.push_back(cut(p.shadow_from, p.retrograde_from));
        if (p.retrograde_from < to_jd && p.retrograde_to > from_jd) {
            const TimelineStretch s = cut(p.retrograde_from, p.retrograde_to);
            bodies[b].spans.push_back({s.from_jd, s.to_jd,
                                       ControlValues::body_caption(p.body) + " retrograde from " +
                                           listing_time(p.retrograde_from, run.cv) + " to " +
                                           listing_time(p.retrograde_to, run.cv) + shadow});
        }
        if (p.retrograde_to < p.shadow_to) bodies[b].shadows.push_back(cut(p.retrograde_to, p.shadow_to));
    }
    const auto add = [&](TimelineLane&& lane, LaneKind kind, int body, std::string label) {
        if (lane.events.empty() && lane.spans.empty() && lane.shadows.empty()) return;
        lane.kind = kind;
        lane.p1 = body;
        lane.label = std::move(label);
        std::erase_if(lane.shadows, [](const TimelineStretch& s) { return s.to_jd <= s.from_jd; });
        std::sort(lane.shadows.begin(), lane.shadows.end(),
                  [](const TimelineStretch& a, const TimelineStretch& b) { return a.from_jd < b.from_jd; });
        lanes.push_back(std::move(lane));
    };
    for (int b = 0; b <= last_body_index; ++b)
        add(std::move(bodies[static_cast<std::size_t>(b)]), LaneKind::body_events, b, ControlValues::body_caption(b));
    add(std::move(lunations), LaneKind::lunations, 1, "Lunations");
    add(std::move(eclipses), LaneKind::eclipses, 0, "Eclipses");
    add(std::move(voids), LaneKind::void_moon, 1, "Void Moon");
    return lanes;
}

}  // namespace

AspectFamily aspect_family(int aspect) {
    if (is_declination_aspect(aspect)) return AspectFamily::declination;
    switch (aspect) {
        case 0: return AspectFamily::conjunction;
        case 4: case 7: case 10: case 14: return AspectFamily::hard;    // 045 090 135 180
        case 5: case 9: return AspectFamily::soft;                       // 060 120
        default: return AspectFamily::minor;
    }
}

const char* aspect_family_caption(AspectFamily family) {
    switch (family) {
        case AspectFamily::conjunction: return "Conjunction";
        case AspectFamily::hard: return "Hard";
        case AspectFamily::soft: return "Soft";
        case AspectFamily::minor: return "Minor";
        case AspectFamily::declination: return "Declination";
    }
    return "";
}

double TimelineLane::first_jd() const {
    if (!marks.empty()) return marks.front().jd;
    return stretches.empty() ? 0.0 : stretches.front().from_jd;
}

Timeline build_timeline(const Engine& engine) {
    const RunInputs& run = engine.last_run;
    Timeline timeline;
    timeline.has_run = !engine.result_table.empty();
    timeline.from_jd = run.from_jd;
    timeline.to_jd = run.to_jd;

    std::unordered_map<long long, std::size_t> lane_of;
    const auto lane = [&](int p1, int aspect, int p2) -> TimelineLane& {
        const auto [it, added] = lane_of.try_emplace(lane_key(p1, aspect, p2), timeline.lanes.size());
        if (added) {
            TimelineLane l;
            l.p1 = p1;
            l.aspect = aspect;
            l.p2 = p2;
            l.label = ControlValues::body_caption(p1) + " " + run.cv.aspect_caption(aspect) + " " +
                      (run.calc_kind == 0 ? format_number_text(run.cv.zodiac_degree, 3) : ControlValues::body_caption(p2));
            l.family = aspect_family(aspect);
            timeline.lanes.push_back(std::move(l));
        }
        return timeline.lanes[it->second];
    };
    const auto valid = [](int p1, int aspect, int p2) {
        return p1 >= 0 && p1 <= last_body_index && aspect >= 0 && aspect <= last_aspect_index && p2 >= 0 &&
               p2 <= last_point_index;
    };

    const int rows = std::min(engine.result_count, static_cast<int>(engine.result_table.size()) - 1);
    for (int i = 1; i <= rows; ++i) {
        const ResultRow& row = engine.result_table[static_cast<std::size_t>(i)];
        const int p1 = column_index(row[0]), aspect = column_index(row[1]), p2 = column_index(row[2]);
        // Only rows the scan made know their moment.
        if (row.exact_jd == 0.0 || !valid(p1, aspect, p2)) continue;
        const double jd = run.progressed ? progressed_to_calendar(row.exact_jd, run.natal_jd) : row.exact_jd;
        lane(p1, aspect, p2).marks.push_back(TimelineMark{jd, i});
        ++timeline.marks;
    }
    for (const NearMiss& w : engine.near_misses)
        if (valid(w.p1, w.aspect, w.p2)) lane(w.p1, w.aspect, w.p2);

    // Stretches belong to the lanes that the listing names; a pair that only came near an
    // aspect while exact at another has no near-miss line, and no lane for it either.
    for (const OrbStretch& s : engine.orb_stretches) {
        const auto it = lane_of.find(lane_key(s.p1, s.aspect, s.p2));
        if (it != lane_of.end()) timeline.lanes[it->second].stretches.push_back(TimelineStretch{s.from_jd, s.to_jd});
    }
    for (const NearMiss& w : engine.near_misses) {
        if (!valid(w.p1, w.aspect, w.p2)) continue;
        TimelineLane& l = lane(w.p1, w.aspect, w.p2);
        if (l.stretches.empty()) l.stretches.push_back(TimelineStretch{w.from_jd, w.to_jd});
    }

    for (TimelineLane& l : timeline.lanes) {
        // A sorted table lists the rows by local time, which is also their order in time.
        std::stable_sort(l.marks.begin(), l.marks.end(),
                         [](const TimelineMark& a, const TimelineMark& b) { return a.jd < b.jd; });
        std::sort(l.stretches.begin(), l.stretches.end(),
                  [](const TimelineStretch& a, const TimelineStretch& b) { return a.from_jd < b.from_jd; });
    }
    std::stable_sort(timeline.lanes.begin(), timeline.lanes.end(),
                     [](const TimelineLane& a, const TimelineLane& b) { return a.first_jd() < b.first_jd(); });

    std::vector<TimelineLane> events = event_lanes(engine, timeline.from_jd, timeline.to_jd);
    timeline.event_lanes = static_cast<int>(events.size());
    timeline.has_run = timeline.has_run || !events.empty();
    timeline.lanes.insert(timeline.lanes.begin(), std::make_move_iterator(events.begin()), std::make_move_iterator(events.end()));
    return timeline;
}

std::string timeline_row_text(const Engine& engine, int row) {
    if (row < 1 || row >= static_cast<int>(engine.result_table.size())) return std::string();
    const ListingContext context{engine.last_run.cv, engine.last_run.calc_kind};
    std::string text = row_entry_in_style(engine.last_run.cv.style)(context, engine.result_table[static_cast<std::size_t>(row)]);
    return text.substr(0, text.find(crlf));
}

}  // namespace tavrolin
