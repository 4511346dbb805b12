// The last run's results out of the program: "Export results..." as an iCalendar or CSV file, and
// "Copy to Excel" into the spreadsheet the user has open.
#pragma once

#include "engine/engine.h"
#include "output/spreadsheet.h"
#include "window/command_host.h"

namespace tavrolin {

class FileCommands;

class ExportCommand {
public:
    static constexpr const char* copy_caption = "Copy to Excel";

    // The export's file is chosen through `files`, with the other dialogs' folder rules.
    ExportCommand(CommandHost& host, const Engine& engine, FileCommands& files)
        : host_(host), engine_(engine), files_(files) {}

    // Where "Copy to Excel" finds the spreadsheet; empty: LibreOffice Calc on the pipe "tavrolin".
    SpreadsheetSource spreadsheet_source;

    // "Export results...": the file's extension chooses the format.
    void mnuFileExportResults_Click();
    // "Copy to Excel": the result table of the last run into the open spreadsheet.
    void cmdCopy_to_Excel_Click();

private:
    CommandHost& host_;
    const Engine& engine_;
    FileCommands& files_;
};

}  // namespace tavrolin
