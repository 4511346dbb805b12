#include "window/export_command.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QMessageBox>

#include "files/atomic_file.h"
#include "output/results_export.h"
#include "output/spreadsheet_export.h"
#include "spreadsheet_uno/calc_connection.h"
#include "window/file_commands.h"
#include "window/file_dialogs.h"

namespace tavrolin {

namespace {

QString sentence(const std::string& text) {
    QString s = QString::fromStdString(text);
    if (!s.isEmpty()) s[0] = s[0].toUpper();
    return s + ".";
}

}  // namespace

void ExportCommand::mnuFileExportResults_Click() {
    if (engine_.result_count <= 0 && (engine_.near_misses.empty() || engine_.last_run.calc_kind == 0)) {
        host_.show_status("Nothing to export: the last calculation found no aspects.");
        return;
    }
    files_.GetExportFileFilename();
    if (files_.take_cancel()) return;
    const QString path = files_.export_file_path;
    const auto format = export_format_for(native_path(path));
    if (!format) {
        host_.show_status("Not exported: " + path + " must end in .ics (iCalendar) or .csv.");
        return;
    }
    AtomicFile file(native_path(path));
    std::string error;
    ExportOutcome outcome;
    if (file.open(&error)) {
        outcome = export_results(engine_, *format, [&](std::string_view text) { return file.write(text); },
                                 QDateTime::currentSecsSinceEpoch());
        if (outcome.ok && !file.commit(&error)) outcome.ok = false;
        if (!outcome.ok && outcome.error.empty() && error.empty()) file.commit(&error);  // says why the write failed
    }
    if (!outcome.ok) {
        const std::string why = outcome.error.empty() ? error : outcome.error;
        host_.show_status("Not exported: " + QString::fromLocal8Bit(why.c_str()));
        return;
    }
    host_.show_status(QString("Exported %1 %2 to %3").arg(outcome.events).arg(outcome.events == 1 ? "event" : "events").arg(path));
}

void ExportCommand::cmdCopy_to_Excel_Click() {
    SpreadsheetConnection connection = spreadsheet_source ? spreadsheet_source() : connect_to_running_calc();
    QWidget* parent = host_.parent_widget();
    if (connection.status == SpreadsheetConnection::Status::no_back_end ||
        connection.status == SpreadsheetConnection::Status::refused) {
        QMessageBox::critical(parent, copy_caption, sentence(connection.detail));
        return;
    }
    if (!connection.sheet) {
        QMessageBox::critical(parent, QString::fromUtf8(no_spreadsheet_title.data(), no_spreadsheet_title.size()),
                              QString::fromUtf8(no_spreadsheet_message.data(), no_spreadsheet_message.size()));
        return;
    }

    // The mode, "Copy date only", the captions and the style marks as they are now, not as they
    // were for the run that made the table.
    const ControlValues cv = host_.control_values();
    ExportSettings settings;
    settings.marks = style_marks(cv.style);
    settings.month_names = locale_month_abbreviations();
    settings.between_rows = [] { QCoreApplication::processEvents(); };
    ExportReport report;
    // The window handles events between rows: nothing may replace the result table or the natal
    // tables being copied, nor start a second copy.
    host_.with_commands_disabled([&] { report = Copy_to_Spreadsheet(*connection.sheet, engine_, cv, settings); });
    if (report.stopped) {
        QMessageBox::warning(parent, copy_caption,
                             QString("The copy stopped after %1 rows: %2.")
                                 .arg(report.rows_written)
                                 .arg(QString::fromStdString(report.stop_reason)));
    }
}

}  // namespace tavrolin
