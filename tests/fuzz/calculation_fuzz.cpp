// A whole calculation from a fuzzed settings file against the real library: both commands, the
// listing and both exports. The range is cut to a few days so that an input takes a moment;
// every date the run writes must be one of the years 0100 to 9999.
#include <mutex>
#include <string_view>

#include "engine/engine.h"
#include "engine/swe_api.h"
#include "output/calculation_command.h"
#include "output/results_export.h"
#include "tests/fuzz/fuzz_input.h"
#include "files/settings_file.h"

void tavrolin::fuzzing::fuzz_one(const std::string& input) {
    static std::once_flag path_set;
    std::call_once(path_set, [] { set_ephemeris_path(TAVROLIN_BIN_DIR); });
    ControlValues cv;
    if (!load_settings_file(file_of(input), cv)) return;
    if (const auto start = parse_date(cv.start_date, cv.date_order)) cv.end_date = short_date(add_days(*start, 3));
    if (cv.years_back.size() > 1) cv.years_back = "2";  // the progressed modes scan twice this many days
    for (int kind : {1, 0}) {
        LibSwe api;
        Ephemeris eph(api);
        Engine engine(eph);
        engine.cv = cv;
        const CommandOutcome outcome = run_calculation_command(engine, kind);
        if (!outcome.ran) continue;
        for (int r = 1; r <= engine.result_count; ++r) check_written_date(engine.result_table[static_cast<std::size_t>(r)][3]);
        for (ExportFormat format : {ExportFormat::icalendar, ExportFormat::csv})
            export_results(engine, format, [](std::string_view) { return true; }, 0);
    }
}
