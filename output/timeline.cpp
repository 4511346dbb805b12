#include "output/timeline.h"

#include <algorithm>
#include <unordered_map>

#include "output/calculation_command.h"
#include "output/listing.h"

namespace tavrolin {

namespace {

long long lane_key(int p1, int aspect, int p2) {
    return (static_cast<long long>(p1) * aspect_count + aspect) * (point_count + 1) + p2;
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
    return timeline;
}

std::string timeline_row_text(const Engine& engine, int row) {
    if (row < 1 || row >= static_cast<int>(engine.result_table.size())) return std::string();
    const ListingContext context{engine.last_run.cv, engine.last_run.calc_kind};
    std::string text = row_entry_in_style(engine.last_run.cv.style)(context, engine.result_table[static_cast<std::size_t>(row)]);
    return text.substr(0, text.find(crlf));
}

}  // namespace tavrolin
