// The results of the last run as lanes on a time axis: one lane per body pair and aspect, with the
// moments it is exact and the stretches in which it stands within one degree. What the timeline
// window and the batch program's picture draw; no drawing here.
#pragma once

#include <string>
#include <vector>

#include "engine/engine.h"

namespace tavrolin {

// Families of aspects, each drawn in a colour of its own.
enum class AspectFamily { conjunction, hard, soft, minor, declination };
inline constexpr int aspect_family_count = 5;
AspectFamily aspect_family(int aspect);
// "Conjunction", "Hard", "Soft", "Minor", "Declination".
const char* aspect_family_caption(AspectFamily family);

struct TimelineMark {
    double jd = 0.0;  // calendar time (Universal Time; in life for the progressed modes)
    int row = 0;      // its row of result_table
};

struct TimelineStretch {
    double from_jd = 0.0;
    double to_jd = 0.0;
};

// What a lane shows: one aspect of a body pair, or one kind of the sky's own events.
enum class LaneKind { aspect, body_events, lunations, eclipses, void_moon };

// A sky event drawn as a mark: an ingress, a lunation's phase, an eclipse.
struct TimelineEvent {
    SkyEvent event;    // dated in calendar time, as the run listed it
    std::string text;  // what hovering over it says: its line in the run's listing style
};

// A span of a sky event lane: a retrograde period (station to station) or a void of course.
struct TimelineSpan {
    double from_jd = 0.0;
    double to_jd = 0.0;
    std::string text;
};

struct TimelineLane {
    LaneKind kind = LaneKind::aspect;
    int p1 = 0;  // the body of a body_events lane
    int aspect = 0;
    int p2 = 0;  // 0 in a degree run
    std::string label;  // "Jupiter 060 Saturn", "Moon 090 179.331"
    AspectFamily family = AspectFamily::conjunction;
    std::vector<TimelineMark> marks;          // earliest first
    std::vector<TimelineStretch> stretches;   // earliest first, apart from each other
    // Event lanes: the marks and spans of the events in the range, earliest first; a body's
    // shadows (lighter, around its retrograde spans) apart from its spans, each cut at the range.
    std::vector<TimelineEvent> events;
    std::vector<TimelineSpan> spans;
    std::vector<TimelineStretch> shadows;
    // Where the lane is ordered: its first exact moment, else its first stretch.
    double first_jd() const;
};

struct Timeline {
    bool has_run = false;  // false before the first run: nothing to show yet
    double from_jd = 0.0;  // the scanned range, calendar time
    double to_jd = 0.0;
    // The sky's event lanes first, when the run found events (a body's lane by body order, then
    // the lunations, the eclipses and the void Moon); then the aspects' lanes by first_jd, in the
    // order the run found them.
    std::vector<TimelineLane> lanes;
    int marks = 0;                    // exact moments, in all lanes
    int event_lanes = 0;              // the first lanes
};

// The lanes of the engine's last run: every row of result_table (as it stands, sorted or not),
// every near-miss window and every stretch within orb; and the sky's events (ScanResults::sky_events
// and retrograde_periods). Changes nothing in the engine.
Timeline build_timeline(const Engine& engine);

// The listing's text of one row of the last run (its first line, no line end), as the results
// box shows it in the run's listing style.
std::string timeline_row_text(const Engine& engine, int row);

}  // namespace tavrolin
