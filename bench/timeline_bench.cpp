// Times the timeline window on the largest runs: a million result rows in every lane a run can
// have (9,522 pairs and aspects) through the main window's View > Timeline, and a million moments
// in 50,000 lanes handed to the window directly. Opening, the first paint, zoom and scroll
// repaints, and the whole picture as SVG and PNG.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/calendar.h"
#include "engine/date_text.h"
#include "output/timeline.h"
#include "window/file_dialogs.h"
#include "files/file_places.h"
#include "window/frm_tavrolin.h"
#include "window/frm_timeline.h"
#include "picture/timeline_painter.h"

using namespace tavrolin;

namespace {

constexpr double first_jd = 2433282.5;  // 1 January 1950
constexpr double years = 80;
bool pictures = true;  // --frames-only: no whole pictures

double ms(QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e6; }

// Frames of zooming in and out around the middle and of scrolling through the lanes: the mean
// and the slowest repaint.
void time_frames(frmTimeline& t, const char* scenario) {
    QWidget* canvas = t.canvas();
    const auto frames = [&](const char* what, int n, const std::function<void(int)>& step) {
        double total = 0, worst = 0;
        for (int i = 0; i < n; ++i) {
            step(i);
            QElapsedTimer clock;
            clock.start();
            t.visible_image();  // the canvas's painting, into an image of its size
            const double m = ms(clock);
            total += m;
            worst = std::max(worst, m);
        }
        std::printf("%s %s frames=%d mean_ms=%.2f max_ms=%.2f\n", scenario, what, n, total / n, worst);
    };
    const double middle = canvas->width() / 2.0;
    frames("zoom", 40, [&](int i) { t.zoom_at(i < 20 ? 1.5 : 1 / 1.5, middle); });
    frames("scroll", 200, [&](int) { t.pan(0, 3 * t.painter().lane_height()); });
    frames("pan", 100, [&](int i) {
        if (i == 0) t.zoom_at(8.0, middle);
        t.pan(i < 50 ? -40.0 : 40.0, 0);
    });
    t.fit_whole_range();
    if (!pictures) return;
    for (PictureFormat format : {PictureFormat::svg, PictureFormat::png}) {
        QElapsedTimer clock;
        clock.start();
        const TimelineView v = t.painter().whole_view(default_picture_width, max_picture_height(format, default_picture_width));
        const QByteArray bytes = render_picture(t.painter(), v, t.colours(), format);
        std::printf("%s whole_%s ms=%.0f bytes=%lld height=%d\n", scenario, format == PictureFormat::svg ? "svg" : "png",
                    ms(clock), static_cast<long long>(bytes.size()), v.size.height());
    }
}

// A million rows in every lane a run can have, in time order, as a run at the row limit leaves
// them; through View > Timeline of the main window (the lanes made, the window opened and drawn).
void rows_scenario() {
    QTemporaryDir dir;
    WindowSetup setup;
    setup.places = portable_places(native_path(dir.path()));
    setup.date_order = 0;
    frmTavrolin w(setup);
    Engine& engine = w.engine();
    std::vector<std::array<int, 3>> lanes;
    for (int p1 = 0; p1 <= last_body_index; ++p1)
        for (int a = 0; a <= last_aspect_index; ++a)
            for (int p2 = 0; p2 <= last_body_index; ++p2) lanes.push_back({p1, a, p2});
    const int rows = Engine::max_result_rows;
    engine.result_table.assign(1, ResultRow{});
    engine.result_table.reserve(rows + 1);
    const double step = years * 365.25 / rows;
    for (int i = 0; i < rows; ++i) {
        const auto& [p1, a, p2] = lanes[static_cast<std::size_t>(i) * 7919 % lanes.size()];
        const double jd = first_jd + i * step;
        const CivilDate d = civil_from_days(static_cast<long long>(jd - unix_epoch_jd));
        char exact[32];
        std::snprintf(exact, sizeof exact, "%02d/%02d/%04d 12:00:00", d.month, d.day, d.year);
        ResultRow row{std::to_string(p1), std::to_string(a), std::to_string(p2), exact};
        row.exact_jd = jd;
        engine.result_table.push_back(std::move(row));
    }
    engine.result_count = rows;
    engine.last_run.calc_kind = 1;
    engine.last_run.from_jd = first_jd;
    engine.last_run.to_jd = first_jd + years * 365.25;

    QElapsedTimer clock;
    clock.start();
    const Timeline alone = build_timeline(engine);
    std::printf("rows build_timeline ms=%.0f lanes=%zu marks=%d\n", ms(clock), alone.lanes.size(), alone.marks);
    clock.restart();
    w.findChild<QAction*>("mnuViewTimeline")->trigger();
    frmTimeline& t = *w.timeline_window();
    t.resize(1200, 800);
    t.visible_image();
    std::printf("rows open_first_paint ms=%.0f (F9: lanes made, window opened, drawn)\n", ms(clock));
    time_frames(t, "rows");
}

// 50,000 lanes and a million moments: ten dense lanes of 50,000 at the top, ten moments in each
// of the others.
void lanes_scenario() {
    auto timeline = std::make_shared<Timeline>();
    timeline->has_run = true;
    timeline->from_jd = first_jd;
    timeline->to_jd = first_jd + years * 365.25;
    timeline->lanes.resize(50000);
    for (std::size_t i = 0; i < timeline->lanes.size(); ++i) {
        TimelineLane& lane = timeline->lanes[i];
        lane.label = "Lane " + std::to_string(i);
        lane.family = static_cast<AspectFamily>(i % aspect_family_count);
        const int n = i < 10 ? 50000 : 10;
        const double step = (timeline->to_jd - timeline->from_jd) / (n + 1);
        for (int k = 1; k <= n; ++k) lane.marks.push_back({first_jd + k * step + static_cast<double>(i) * 0.01, k});
        lane.stretches.push_back({first_jd + static_cast<double>(i % 100) * 200, first_jd + static_cast<double>(i % 100) * 200 + 30});
        timeline->marks += n;
    }
    QWidget main;
    ToolkitFileDialogs dialogs;
    QElapsedTimer clock;
    clock.start();
    frmTimeline t(&main, dialogs, QString());
    t.resize(1200, 800);
    t.set_timeline(timeline, [](int) { return QString(); });
    t.show();
    t.visible_image();
    std::printf("lanes open_first_paint ms=%.0f lanes=%zu marks=%d\n", ms(clock), timeline->lanes.size(), timeline->marks);
    time_frames(t, "lanes");
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::string which = "all";
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--frames-only") pictures = false;
        else which = argv[i];
    }
    if (which == "all" || which == "rows") rows_scenario();
    if (which == "all" || which == "lanes") lanes_scenario();
    return 0;
}
