// The last run's results out of the program: "Export results..." as an iCalendar or CSV file, and
// "Copy to Excel" into the spreadsheet the user has open.
#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <string>

#include "engine/engine.h"
#include "output/spreadsheet.h"
#include "spreadsheet_uno/calc_connection.h"
#include "window/command_host.h"

namespace tavrolin {

class FileCommands;

class ExportCommand {
public:
    static constexpr const char* copy_caption = "Copy to Excel";

    // The export's file is chosen through `files`, with the other dialogs' folder rules.
    ExportCommand(CommandHost& host, const Engine& engine, FileCommands& files)
        : host_(host), engine_(engine), files_(files) {}

    // Where "Copy to Excel" finds the spreadsheet; empty: LibreOffice Calc on the pipe.
    SpreadsheetSource spreadsheet_source;
    std::string pipe_name = std::string(default_calc_pipe);
    // How long the office may take to answer each call, and to start when asked to.
    std::chrono::milliseconds office_timeout = std::chrono::seconds(10);
    std::chrono::milliseconds office_start_timeout = std::chrono::seconds(120);
    // The office started on request (empty: LibreOffice's soffice where it is installed) and what
    // is added to its command line (a test's own profile, say).
    QString office_program;
    QStringList office_arguments;
    // The process started on request, for whoever wants to end it; 0 for none.
    qint64 started_office_pid = 0;

    // "Export results...": the file's extension chooses the format.
    void mnuFileExportResults_Click();
    // "Copy to Excel": the result table of the last run into the open spreadsheet.
    void cmdCopy_to_Excel_Click();

private:
    class Wait;
    // The spreadsheet, or what was found instead; starts the office when the user agrees.
    SpreadsheetConnection find_spreadsheet(Wait& wait);
    SpreadsheetConnection connect_once(Wait& wait);

    CommandHost& host_;
    const Engine& engine_;
    FileCommands& files_;
};

}  // namespace tavrolin
