// View > Timeline: markers where their dates are, hover text and click-to-select, the pictures of
// the window and of tavrolin-batch, the window before any run and across runs.
#include <QClipboard>
#include <QElapsedTimer>
#include <QHelpEvent>
#include <QProcess>
#include <QRegularExpression>
#include <QToolTip>
#include <QWheelEvent>
#include <QXmlStreamReader>

#include <cmath>

#include "engine/calendar.h"
#include "engine/swe_api.h"
#include "output/calculation_command.h"
#include "support/window_test_support.h"
#include "window/frm_timeline.h"

using namespace tavrolin;

namespace {

// The Sun's conjunctions with Saturn (24th) and Jupiter (29th) in January 2021, in UT.
void two_conjunctions(const WindowFixture& f) { f.set_run("01/01/2021", "01/31/2021", 1, {0}, {5, 6}, {0}); }

// The moment of a listing line "Sun 000 Saturn 01/24/2021 hh:nn:ss", time zone 0.
double jd_of_line(const QString& line) {
    const QDate date = QDate::fromString(line.right(19).left(10), "MM/dd/yyyy");
    return date.toJulianDay() - 0.5 + QTime::fromString(line.right(8)).msecsSinceStartOfDay() / 86400000.0;
}

QPoint centre_of(const frmTimeline& t, int lane, double jd) {
    const TimelineView v = t.view();
    const TimelinePainter& p = t.painter();
    return QPoint(static_cast<int>(std::lround(p.x_of(jd, v))),
                  p.lanes_area(v).top() + lane * p.lane_height() + p.lane_height() / 2 - v.lane_offset);
}

double contrast(const QColor& a, const QColor& b) {
    const auto lum = [](const QColor& c) {
        const auto ch = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * ch(c.redF()) + 0.7152 * ch(c.greenF()) + 0.0722 * ch(c.blueF());
    };
    const double x = lum(a), y = lum(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

}  // namespace

class TimelineTest : public QObject {
    Q_OBJECT

private slots:
    // Before any run the window says so, and a second F9 brings the same window. After a two-row
    // run its markers are drawn at the x of their listed moments, the present moment's line only
    // inside the range; hovering shows a row's line, clicking selects it in the results box.
    // Saving where nothing can be written, or under another extension, says so and leaves
    // nothing; the pictures (whole and visible) are written; Home fits the range after a zoom;
    // the window follows the next run.
    void emptyThenMarkersHoverClickSavingAndZoom() {
        WindowFixture f;
        f.get<QAction>("mnuViewTimeline")->trigger();
        frmTimeline* t = f.w->timeline_window();
        QVERIFY(t != nullptr && t->isVisible());
        t->resize(900, 400);
        QVERIFY(!t->timeline().has_run);
        QVERIFY(render_picture(t->painter(), t->view(), t->colours(), PictureFormat::svg)
                    .contains("Nothing to show yet: run a calculation first."));
        f.get<QAction>("mnuViewTimeline")->trigger();
        QCOMPARE(f.w->timeline_window(), t);

        two_conjunctions(f);
        QTest::mouseClick(f.get<QPushButton>("cmdTavrolin"), Qt::LeftButton);
        const double inside = GetJulianDay(1, 10, 2021);
        t->set_clock([&] { return inside; });
        QCOMPARE(t->timeline().lanes.size(), std::size_t{2});
        const QImage image = t->visible_image();
        const TimelineColours colours = t->colours();
        const QColor marker = colours.marks[static_cast<int>(AspectFamily::conjunction)];
        for (const int lane : {0, 1}) {  // in time order: Saturn on the 24th, Jupiter on the 29th
            const QString label = QString("Sun 000 ") + (lane == 0 ? "Saturn" : "Jupiter");
            QCOMPARE(QString::fromStdString(t->timeline().lanes[lane].label), label);
            const QString line = f.get<QPlainTextEdit>("txtResults_1")->toPlainText().split('\n').filter(label).value(0);
            const QPoint at = centre_of(*t, lane, jd_of_line(line));
            QCOMPARE(image.pixelColor(at), marker);
            QVERIFY(image.pixelColor(at + QPoint(4 * t->painter().mark_radius(), 0)) != marker);
            QCOMPARE(t->text_at(at), line);
            QTest::mouseClick(t->canvas(), Qt::LeftButton, {}, at);
            QCOMPARE(f.get<QPlainTextEdit>("txtResults_1")->textCursor().selectedText(), line);
            QVERIFY(f.get<QPlainTextEdit>("txtResults_1")->viewport()->rect().contains(f.get<QPlainTextEdit>("txtResults_1")->cursorRect()));
        }
        QHelpEvent help(QEvent::ToolTip, centre_of(*t, 0, t->timeline().lanes[0].marks[0].jd), QPoint());
        QApplication::sendEvent(t->canvas(), &help);
        QVERIFY2(QToolTip::text().startsWith("Sun 000 Saturn 01/24/2021"), qPrintable(QToolTip::text()));
        QVERIFY(t->text_at(QPoint(5, 5)).isEmpty());

        // The present moment's line, where it falls in the range.
        const int now_x = static_cast<int>(std::lround(t->painter().x_of(inside, t->view())));
        const int y = t->painter().lanes_area(t->view()).top() + 1;
        QCOMPARE(t->visible_image().pixelColor(now_x, y), colours.now);
        const double later = GetJulianDay(1, 10, 2030);
        t->set_clock([&] { return later; });
        QVERIFY(t->visible_image().pixelColor(now_x, y) != colours.now);

        QVERIFY(write_file(f.path("plain"), "x"));
        struct Save { int choice; const char* name; const char* message; };
        const Save saves[] = {{0, "plain/t.png", "Not saved: Could not write "},
                              {1, "t.gif", "must end in .png or .svg."},
                              {0, "whole.PNG", "Saved "},
                              {1, "visible.svg", "Saved "}};
        for (const Save& s : saves) {
            f.dialogs->choices.push_back(s.choice);
            f.dialogs->answer(f.path(s.name));
            t->mnuSaveImage->trigger();
            QVERIFY2(t->statusBar()->currentMessage().contains(s.message), qPrintable(t->statusBar()->currentMessage()));
        }
        QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files), QStringList({"plain", "visible.svg", "whole.PNG"}));
        QCOMPARE(t->statusBar()->currentMessage(), "Saved " + f.path("visible.svg"));
        const QImage whole(f.path("whole.PNG"));
        QCOMPARE(whole.size(), t->painter().whole_view(t->canvas()->width(), max_picture_height(PictureFormat::png, t->canvas()->width())).size);
        QVERIFY(read_file(f.path("visible.svg")).contains("Sun 000 Jupiter"));
        f.dialogs->choices.push_back(std::nullopt);  // the question cancelled: no file dialog
        t->mnuSaveImage->trigger();
        QCOMPARE(f.dialogs->requests.size(), std::size_t{4});
        QCOMPARE(f.dialogs->requests.front().filter, QString("PNG image (*.png);;SVG image (*.svg);;PDF document (*.pdf)"));

        // The wheel zooms around the pointer; Home fits the whole range again.
        const QPoint at = centre_of(*t, 0, GetJulianDay(1, 20, 2021));
        const double before = t->painter().jd_at(at.x(), t->view());
        QWheelEvent wheel(at, t->canvas()->mapToGlobal(at), QPoint(), QPoint(0, 360), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(t->canvas(), &wheel);
        QVERIFY(t->view().to_jd - t->view().from_jd < 20.0);
        QVERIFY(std::abs(t->painter().jd_at(at.x(), t->view()) - before) < 1e-6);
        t->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(t));
        QTest::keyClick(t, Qt::Key_Home);
        QCOMPARE(std::pair(t->view().from_jd, t->view().to_jd), std::pair(t->timeline().from_jd, t->timeline().to_jd));
        QApplication::clipboard()->clear();
        QTest::keySequence(t, QKeySequence::Copy);
        QCOMPARE(QApplication::clipboard()->image().size(), t->canvas()->size());

        // A new run redraws the open window: February holds neither conjunction.
        f.get("txtStartdate")->setText("02/01/2021");
        f.get("txtEndDate")->setText("02/28/2021");
        QTest::mouseClick(f.get<QPushButton>("cmdTavrolin"), Qt::LeftButton);
        QCOMPARE(f.w->timeline_window(), t);
        QVERIFY(t->timeline().has_run && t->timeline().lanes.empty());
        QVERIFY(render_picture(t->painter(), t->view(), colours, PictureFormat::svg)
                    .contains("Nothing to show: the last calculation found no aspects."));
    }

    // tavrolin-batch draws the run's whole timeline: an SVG with one diamond (a path) per row, a
    // PNG as wide as asked; bad names and widths are refused and write nothing.
    void batchPictures() {
        WindowFixture f;
        two_conjunctions(f);
        QVERIFY(save_settings_file(f.path("two.opt").toStdString(), f.w->control_values()));
        const auto batch = [&](const QStringList& args) {
            QProcess p;
            p.start(QDir::current().absoluteFilePath("tavrolin-batch"), args + QStringList{f.path("two.opt")});
            p.waitForFinished(60000);
            return std::pair{p.exitCode(), QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
        };
        const auto [status, out] = batch({"--timeline", f.path("two.svg")});
        QCOMPARE(status, 0);
        QCOMPARE(out.count(QRegularExpression("\\nSun 000 \\w+ 01/\\d\\d/2021 ")), qsizetype{2});
        QXmlStreamReader xml(read_file(f.path("two.svg")));
        int paths = 0;
        while (!xml.atEnd())
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("path")) ++paths;
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(paths, 2);

        QCOMPARE(batch({"--timeline", f.path("two.png"), "--width", "640"}).first, 0);
        QCOMPARE(QImage(f.path("two.png")).width(), 640);
        struct Refused { QStringList args; int status; const char* says; };
        const Refused refused[] = {{{"--timeline", f.path("x.gif")}, 1, "must end in .png or .svg"},
                                   {{"--timeline", f.path("x.png"), "--width", "199"}, 2, "from 200 to 20000"},
                                   {{"--timeline", f.path("x.png"), "--width", "20001"}, 2, "from 200 to 20000"},
                                   {{"--width", "800"}, 2, "--width goes with --timeline"},
                                   {{"--timeline", f.path("none/x.svg")}, 1, "Could not write"}};
        for (const Refused& r : refused) {
            const auto [code, text] = batch(r.args);
            QCOMPARE(code, r.status);
            QVERIFY2(text.contains(r.says), qPrintable(text));
        }
        QVERIFY(!QFile::exists(f.path("x.gif")) && !QFile::exists(f.path("x.png")));
    }

    // The families' colours stand out from light and dark backgrounds alike.
    void coloursReadableOnLightAndDark() {
        for (const auto& [base, text] : {std::pair{QColor(Qt::white), QColor(Qt::black)},
                                         std::pair{QColor(0x20, 0x22, 0x26), QColor(0xe8, 0xe8, 0xe8)}}) {
            QPalette palette;
            palette.setColor(QPalette::Base, base);
            palette.setColor(QPalette::Text, text);
            const TimelineColours c = timeline_colours(palette);
            QCOMPARE(c.background, base);
            for (int f = 0; f < aspect_family_count; ++f) {
                QVERIFY2(contrast(c.marks[f], base) >= 3.0, aspect_family_caption(static_cast<AspectFamily>(f)));
                QVERIFY(contrast(c.stretches[f], base) >= 1.2 && c.stretches[f] != c.marks[f]);
                for (int g = 0; g < f; ++g) QVERIFY(c.marks[f] != c.marks[g]);
            }
            QVERIFY(contrast(c.now, base) >= 3.0);
        }
    }

    // The sky's event lanes of spring 2024 beside the Sun's conjunctions with Mercury: drawn in
    // their colours and hovered for their lines; without them the picture is the aspects' alone,
    // byte for byte, and an events run's picture with its event lanes taken away is that picture.
    void eventLanesDrawnHoveredAndAbsentWhenNotTicked() {
        set_ephemeris_path(".");
        LibSwe swe;
        Ephemeris eph(swe);
        Engine engine(eph);
        engine.cv = tavrolin::testing::ut_run("03/01/2024", "05/31/2024", 1, {0, 2}, {0, 2}, {0});
        const TimelineColours colours = timeline_colours(QPalette());  // the pictures are only compared to each other
        const auto pictures = [&](const Timeline& timeline) {
            const TimelinePainter painter(timeline, QFont());
            const TimelineView view = painter.whole_view(1200, 4000);
            return std::pair(render_picture(painter, view, colours, PictureFormat::png),
                             render_picture(painter, view, colours, PictureFormat::svg));
        };
        QVERIFY(run_calculation_command(engine, 1).ran);
        const Timeline plain = build_timeline(engine);
        QVERIFY(plain.event_lanes == 0 && !plain.lanes.empty());
        const auto plain_pictures = pictures(plain);

        for (bool* tick : engine.cv.event_ticks()) *tick = true;
        QVERIFY(run_calculation_command(engine, 1).ran);
        auto events = std::make_shared<Timeline>(build_timeline(engine));
        QStringList labels;
        for (int i = 0; i < events->event_lanes; ++i) labels << QString::fromStdString(events->lanes[i].label);
        QCOMPARE(labels, QStringList({"Sun", "Mercury", "Lunations", "Eclipses"}));  // no Moon: no void
        const auto event_pictures = pictures(*events);
        QVERIFY(event_pictures.first != plain_pictures.first && event_pictures.second != plain_pictures.second);
        QVERIFY(event_pictures.second.contains("retrograde") && !plain_pictures.second.contains("retrograde"));
        Timeline stripped = *events;
        stripped.lanes.erase(stripped.lanes.begin(), stripped.lanes.begin() + stripped.event_lanes);
        stripped.event_lanes = 0;
        QVERIFY(pictures(stripped) == plain_pictures);

        // Mercury's lane: the retrograde span in its colour, the shadows in theirs; hovering a
        // lunation or an eclipse gives its listing line, the span its stations.
        ScriptedDialogs dialogs;
        frmTimeline t(nullptr, dialogs, QString());
        t.resize(1200, 600);
        t.show();
        QVERIFY(QTest::qWaitForWindowExposed(&t));
        t.set_timeline(events, [](int) { return QString(); });
        const QImage image = t.visible_image();
        const RetrogradePeriod& p = engine.retrograde_periods.at(0);
        QCOMPARE(image.pixelColor(centre_of(t, 1, 0.5 * (p.retrograde_from + p.retrograde_to))), t.colours().retrograde);
        QCOMPARE(image.pixelColor(centre_of(t, 1, 0.5 * (p.shadow_from + p.retrograde_from))), t.colours().shadow);
        QVERIFY(image.pixelColor(centre_of(t, 1, p.shadow_to + 3.0)) != t.colours().shadow);
        QVERIFY(t.text_at(centre_of(t, 1, p.retrograde_from + 3.0)).startsWith("Mercury retrograde from 04/01/2024 22:1"));
        for (const TimelineEvent& e : events->lanes[2].events)
            QCOMPARE(t.text_at(centre_of(t, 2, e.event.jd)), QString::fromStdString(e.text));
        QCOMPARE(t.text_at(centre_of(t, 3, GetJulianDay(4, 8, 2024) + 0.76)).left(36), QString("Total solar eclipse 04/08/2024 18:17"));
    }

    // A million moments in 50,000 lanes (half in one lane): opening and the first paint well within
    // two seconds, a zoom's and a scroll's repaints together a fraction of that (the benchmark has
    // the details; this guards against a large slowdown).
    void largeTimelineOpensAndRepaintsQuickly() {
        const double from = 2433282.5, days = 80 * 365.25;
        auto timeline = std::make_shared<Timeline>(Timeline{true, from, from + days, std::vector<TimelineLane>(50000)});
        for (std::size_t i = 0; i < timeline->lanes.size(); ++i) {
            const int n = i == 7 ? 500000 : 10;
            timeline->lanes[i].label = "Lane " + std::to_string(i);
            for (int k = 1; k <= n; ++k) timeline->lanes[i].marks.push_back({from + k * days / (n + 1), k});
            timeline->marks += n;
        }
        ScriptedDialogs dialogs;
        QElapsedTimer clock;
        clock.start();
        frmTimeline t(nullptr, dialogs, QString());
        t.resize(1200, 800);
        t.set_timeline(timeline, [](int) { return QString(); });
        t.visible_image();
        const qint64 open_ms = clock.restart();
        t.zoom_at(4.0, 600);
        t.visible_image();
        t.pan(0, 500000);
        t.visible_image();
        const qint64 repaints_ms = clock.elapsed();
        qInfo("open and first paint %lld ms, a zoom's and a scroll's repaints %lld ms", open_ms, repaints_ms);
        QVERIFY(open_ms < 2000 && repaints_ms < 300);
    }
};

QTEST_MAIN(TimelineTest)
#include "timeline_test.moc"
