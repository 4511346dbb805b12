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

struct TimelineLane {
    int p1 = 0;
    int aspect = 0;
    int p2 = 0;  // 0 in a degree run
    std::string label;  // "Jupiter 060 Saturn", "Moon 090 179.331"
    AspectFamily family = AspectFamily::conjunction;
    std::vector<TimelineMark> marks;          // earliest first
    std::vector<TimelineStretch> stretches;   // earliest first, apart from each other
    // Where the lane is ordered: its first exact moment, else its first stretch.
    double first_jd() const;
};

struct Timeline {
    bool has_run = false;  // false before the first run: nothing to show yet
    double from_jd = 0.0;  // the scanned range, calendar time
    double to_jd = 0.0;
    std::vector<TimelineLane> lanes;  // by first_jd, then in the order the run found them
    int marks = 0;                    // in all lanes
};

// The lanes of the engine's last run: every row of result_table (as it stands, sorted or not),
// every near-miss window and every stretch within orb. Changes nothing in the engine.
Timeline build_timeline(const Engine& engine);

// The listing's text of one row of the last run (its first line, no line end), as the results
// box shows it in the run's listing style.
std::string timeline_row_text(const Engine& engine, int row);

}  // namespace tavrolin
