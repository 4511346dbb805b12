// The results of the last run as an iCalendar file (RFC 5545, through libical) or a CSV file
// (RFC 4180), for calendars, spreadsheets and scripts. Each result row is one exact moment; each
// near-miss window one stretch of days.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/engine.h"

namespace tavrolin {

enum class ExportFormat { icalendar, csv };

// The format a file's extension names (".ics" or ".csv", in any capitals); nothing otherwise.
std::optional<ExportFormat> export_format_for(std::string_view path);

// Takes the export piece by piece; returning false stops it (a write failed).
using ExportSink = std::function<bool(std::string_view)>;

struct ExportOutcome {
    bool ok = false;
    int events = 0;     // exact moments and near-miss windows written
    // Why nothing (or not everything) was written; empty when the sink refused a piece, whose
    // reason (a full disk, say) the sink's owner tells.
    std::string error;
};

// Writes the engine's last run: result_table, near_misses and last_run. `now_utc` (seconds since
// 1970, UTC) stamps the calendar's events. A run without rows and windows writes nothing.
ExportOutcome export_results(const Engine& engine, ExportFormat format, const ExportSink& sink, long long now_utc);

}  // namespace tavrolin
