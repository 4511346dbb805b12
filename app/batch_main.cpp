// tavrolin-batch: runs one calculation from a settings file and prints the results box's text,
// or prints one of the natal positions reports.
// The same engine and output code as the window, with the window's initial state for whatever
// the settings file does not hold.

#include <array>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <ctime>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

#include "engine/control_values.h"
#include "engine/coordinates.h"
#include "engine/houses.h"
#include "engine/date_text.h"
#include "engine/engine.h"
#include "engine/ephemeris.h"
#include "engine/input_field.h"
#include "engine/parallel_scan.h"
#include "engine/swe_api.h"
#include "engine/text_rules.h"
#include "engine/time_zone.h"
#include "output/calculation_command.h"
#include "output/natal_report.h"
#include "output/results_export.h"
#include "output/spreadsheet_export.h"
#include "spreadsheet_uno/calc_connection.h"
#include "files/atlas.h"
#include "files/atomic_file.h"
#include "files/file_places.h"
#include "files/ini_file.h"
#include "files/settings_file.h"
#if TAVROLIN_TIMELINE_PICTURES
#include <QGuiApplication>
#include <QPalette>

#include "engine/calendar.h"
#include "output/timeline.h"
#include "picture/print_pages.h"
#include "picture/timeline_painter.h"
#endif

namespace {

using namespace tavrolin;

constexpr int exit_failure = 1;
constexpr int exit_usage = 2;

constexpr std::string_view usage_text =
    "Usage: tavrolin-batch [--degree] [--style default|quill|lunetta] [--dates-in-life]\n"
    "                      [--angle TEXT] [--years-back TEXT]\n"
    "                      [--events all|stations,ingresses,lunations,eclipses,void,houses]\n"
    "                      [--date-order 0|1|2] [--to-spreadsheet [--pipe NAME] [--date-only 0|1]]\n"
    "                      [--progress] [--export FILE.ics|FILE.csv | --export - --format ics|csv]\n"
    "                      [--timeline FILE.png|FILE.svg [--width N]] [--pdf FILE.pdf]\n"
    "                      [--place NAME] [--latitude TEXT] [--longitude TEXT]\n"
    "                      [--house-system P|K|O|R|C|E|W] [--angles asc,mc] SETTINGS.opt\n"
    "       tavrolin-batch --report longitude|decl|sidereal|houses [--date-order 0|1|2]\n"
    "                      [--place NAME] [--latitude TEXT] [--longitude TEXT]\n"
    "                      [--house-system P|K|O|R|C|E|W] SETTINGS.opt\n"
    "       tavrolin-batch --local-birth-time \"DATE hh:mm ZONE\" [--date-order 0|1|2]\n"
    "       tavrolin-batch --version | --help\n";

constexpr std::string_view help_text =
    "Finds the exact aspects set up in a settings file (*.opt, as saved by the window) and prints\n"
    "the listing that the window would show.\n"
    "\n"
    "Options:\n"
    "  --degree            transit to the zodiac degree of the file (line 3) instead of aspects\n"
    "                      between bodies; no near-miss section\n"
    "  --style NAME        the listing style of the Options menu: default, quill (signs and\n"
    "                      declinations) or lunetta (positions and directions, progressed speeds)\n"
    "  --dates-in-life     \"Show dates in life\" of the Options menu: in the progressed and\n"
    "                      solar-arc modes each row also gives its date in the person's life\n"
    "  --report KIND       print a natal positions report of the file's natal date and time\n"
    "                      instead of running a calculation: longitude (tropical), decl\n"
    "                      (declination, or latitude with the P2 Helio tick), sidereal (Lahiri)\n"
    "                      or houses (the Ascendant, the MC and the twelve cusps of the birth\n"
    "                      place, with the house system's name, and the house of each body)\n"
    "  --place NAME        the birth place from the atlas: \"Paris\", \"Paris, France\",\n"
    "                      \"Springfield, Missouri\"; the largest place of that name is taken.\n"
    "                      An unknown or ambiguous name fails, listing up to five places\n"
    "  --latitude TEXT     the birth place's latitude: 48.8534, -33.6, 48N51, 48n51'12\"\n"
    "  --longitude TEXT    the birth place's longitude: 2.35, -58.38, 2E21, 0W07\n"
    "                      (both override the file's place and --place's coordinates)\n"
    "  --house-system L    the house system: P Placidus (default), K Koch, O Porphyry,\n"
    "                      R Regiomontanus, C Campanus, E Equal, W Whole Sign. Beyond the\n"
    "                      polar circles Placidus and Koch have no cusps: Porphyry's are used,\n"
    "                      and standard error says so\n"
    "  --angles LIST       tick the natal Ascendant and MC as P2 points for this run: asc, mc\n"
    "                      or asc,mc (the natal modes with a birth place only)\n"
    "  --angle TEXT        the user-defined angle (default 51.7)\n"
    "  --events LIST       also find the sky's own events (instead of the file's event ticks):\n"
    "                      a comma-separated list of stations, ingresses, lunations, eclipses,\n"
    "                      void (the void-of-course Moon) and houses (house ingresses), or all.\n"
    "                      Stations and ingresses are those of the P1 bodies; with no aspect\n"
    "                      ticked only the events are listed. Transit modes find every sky\n"
    "                      event, the progressed mode stations, ingresses and lunations, the\n"
    "                      solar-arc mode ingresses. House ingresses are the P1 bodies'\n"
    "                      crossings of the natal house cusps, in the three natal modes; they\n"
    "                      need a birth place (houses without one fails; all then leaves\n"
    "                      them out)\n"
    "  --years-back TEXT   \"Yrs back\" of the progressed and solar-arc modes, at most two\n"
    "                      characters (default 1)\n"
    "  --date-order N      how the dates in the file are read and the near-miss dates written:\n"
    "                      0 month/day/year (default), 1 day/month/year, 2 year/month/day\n"
    "  --to-spreadsheet    after printing the listing, copy the result table into the active\n"
    "                      sheet of a running LibreOffice Calc at its active cell, as the\n"
    "                      window's \"Copy to Excel\" does (the style of --style decides the\n"
    "                      columns). Calc must accept connections on the pipe: start it with\n"
    "                      soffice --calc --accept=\"pipe,name=tavrolin;urp;\"\n"
    "  --pipe NAME         the pipe of --to-spreadsheet (default tavrolin)\n"
    "  --date-only 0|1     \"Copy date only\" of --to-spreadsheet: 1 (default, as in a new window)\n"
    "                      writes dates without the time\n"
    "  --export FILE       also write the results (exact moments and near-miss windows) to FILE:\n"
    "                      an iCalendar file for calendar programs when it ends in .ics, a CSV\n"
    "                      file (UTF-8, comma-separated, a header row) when it ends in .csv\n"
    "  --export - --format ics|csv\n"
    "                      write the results to standard output in that form instead of the\n"
    "                      listing\n"
    "  --timeline FILE     also draw the results on a time axis into FILE, as the window's\n"
    "                      View > Timeline shows them: a PNG picture when it ends in .png, an SVG\n"
    "                      picture when it ends in .svg. Every lane in an SVG picture; a PNG\n"
    "                      picture is at most 16384 pixels tall and 64 million pixels in all,\n"
    "                      and the lanes beyond are left out (standard error says so)\n"
    "  --width N           the picture's width in pixels, 200 to 20000 (default 1600)\n"
    "  --pdf FILE          also write the listing as a PDF document (A4 pages), as the window's\n"
    "                      File > Export PDF... does: each page has a header (the program, the\n"
    "                      natal data, the mode, the range, the time zone) and its number\n"
    "  --progress          report on standard error how much of the calculation is done, as\n"
    "                      \"tavrolin-batch: 42% done\" (one line per percent; on a terminal one\n"
    "                      line that is rewritten)\n"
    "  --local-birth-time \"DATE hh:mm ZONE\"\n"
    "                      print the GMT date and natal time (h.mm) of a local birth time in a\n"
    "                      zone of the tz database, e.g. \"09/22/1949 17:43 Europe/London\" gives\n"
    "                      \"09/22/1949 16.43 (BST, UT+1)\"; a time that occurred twice (clocks\n"
    "                      going back) gives both, earlier first; one that never occurred fails\n"
    "  --version           print the program's name and version\n"
    "  -h, --help          this text\n"
    "\n"
    "Exit status: 0 on success; 1 when the settings file cannot be read or is too short, a line\n"
    "in it cannot be used (a date that is not a date, an end date before the start date, a\n"
    "number line that is not a number; the message names the line), the output cannot be\n"
    "written, or the position of a ticked or reported body could not be computed (the listing or\n"
    "report is printed all the same, the bodies are named on standard error), or (--to-spreadsheet) no\n"
    "spreadsheet is open or the copy stopped (the listing is printed all the same), or (--export)\n"
    "the run found nothing to export or the file cannot be written (nothing is left of it), or\n"
    "(--timeline, --pdf) the name does not end in .png or .svg (.pdf) or the file cannot be\n"
    "written (nothing is left of it); 2 on bad usage (--local-birth-time goes with no settings file and no other\n"
    "output; no output may be the settings file itself).\n";

// The event ticks of --events: the sky's events in the order of event_captions, house ingresses
// named, and whether "all" asked for every kind (house ingresses where there is a place).
struct EventTicks {
    std::array<bool, 5> sky{};
    bool houses = false;
    bool all = false;
};

struct Options {
    bool degree = false;
    ListingStyle style = ListingStyle::Default;
    bool dates_in_life = false;
    std::optional<NatalReportKind> report;
    bool help = false;
    bool version = false;
    std::optional<std::string> local_birth_time;
    std::string angle = "51.7";
    std::string years_back = "1";
    int date_order = 0;
    bool to_spreadsheet = false;
    std::string pipe = std::string(default_calc_pipe);
    int date_only = 1;
    bool progress = false;
    std::string export_path;  // "-": standard output
    std::string timeline_path;
    std::string pdf_path;
    int timeline_width = 0;  // 0: not given
    std::optional<ExportFormat> export_format;
    std::optional<EventTicks> events;  // the event ticks of --events
    std::string settings_path;
    // The birth place of the options (empty: the file's), the house system and the angles.
    std::string place;
    std::string latitude;
    std::string longitude;
    std::string house_system;
    std::optional<std::pair<int, int>> angles;  // the Asc and MC ticks
};

// "stations,void,houses" or "all" as event ticks; nothing for an unknown or empty name.
std::optional<EventTicks> event_ticks_from(std::string_view list) {
    EventTicks ticks;
    if (list == "all") return EventTicks{{true, true, true, true, true}, false, true};
    if (list.empty()) return std::nullopt;
    for (;;) {
        const std::size_t comma = list.find(',');
        const std::string_view name = list.substr(0, comma);
        bool known = name == ini_house_ingresses_name;
        if (known) ticks.houses = true;
        for (std::size_t i = 0; i < ini_event_names.size(); ++i) {
            if (name != ini_event_names[i]) continue;
            ticks.sky[i] = known = true;
        }
        if (!known) return std::nullopt;
        if (comma == std::string_view::npos) return ticks;
        list.remove_prefix(comma + 1);
    }
}

void complain(const std::string& message) { std::fprintf(stderr, "tavrolin-batch: %s\n", message.c_str()); }

int usage_error(const std::string& message) {
    complain(message);
    std::fputs(usage_text.data(), stderr);
    std::fputs("Try 'tavrolin-batch --help' for more.\n", stderr);
    return exit_usage;
}

// The window's number boxes take only digits, "-" and ".".
bool number_characters_only(std::string_view text) {
    for (char c : text)
        if (!((c >= '0' && c <= '9') || c == '-' || c == '.')) return false;
    return true;
}

// Whether two names are one file: the same device and inode when both exist, else the same path
// once made absolute and normal (a file about to be created is no existing input).
bool same_file(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    std::error_code ec;
    const auto pa = std::filesystem::weakly_canonical(a, ec);
    const auto pb = std::filesystem::weakly_canonical(b, ec);
    return !ec && pa == pb;
}

// Parses the command line; returns 0 or the exit status of a usage error (already reported).
int parse(int argc, char** argv, Options& options) {
    bool options_ended = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        if (!options_ended && (arg == "-h" || arg == "--help")) {
            options.help = true;
        } else if (!options_ended && arg == "--version") {
            options.version = true;
        } else if (!options_ended && arg == "--local-birth-time") {
            std::string request;
            if (!value(request)) return usage_error("--local-birth-time needs \"DATE hh:mm ZONE\"");
            if (request.find_first_not_of(" \t") == std::string::npos)
                return usage_error("--local-birth-time: the value is empty; give \"DATE hh:mm ZONE\"");
            options.local_birth_time = request;
        } else if (!options_ended && arg == "--degree") {
            options.degree = true;
        } else if (!options_ended && arg == "--progress") {
            options.progress = true;
        } else if (!options_ended && arg == "--dates-in-life") {
            options.dates_in_life = true;
        } else if (!options_ended && arg == "--style") {
            std::string name;
            if (!value(name)) return usage_error("--style needs a value");
            if (name == "default") options.style = ListingStyle::Default;
            else if (name == "quill") options.style = ListingStyle::Quill;
            else if (name == "lunetta") options.style = ListingStyle::Lunetta;
            else return usage_error("--style \"" + name + "\": must be default, quill or lunetta");
        } else if (!options_ended && arg == "--report") {
            std::string kind;
            if (!value(kind)) return usage_error("--report needs a value");
            if (kind == "longitude") options.report = NatalReportKind::Longitude;
            else if (kind == "decl") options.report = NatalReportKind::DeclLat;
            else if (kind == "sidereal") options.report = NatalReportKind::SiderealLongitude;
            else if (kind == "houses") options.report = NatalReportKind::Houses;
            else return usage_error("--report \"" + kind + "\": must be longitude, decl, sidereal or houses");
        } else if (!options_ended && arg == "--place") {
            if (!value(options.place) || options.place.find_first_not_of(" \t") == std::string::npos)
                return usage_error("--place needs a place's name");
        } else if (!options_ended && (arg == "--latitude" || arg == "--longitude")) {
            const bool latitude = arg == "--latitude";
            std::string& text = latitude ? options.latitude : options.longitude;
            if (!value(text)) return usage_error(arg + " needs a value");
            std::string reason;
            if (!parse_coordinate(text, latitude ? CoordinateAxis::Latitude : CoordinateAxis::Longitude, &reason))
                return usage_error(arg + " \"" + quoted_input(text) + "\": " + reason);
        } else if (!options_ended && arg == "--house-system") {
            if (!value(options.house_system)) return usage_error("--house-system needs a value");
            if (options.house_system.size() != 1 || !house_system_from_letter(options.house_system[0]))
                return usage_error("--house-system \"" + quoted_input(options.house_system) +
                                   "\": must be P, K, O, R, C, E or W");
            options.house_system[0] = static_cast<char>(house_system_from_letter(options.house_system[0]).value());
        } else if (!options_ended && arg == "--angles") {
            std::string list;
            if (!value(list)) return usage_error("--angles needs a value");
            std::pair<int, int> ticks{0, 0};
            std::istringstream names(list);
            for (std::string name; std::getline(names, name, ',');) {
                if (name == "asc") ticks.first = 1;
                else if (name == "mc") ticks.second = 1;
                else return usage_error("--angles \"" + quoted_input(list) + "\": must be asc, mc or asc,mc");
            }
            if (ticks == std::pair{0, 0}) return usage_error("--angles \"" + quoted_input(list) + "\": must be asc, mc or asc,mc");
            options.angles = ticks;
        } else if (!options_ended && arg == "--angle") {
            if (!value(options.angle)) return usage_error("--angle needs a value");
            if (!number_characters_only(options.angle))
                return usage_error("--angle \"" + options.angle + "\": only digits, \"-\" and \".\" are allowed");
        } else if (!options_ended && arg == "--years-back") {
            if (!value(options.years_back)) return usage_error("--years-back needs a value");
            if (!number_characters_only(options.years_back) ||
                static_cast<int>(options.years_back.size()) > max_len_years_back) {
                return usage_error("--years-back \"" + options.years_back +
                                   "\": at most two characters, only digits, \"-\" and \".\"");
            }
        } else if (!options_ended && arg == "--date-order") {
            std::string order;
            if (!value(order)) return usage_error("--date-order needs a value");
            if (order != "0" && order != "1" && order != "2")
                return usage_error("--date-order \"" + order + "\": must be 0, 1 or 2");
            options.date_order = order[0] - '0';
        } else if (!options_ended && arg == "--events") {
            std::string list;
            if (!value(list)) return usage_error("--events needs a value");
            options.events = event_ticks_from(list);
            if (!options.events)
                return usage_error("--events \"" + list +
                                   "\": a comma-separated list of stations, ingresses, lunations, eclipses, void and "
                                   "houses, or all");
        } else if (!options_ended && arg == "--export") {
            if (!value(options.export_path) || options.export_path.empty()) return usage_error("--export needs a file name or -");
        } else if (!options_ended && arg == "--timeline") {
            if (!value(options.timeline_path) || options.timeline_path.empty()) return usage_error("--timeline needs a file name");
        } else if (!options_ended && arg == "--pdf") {
            if (!value(options.pdf_path) || options.pdf_path.empty()) return usage_error("--pdf needs a file name");
        } else if (!options_ended && arg == "--width") {
            std::string width;
            if (!value(width)) return usage_error("--width needs a value");
            const bool digits = !width.empty() && width.size() <= 5 && width.find_first_not_of("0123456789") == std::string::npos;
            options.timeline_width = digits ? std::stoi(width) : -1;
            if (options.timeline_width < 200 || options.timeline_width > 20000)
                return usage_error("--width \"" + width + "\": a number of pixels from 200 to 20000");
        } else if (!options_ended && arg == "--format") {
            std::string name;
            if (!value(name)) return usage_error("--format needs a value");
            if (name == "ics") options.export_format = ExportFormat::icalendar;
            else if (name == "csv") options.export_format = ExportFormat::csv;
            else return usage_error("--format \"" + name + "\": must be ics or csv");
        } else if (!options_ended && arg == "--to-spreadsheet") {
            options.to_spreadsheet = true;
        } else if (!options_ended && arg == "--pipe") {
            if (!value(options.pipe)) return usage_error("--pipe needs a value");
            // The name goes into a connection URL, whose separators it must not hold.
            if (options.pipe.empty() || options.pipe.find_first_of(",;= ") != std::string::npos)
                return usage_error("--pipe \"" + options.pipe + "\": a name without \",\", \";\", \"=\" or blanks");
        } else if (!options_ended && arg == "--date-only") {
            std::string tick;
            if (!value(tick)) return usage_error("--date-only needs a value");
            if (tick != "0" && tick != "1") return usage_error("--date-only \"" + tick + "\": must be 0 or 1");
            options.date_only = tick[0] - '0';
        } else if (!options_ended && arg == "--") {
            options_ended = true;
        } else if (!options_ended && arg.size() > 1 && arg[0] == '-') {
            return usage_error("unknown option " + arg);
        } else if (options.settings_path.empty()) {
            options.settings_path = arg;
        } else {
            return usage_error("more than one settings file given (" + options.settings_path + ", " + arg + ")");
        }
    }
    if (options.local_birth_time) {
        // The converter reads no settings file and makes no listing: what these would ask for
        // would silently not be done.
        if (!options.settings_path.empty())
            return usage_error("--local-birth-time reads no settings file (" + quoted_input(options.settings_path) + ")");
        if (options.report) return usage_error("--report prints a natal report, not a --local-birth-time");
        if (!options.export_path.empty()) return usage_error("--export writes a calculation, not a --local-birth-time");
        if (!options.timeline_path.empty()) return usage_error("--timeline draws a calculation, not a --local-birth-time");
        if (options.to_spreadsheet) return usage_error("--to-spreadsheet copies a calculation, not a --local-birth-time");
        if (!options.pdf_path.empty()) return usage_error("--pdf writes a calculation's listing, not a --local-birth-time");
    }
    if (!options.help && !options.version && !options.local_birth_time && options.settings_path.empty()) return usage_error("no settings file given");
    if (options.events && options.degree) return usage_error("--events goes with aspects, not --degree");
    if (options.events && options.report) return usage_error("--events goes with a calculation, not a --report");
    if (options.events && options.local_birth_time) return usage_error("--events goes with a calculation, not a --local-birth-time");
    if (options.report && options.to_spreadsheet) return usage_error("--to-spreadsheet copies a calculation, not a --report");
    if (options.report && !options.export_path.empty()) return usage_error("--export writes a calculation, not a --report");
    if (options.export_format && options.export_path != "-") return usage_error("--format goes with --export -");
    if (options.report && !options.timeline_path.empty()) return usage_error("--timeline draws a calculation, not a --report");
    if (options.report && !options.pdf_path.empty()) return usage_error("--pdf writes a calculation's listing, not a --report");
    if (options.timeline_width != 0 && options.timeline_path.empty()) return usage_error("--width goes with --timeline");
    if (options.export_path == "-" && !options.export_format) return usage_error("--export - needs --format ics or csv");
    // An output written over the settings file would destroy what the run reads.
    for (const auto& [option, output] : {std::pair{"--export", &options.export_path}, {"--timeline", &options.timeline_path}, {"--pdf", &options.pdf_path}}) {
        if (!output->empty() && *output != "-" && !options.settings_path.empty() && same_file(*output, options.settings_path))
            return usage_error(std::string(option) + " " + quoted_input(*output) + ": that is the settings file the run reads");
    }
    return 0;
}

// Where a refused text came from: its line of the settings file, or the option that gave it.
std::string where(const Options& options, InputField field) {
    const std::string& settings_path = options.settings_path;
    if (field == InputField::years_back) return "--years-back: ";
    if (field == InputField::latitude && !options.latitude.empty()) return "--latitude: ";
    if (field == InputField::longitude && !options.longitude.empty()) return "--longitude: ";
    if ((field == InputField::latitude || field == InputField::longitude) && !options.place.empty()) return "--place: ";
    const int line = input_field_info(field).settings_line;
    return settings_path + ": " + (line > 0 ? "line " + std::to_string(line) + ", " : "");
}

// The export of the window's "Copy to Excel", into the office on the pipe.
int copy_to_spreadsheet(const Engine& engine, const std::string& pipe) {
    SpreadsheetConnection connection = connect_to_running_calc(pipe);
    if (connection.status == SpreadsheetConnection::Status::no_back_end) {
        complain(connection.detail);
        return exit_failure;
    }
    if (!connection.sheet) {
        complain(std::string(no_spreadsheet_message) + " (" + connection.detail + ")");
        return exit_failure;
    }
    // Month names of "Copy date only" in the user's language, as the window writes them.
    std::setlocale(LC_TIME, "");
    ExportSettings settings;
    settings.marks = style_marks(engine.cv.style);
    settings.month_names = locale_month_abbreviations();
    const ExportReport report = Copy_to_Spreadsheet(*connection.sheet, engine, engine.cv, settings);
    if (report.stopped) {
        complain("the copy into the spreadsheet stopped after " + std::to_string(report.rows_written) +
                 " rows: " + report.stop_reason);
        return exit_failure;
    }
    return 0;
}

bool write_all(std::FILE* stream, std::string_view text) {
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stream) != text.size()) return false;
    return std::fflush(stream) == 0 && !std::ferror(stream);
}

// What the window's "Convert local birth time..." would write: the GMT date and natal time.
int print_local_birth_time(const std::string& request, int date_order) {
    std::istringstream words(request);
    std::string date_text, time_text, zone;
    words >> date_text >> time_text;
    std::getline(words >> std::ws, zone);
    const auto date = parse_date(date_text, date_order);
    const auto time = parse_hours_minutes(time_text);
    if (!date || !time || zone.empty()) {
        complain("--local-birth-time \"" + quoted_input(request) + "\": give a date, a local time hh:mm and a zone name");
        return exit_failure;
    }
    const LocalTimeAnswer answer = local_time_to_universal(zone, *date, time->first, time->second);
    if (answer.kind == LocalTimeAnswer::Kind::no_zone) {
        complain("\"" + quoted_input(zone) + "\" " + answer.problem);
        return exit_failure;
    }
    if (answer.kind == LocalTimeAnswer::Kind::skipped) {
        complain(time_text + " on " + date_text + " did not occur in " + zone + ": the clocks went forward over it");
        return exit_failure;
    }
    if (answer.kind == LocalTimeAnswer::Kind::off_calendar) {
        complain(time_text + " on " + date_text + " in " + zone + " falls on a GMT date outside the years 0100 to 9999");
        return exit_failure;
    }
    std::string out;
    for (const UniversalTime& u : answer.answers)
        out += format_date(u.date, date_order) + " " + u.natal_time() + " (" + u.offset_text() + ")\n";
    return write_all(stdout, out) ? 0 : exit_failure;
}

// The results into the file (through a temporary file and a rename) or onto standard output.
int export_to(const Engine& engine, const std::string& path, ExportFormat format) {
    const long long now = static_cast<long long>(std::time(nullptr));
    if (path == "-") {
        std::string out;
        int write_errno = 0;
        const ExportOutcome outcome = export_results(engine, format, [&](std::string_view text) {
            out += text;
            // Written on as it comes, so that a million events never stand in memory at once.
            if (out.size() < (1u << 20)) return true;
            const bool ok = std::fwrite(out.data(), 1, out.size(), stdout) == out.size();
            if (!ok) write_errno = errno;
            out.clear();
            return ok;
        }, now);
        if (outcome.ok && !write_all(stdout, out)) write_errno = errno;
        if (!outcome.ok || write_errno != 0) {
            // A refused write leaves the error to the sink: the system's reason ("No space left
            // on device") is what the user can act on.
            const std::string why = !outcome.error.empty() ? outcome.error
                                    : write_errno != 0     ? std::string(std::strerror(write_errno))
                                                           : std::string("a write failed");
            complain("cannot export to standard output: " + why);
            return exit_failure;
        }
        return 0;
    }
    AtomicFile file(path);
    std::string error;
    if (!file.open(&error)) {
        complain(error);
        return exit_failure;
    }
    const ExportOutcome outcome = export_results(engine, format, [&](std::string_view text) { return file.write(text); }, now);
    if (!outcome.ok) {
        // The temporary file goes with `file`; a failed write says why at the commit.
        if (outcome.error.empty()) file.commit(&error);
        complain("nothing exported to " + path + ": " + (outcome.error.empty() ? error : outcome.error));
        return exit_failure;
    }
    if (!file.commit(&error)) {
        complain(error);
        return exit_failure;
    }
    return 0;
}

// The birth place, house system and angle ticks of the options over the file's.
int apply_place_options(const Options& options, ControlValues& cv) {
    if (!options.place.empty()) {
        std::string error;
        const auto place = atlas_lookup(options.place, &error);
        if (!place) {
            complain("--place \"" + quoted_input(options.place) + "\": " + error);
            return exit_failure;
        }
        cv.place_name = place->display_name();
        cv.latitude = format_fixed(place->latitude, 6);
        cv.longitude = format_fixed(place->longitude, 6);
    }
    if (!options.latitude.empty()) cv.latitude = options.latitude;
    if (!options.longitude.empty()) cv.longitude = options.longitude;
    // Typed coordinates are no longer the atlas place's.
    if (options.place.empty() && (!options.latitude.empty() || !options.longitude.empty())) cv.place_name.clear();
    if (!options.house_system.empty()) cv.house_system = options.house_system;
    if (options.angles) {
        cv.p2_asc = options.angles->first;
        cv.p2_mc = options.angles->second;
    }
    return 0;
}

// House ingresses by --events (or the file's tick): they are crossings of the natal houses, so a
// run that asks for them needs a birth place and a natal mode.
int apply_house_ingress_tick(const Options& options, ControlValues& cv) {
    if (options.events) cv.house_ingresses = options.events->houses || (options.events->all && cv.has_place());
    if (!cv.house_ingresses || options.degree || options.report) return 0;
    const std::size_t tick_line = settings_line_count + event_captions.size() + place_line_count + 1;
    const std::string asked = options.events && options.events->houses
                                  ? "--events houses: "
                                  : options.settings_path + ": line " + std::to_string(tick_line) + ", ";
    if (!cv.has_place()) {
        complain(asked + "house ingresses need a birth place: give --place, or --latitude and --longitude");
        return exit_failure;
    }
    if (cv.mode == 1 && options.events && options.events->houses) {
        complain(asked + "house ingresses are found in the natal modes, not in transit to transit");
        return exit_failure;
    }
    return 0;
}

#if TAVROLIN_TIMELINE_PICTURES

int check_timeline_path(const std::string& path) {
    if (picture_format_for(QString::fromLocal8Bit(path.c_str()))) return 0;
    complain("cannot draw the timeline into " + path + ": the name must end in .png or .svg");
    return exit_failure;
}

// The toolkit's set-up for the pictures and the PDF: it draws text and pictures without a display
// on its offscreen platform.
void prepare_toolkit() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Its notes about the session (no runtime folder, say) are no concern of a picture.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtDebugMsg || type == QtInfoMsg || message.startsWith("QStandardPaths:")) return;
        std::fprintf(stderr, "tavrolin-batch: %s\n", qPrintable(message));
    });
}

int check_pdf_path(const std::string& path) {
    if (QString::fromLocal8Bit(path.c_str()).endsWith(".pdf", Qt::CaseInsensitive)) return 0;
    complain("cannot write the PDF " + path + ": the name must end in .pdf");
    return exit_failure;
}

// The listing's pages, as File > Export PDF... writes them.
int write_listing_pdf(const Engine& engine, const std::string& listing, const std::string& path) {
    const QString text = QString::fromStdString(to_platform_line_ends(listing));
    std::string error;
    if (!write_pdf_file(path, text_pdf(listing_header(engine.last_run), text, "Tavrolin listing"), &error)) {
        complain(error);
        return exit_failure;
    }
    return 0;
}

// The picture of View > Timeline, of the whole range and every lane (as many as a PNG holds).
int draw_timeline(const Engine& engine, const Options& options) {
    const Timeline timeline = build_timeline(engine);
    const TimelinePainter painter(timeline, QGuiApplication::font());
    const PictureFormat format = *picture_format_for(QString::fromLocal8Bit(options.timeline_path.c_str()));
    const int width = options.timeline_width != 0 ? options.timeline_width : default_picture_width;
    TimelineView view = painter.whole_view(width, max_picture_height(format, width));
    view.now_jd = unix_epoch_jd + static_cast<double>(std::time(nullptr)) / 86400.0;
    // Dark text on white, whatever the desktop's theme: a picture is read elsewhere.
    QPalette palette;
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    std::string error;
    if (!write_picture_file(options.timeline_path, render_picture(painter, view, timeline_colours(palette), format), &error)) {
        complain(error);
        return exit_failure;
    }
    if (!view.note.isEmpty()) complain(options.timeline_path + ": " + view.note.toStdString() + ".");
    return 0;
}

// The outputs drawn by the toolkit: the timeline's picture, then the listing's PDF.
int draw_outputs(const Engine& engine, const Options& options, const std::string& listing, char* program) {
    prepare_toolkit();
    int argc = 1;
    char* argv[] = {program, nullptr};
    QGuiApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");  // the toolkit took the user's; the engine's texts use "."
    int status = 0;
    if (!options.timeline_path.empty()) status = draw_timeline(engine, options);
    if (status == 0 && !options.pdf_path.empty()) status = write_listing_pdf(engine, listing, options.pdf_path);
    return status;
}

#else

int check_timeline_path(const std::string&) {
    complain("--timeline: this tavrolin-batch was built without Qt SVG and draws no pictures");
    return exit_failure;
}
int check_pdf_path(const std::string&) {
    complain("--pdf: this tavrolin-batch was built without Qt and writes no PDF");
    return exit_failure;
}
int draw_outputs(const Engine&, const Options&, const std::string&, char*) { return exit_failure; }

#endif

}  // namespace

int main(int argc, char** argv) {
    // An export or listing ended by Ctrl+C, kill or a closed terminal leaves no temporary file.
    tavrolin::install_temp_file_cleanup();
    Options options;
    if (const int status = parse(argc, argv, options); status != 0) return status;
    if (options.help) {
        const std::string text = std::string(usage_text) + "\n" + std::string(help_text);
        return write_all(stdout, text) ? 0 : exit_failure;
    }
    if (options.version) return write_all(stdout, "tavrolin-batch " TAVROLIN_VERSION "\n") ? 0 : exit_failure;
    if (options.local_birth_time) return print_local_birth_time(*options.local_birth_time, options.date_order);

    if (!options.timeline_path.empty()) {
        if (const int status = check_timeline_path(options.timeline_path); status != 0) return status;
    }
    if (!options.pdf_path.empty()) {
        if (const int status = check_pdf_path(options.pdf_path); status != 0) return status;
    }
    if (!options.export_path.empty() && options.export_path != "-") {
        options.export_format = export_format_for(options.export_path);
        if (!options.export_format) {
            complain("cannot export to " + options.export_path + ": the name must end in .ics (iCalendar) or .csv");
            return exit_failure;
        }
    }

    // The window's initial state, then the file.
    ControlValues cv;
    cv.date_order = options.date_order;
    cv.natal_date = default_natal_date(options.date_order);
    cv.user_defined_angle = options.angle;
    cv.years_back = options.years_back;
    std::string error;
    if (!load_settings_file(options.settings_path, cv, &error)) {
        complain(error);
        return exit_failure;
    }
    if (options.events) {
        for (std::size_t i = 0; i < options.events->sky.size(); ++i) *cv.event_ticks()[i] = options.events->sky[i];
    }

    if (const int status = apply_place_options(options, cv); status != 0) return status;
    if (const int status = apply_house_ingress_tick(options, cv); status != 0) return status;

    // The ephemeris files and the spreadsheet back end are found by the same rule as the window's.
    const FilePlaces places = find_file_places(executable_folder(argv[0]));
    set_ephemeris_search_path(places.ephemeris_path);
    set_calc_module_path(places.calc_module);
    LibSwe api;
    Ephemeris ephemeris(api);
    Engine engine(ephemeris);
    engine.cv = cv;
    engine.cv.style = options.style;
    engine.cv.dates_in_life = options.dates_in_life ? 1 : 0;
    engine.cv.date_only = options.date_only;
    if (options.report) {
        const NatalReportOutcome report = run_natal_report(engine, *options.report);
        if (!report.ran) {
            complain(where(options, report.invalid_field) + report.invalid_date);
            return exit_failure;
        }
        if (!write_all(stdout, to_platform_line_ends(report.text))) {
            complain("cannot write the report to standard output");
            return exit_failure;
        }
        if (!report.not_computed.empty()) {
            std::fputs(to_platform_line_ends(report.not_computed).c_str(), stderr);
            return exit_failure;
        }
        return 0;
    }
    ScanControl fast;
    int percent_shown = -1;
    const bool terminal = isatty(fileno(stderr)) != 0;
    if (options.progress) {
        fast.progress = [&](double done) {
            const int percent = static_cast<int>(done * 100.0);
            if (percent <= percent_shown) return;
            percent_shown = percent;
            std::fprintf(stderr, terminal ? "\rtavrolin-batch: %d%% done" : "tavrolin-batch: %d%% done\n", percent);
            std::fflush(stderr);
        };
    }
    CommandOutcome outcome = run_calculation_command(engine, options.degree ? 0 : 1, {}, &fast);
    if (options.progress && terminal && percent_shown >= 0) std::fputs("\n", stderr);
    if (!outcome.ran) {
        complain(where(options, outcome.invalid_field) + outcome.invalid_date);
        return exit_failure;
    }
    if (!outcome.houses_note.empty()) complain(outcome.houses_note);
    // A void Moon asked for by name and left out for want of its body is said, not passed over.
    if (options.events && options.events->sky[4] && !options.events->all && engine.cv.p1_planets[1] == 0)
        complain("--events void: the void-of-course Moon is one of the Moon's events; tick the Moon in P1");
    int status = 0;
    // The PDF's text is the listing's, before it goes to standard output.
    const std::string listing = options.pdf_path.empty() ? std::string() : outcome.text;
    if (options.export_path == "-") {
        status = export_to(engine, options.export_path, *options.export_format);
    } else {
        if (!write_all(stdout, to_platform_line_ends(std::move(outcome.text)))) {
            complain("cannot write the listing to standard output");
            return exit_failure;
        }
        if (!options.export_path.empty()) status = export_to(engine, options.export_path, *options.export_format);
    }
    if (status == 0 && (!options.timeline_path.empty() || !options.pdf_path.empty()))
        status = draw_outputs(engine, options, listing, argv[0]);
    if (status == 0 && options.to_spreadsheet) status = copy_to_spreadsheet(engine, options.pipe);
    // Ticked bodies whose positions could not be computed are missing from every output; a
    // script must not take their absence for a quiet sky.
    if (const std::string missing = not_computed_text(engine); !missing.empty()) {
        std::fputs(to_platform_line_ends(missing).c_str(), stderr);
        if (status == 0) status = exit_failure;
    }
    return status;
}
