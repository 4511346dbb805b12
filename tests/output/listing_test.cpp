// The texts of the output layer: the listing and its styles, sorting, the results box, the
// position texts and the lines of the natal reports.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "engine/calendar.h"
#include "output/calculation_command.h"
#include "output/event_text.h"
#include "output/listing.h"
#include "output/listing_styles.h"
#include "output/natal_report.h"
#include "output/position_format.h"
#include "output/sorting.h"
#include "support/fake_swe.h"

namespace tavrolin {
namespace {

// A row from its columns separated by "|".
ResultRow row(const std::string& columns) {
    ResultRow r;
    std::istringstream in(columns);
    std::string text;
    for (int c = 0; std::getline(in, text, '|'); ++c) r.set(c, text);
    return r;
}

TEST(Listing, DefaultLinesAndAnEmptyLineBeforeEachNewDate) {
    // Only the row before counts; the date is read month first (12/31 exists only that way, and
    // 01/02 would be February otherwise). A text that holds no date groups by the text itself.
    const std::vector<ResultRow> t = {
        ResultRow{}, row("0|7|4|12/05/2005 10:00:00"), row("21|15|22|12/05/2005 23:59:59"), row("1|16|2|12/06/2005 00:00:00"),
        row("14|17|13|12/05/2005 02:00:00"), row("0|0|5|12/31/2005 01:00:00"), row("0|0|6|12/31/2005 02:00:00"),
        row("0|0|7|01/02/2006 01:00:00"), row("0|0|8|02/01/2006 01:00:00"), row("0|0|9|no date"), row("0|0|9|no date")};
    const std::string grouped =
        "Aspects found:\r\n\r\nSun 090 Mars 12/05/2005 10:00:00\r\nEris 33.3 Sedna 12/05/2005 23:59:59\r\n"
        "\r\nMoon par Mercury 12/06/2005 00:00:00\r\n\r\nEarth c.p Oscu Apogee 12/05/2005 02:00:00\r\n"
        "\r\nSun 000 Jupiter 12/31/2005 01:00:00\r\nSun 000 Saturn 12/31/2005 02:00:00\r\n"
        "\r\nSun 000 Uranus 01/02/2006 01:00:00\r\n\r\nSun 000 Neptune 02/01/2006 01:00:00\r\n"
        "\r\nSun 000 Pluto no date\r\nSun 000 Pluto no date\r\n";
    std::string ungrouped = grouped;  // an order without a date pattern opens no groups
    for (auto p = ungrouped.find("\r\n\r\n"); p != std::string::npos; p = ungrouped.find("\r\n\r\n")) ungrouped.erase(p, 2);
    for (int order : {0, 1, 2, 3, -1}) {
        ControlValues cv;
        cv.user_defined_angle = "33.3";
        cv.date_order = order;
        const std::string& expected = order >= 0 && order <= 2 ? grouped : ungrouped;
        EXPECT_EQ(listing_frame(t, 10, {cv, 1}, default_row_entry), expected) << order;
        EXPECT_EQ(listing_frame(t, 1, {cv, 1}, default_row_entry), expected.substr(0, expected.find("Eris"))) << order;
        EXPECT_EQ(listing_frame(t, 0, {cv, 1}, default_row_entry), "Aspects found:\r\n");
    }
    // A degree run shows the degree text with three decimals, a text that is no number as it is.
    for (const auto& [degree, shown] : {std::pair{"179.331227", "179.331"}, {"-0.0005", "-0.001"}, {" 5.5 ", "5.500"},
                                        {"1e2", "100.000"}, {"12abc", "12abc"}, {"", ""}}) {
        ControlValues cv;
        cv.zodiac_degree = degree;
        EXPECT_EQ(default_row_entry({cv, 0}, row("0|0|9|12/05/2005 14:23:07")),
                  "Sun 000 " + std::string(shown) + " 12/05/2005 14:23:07\r\n");
    }
}

TEST(Listing, QuillAndLunettaEntries) {
    const std::string square = "0|7|4|12/05/2005 14:23:07|0.9856|253.4912|163.4912|1|1.01|-0.2|-21.493|-5.318";
    const std::string head = "Sun 090 Mars 12/05/2005 14:23:07";
    struct Case { RowEntry entry; int mode, calc_kind; std::string columns, text; };
    const Case cases[] = {
        {quill_row_entry, 0, 1, square, "Sun (sag = -21.49) 090 Mars (vir = -5.32) 12/05/2005 14:23:07\r\n"},
        {quill_row_entry, 1, 1, "21|15|1|12/05/2005 14:23:07|0|0|359.99|1|1|1|0|5",
         "Eris (ari = 0.00) 33.3 Moon (pis = 5.00) 12/05/2005 14:23:07\r\n"},
        {quill_row_entry, 1, 1, "2|17|3|12/05/2005 14:23:07|0|30|29.999|0|1|1|1.235|-1.235",
         "Mercury (tau = 1.24) c.p Venus (ari = -1.24) 12/05/2005 14:23:07\r\n"},
        {quill_row_entry, 0, 0, square, "Sun (sag = -21.49) 090 179.331 12/05/2005 14:23:07\r\n"},
        // Lunetta in the transit modes (and with no mode selected): positions, phase, directions.
        {lunetta_row_entry, 0, 1, square, head + "   253.49   163.49   1   1   -1\r\n"},
        {lunetta_row_entry, -1, 1, square, head + "   253.49   163.49   1   1   -1\r\n"},
        {lunetta_row_entry, 1, 1, "4|0|5|12/05/2005 14:23:07|0.5|10|10|-1|-0.5|0|1|2",
         "Mars 000 Jupiter 12/05/2005 14:23:07   10.00   10.00   -1   -1   1\r\n"},
        // A declination aspect: the declinations and no phase.
        {lunetta_row_entry, 0, 1, "0|16|1|12/05/2005 14:23:07|0.9856|253.4912|120|0|0|13|-21.493|-21.4911",
         "Sun par Moon 12/05/2005 14:23:07   -21.49   -21.49       1   1\r\n"},
        {lunetta_row_entry, 2, 1, square, head + "\r\n     speed = 0.9856 ==> 1.01 years\r\n"},
        {lunetta_row_entry, 3, 1, square, head + "\r\n"},
    };
    for (const auto& c : cases) {
        ControlValues cv;
        cv.user_defined_angle = "33.3";
        cv.mode = c.mode;
        EXPECT_EQ(c.entry({cv, c.calc_kind}, row(c.columns)), c.text);
    }
    // The unit is chosen from the years per degree as shown: 1 / 1.01 shows as 0.99, 1 / 1.004 as 1.00.
    for (const auto& [speed, time] : {std::pair{"1.0100", "11.88 months"}, {"1.0040", "1.00 years"}, {"-0.2500", "-4.00 years"},
                                      {"-13.1764", "-0.91 months"}, {"-0.0000", "station"}, {"", "station"}})
        EXPECT_EQ(lunetta_speed_line(speed), "     speed = " + std::string(speed) + " ==> " + time);
}

TEST(ResultsBox, SortedListingNotesNearMissesAndBodiesNotComputed) {
    // Sorting reads the times month first and moves whole rows; equal keys are exchanged when they
    // meet the pivot, the middle row rounded half to even (row 2 of 1..4): found in the order
    // A B C D, two late and two early, they are listed D B A C.
    const std::string near_miss = "\r\nWithin 1 deg. of exact:\r\nMars 090 Saturn: 12/01/2005 - 12/03/2005\r\n";
    const std::string sorted = "Aspects found:\r\n\r\nMercury 000 Jupiter 12/31/2005 23:00:00\r\n"
                               "Sun 090 Mars 12/31/2005 23:00:00\r\n\r\nSun 000 Moon 01/02/2006 01:00:00\r\n"
                               "Venus 120 Mars 01/02/2006 01:00:00\r\n";
    const std::string found_order = "Aspects found:\r\n\r\nSun 000 Moon 01/02/2006 01:00:00\r\n"
                                    "\r\nSun 090 Mars 12/31/2005 23:00:00\r\n\r\nVenus 120 Mars 01/02/2006 01:00:00\r\n"
                                    "\r\nMercury 000 Jupiter 12/31/2005 23:00:00\r\n";
    std::string degree_run = found_order;
    for (const std::string p2 : {" Moon ", " Mars ", " Mars ", " Jupiter "})
        degree_run.replace(degree_run.find(p2), p2.size(), " 179.331 ");
    struct Case { int calc_kind, sort_output; bool row_limit, cancelled; std::string text; };
    const Case cases[] = {
        {1, 1, false, false, sorted + near_miss},
        {1, 2, false, false, found_order + near_miss},  // the greyed value does not count as ticked
        // A degree run: no near misses; the notes of a scan that ended early after the rows.
        {0, 0, true, true, degree_run + "The scan stopped at 1,000,000 rows; it had reached 03/04/2010.\r\n"
                                        "The run was cancelled at 03/04/2010, while scanning Venus.\r\n"},
        {1, 0, false, true, found_order + "The run was cancelled at 03/04/2010, while scanning Venus to Mars.\r\n" + near_miss},
    };
    for (const auto& c : cases) {
        testing::ScanSetup s;
        Engine& engine = s.engine;
        const std::vector<ResultRow> found = {ResultRow{}, row("0|0|1|01/02/2006 01:00:00"), row("0|7|4|12/31/2005 23:00:00"),
                                              row("3|9|4|01/02/2006 01:00:00"), row("2|0|5|12/31/2005 23:00:00")};
        engine.result_table = found;
        engine.result_count = 4;
        engine.near_miss_text = near_miss;
        engine.calc_kind = c.calc_kind;
        engine.cv.sort_output = c.sort_output;
        ScanOutcome& out = engine.last_outcome;
        out.row_limit_reached = c.row_limit;
        out.cancelled = c.cancelled;
        out.stopped_at_date = out.cancelled_at_date = "03/04/2010";
        out.cancelled_p1 = 3;
        out.cancelled_p2 = 4;
        EXPECT_EQ(results_box_text(engine), c.text);
        // Bodies the library could not compute are named at the end, each with its first message.
        s.eph.note_error(21, "SwissEph file 's136199.se1' not found");
        s.eph.note_error(15, "Chiron file missing");
        s.eph.note_error(21, "a later message");
        engine.result_table = found;
        EXPECT_EQ(results_box_text(engine), c.text + "Chiron: position not computed: Chiron file missing\r\n"
                                                     "Eris: position not computed: SwissEph file 's136199.se1' not found\r\n");
    }
    // Rows 1..6 take row 4 (3.5 rounded half to even) as the pivot: early, early, late, early,
    // late, early end in the order 3 5 0 1 2 4 (counted from 0).
    std::vector<ResultRow> six(1);
    for (int i = 0; i < 6; ++i) six.push_back(row(std::to_string(i) + "|0|0|12/05/2005 1" + "001010"[i] + ":00:00"));
    QuickSortStringsAscending(six, 1, 6);
    std::string order;
    for (std::size_t i = 1; i < six.size(); ++i) order += six[i][0];
    EXPECT_EQ(order, "350124");
}

// Sky events in each style: among the rows by time when sorted (opening date groups as rows do),
// else in a section of their own after the rows; the window's row lines count their lines.
TEST(ResultsBox, SkyEventLinesInEveryStyleSortedOrInASection) {
    const double mar31 = GetJulianDay(3, 31, 2024);
    SkyEvent voided{SkyEventKind::void_of_course, 1, mar31 + 0.5, mar31 + 20.0 / 24, 59.999};
    SkyEvent station{SkyEventKind::station, 2, mar31 + 1.0 + (15.0 + 14.5 / 60) / 24, 0.0, 27.2234, true};
    station.end_jd = station.jd;
    const ResultRow sun_mars = row("0|7|4|04/01/2024 16:00:00"), venus_mars = row("3|9|4|03/31/2024 10:00:00");
    struct Case { ListingStyle style; std::string void_line, station_line; };
    const Case cases[] = {
        {ListingStyle::Default, "Moon void of course 03/31/2024 12:00:00 - 03/31/2024 20:00:00  29 TAU 59",
         "Mercury stations retrograde 04/01/2024 15:14:30  27 ARI 13"},
        {ListingStyle::Quill, "Moon (tau) void of course 03/31/2024 12:00:00 - 03/31/2024 20:00:00",
         "Mercury (ari) stations retrograde 04/01/2024 15:14:30"},
        {ListingStyle::Lunetta, "Moon void of course 03/31/2024 12:00:00 - 03/31/2024 20:00:00   60.00",
         "Mercury stations retrograde 04/01/2024 15:14:30   27.22"},
    };
    for (const Case& c : cases) {
        for (int sort : {1, 0}) {
            testing::ScanSetup s;
            Engine& engine = s.engine;
            engine.cv.style = c.style;
            engine.cv.sort_output = sort;
            engine.result_table = {ResultRow{}, sun_mars, venus_mars};
            engine.result_count = 2;
            engine.sky_events = {voided, station};
            engine.last_run.cv = engine.cv;
            const RowEntry entry = row_entry_in_style(c.style);
            const auto line = [&](const ResultRow& r) { return entry({engine.cv, 1}, r); };
            const std::string v = c.void_line + "\r\n", st = c.station_line + "\r\n";
            const std::string expected =
                sort == 1 ? "Aspects found:\r\n\r\n" + line(venus_mars) + v + "\r\n" + st + line(sun_mars)
                          : "Aspects found:\r\n\r\n" + line(sun_mars) + "\r\n" + line(venus_mars) + "\r\nSky events:\r\n" + v + st;
            EXPECT_EQ(results_box_text(engine), expected) << static_cast<int>(c.style) << sort;
            EXPECT_EQ(listing_row_lines(engine), (sort == 1 ? std::vector<int>{0, 2, 6} : std::vector<int>{0, 2, 4}))
                << static_cast<int>(c.style) << sort;
        }
    }
    // A natal point; the position to the minute never shows "60".
    SkyEvent on_sun{SkyEventKind::station, 4, 0, 0, 359.99999};
    on_sun.natal_point = 0;
    EXPECT_EQ(event_words(on_sun) + " " + PrintSignDataMinutes(on_sun.longitude), "Mars stations direct on natal Sun 29 PIS 59");
}

TEST(PositionTexts, SignDegreesMinutesSecondsAndNatalReportLines) {
    for (const auto& [lon, text] : {std::pair{253.4912, "13 SAG 29m 28s"}, {359.99, "29 PIS 59m 24s"},
                                    // Seconds round halves to even; a rounded 60 carries up to the sign, past Pisces to Aries.
                                    {100 + 10.5 / 3600, "10 CAN 00m 10s"}, {100 + 11.5 / 3600, "10 CAN 00m 12s"},
                                    {29.9999999, "00 TAU 00m 00s"}, {45 + 7.0 / 60 + 59.9 / 3600, "15 TAU 08m 00s"},
                                    {359.99999999, "00 ARI 00m 00s"}})
        EXPECT_EQ(PrintSignDataSeconds(lon), text) << lon;
    for (const auto& [decl, text] : {std::pair{-23.4392, "23 S 26"}, {0.0, "00 N 00"}, {5.125, "05 N 08"},
                                     {-0.01, "00 S 01"}, {-29.995, "30 S 00"}})
        EXPECT_EQ(PrintDecl_Lat(decl), text) << decl;

    // Names cut to 11 characters (and at the NUL the library's buffer leaves); values right-aligned
    // in their field by the width they are printed with.
    EXPECT_EQ(natal_longitude_line("Sun", 125.395833), "Sun         05 LEO 23m 45s  125.395833   \r\n");
    EXPECT_EQ(natal_longitude_line("Longer than eleven", 9.9999996), "Longer than 10 ARI 00m 00s   10.000000   \r\n");
    EXPECT_EQ(natal_longitude_line("Moon", 9.999995), "Moon        10 ARI 00m 00s    9.999995   \r\n");
    EXPECT_EQ(natal_decl_lat_line(std::string("Mars\0junk", 9), -9.999996), "Mars         10 S 00  -10.00000   \r\n");
    EXPECT_EQ(natal_decl_lat_line("Sun", -0.000001), "Sun          00 S 00    0.00000   \r\n");
}

}  // namespace
}  // namespace tavrolin
