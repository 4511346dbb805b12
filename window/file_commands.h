// The File menu's settings files and favourites, the natal data files of "Open" and "Save", and
// the state of their dialogs (the export's file is chosen here too, so that every dialog of the
// main window follows the same folder rules).
#pragma once

#include <QString>

#include <string>

#include "files/settings_file.h"
#include "window/command_host.h"

namespace tavrolin {

class FileCommands {
public:
    explicit FileCommands(CommandHost& host) : host_(host) {}

    // State of the file dialogs. Settings and natal data files keep their own folder and file;
    // last_folder is the folder of the path chosen last; dialog_cancelled is 1 after a cancelled
    // dialog until the command that showed it resets it.
    int dialog_cancelled = 0;
    QString last_folder;
    QString opt_file_path;
    QString opt_folder;
    QString dat_file_path;
    QString dat_folder;
    QString export_file_path;
    QString export_folder;

    // The settings and natal data dialogs (0 load, anything else save): on a choice they set the
    // file path, last_folder and the folder; on a cancel dialog_cancelled = 1.
    void GetOPTFileFilename(int load_save);
    void GetDATFileFilename(int load_save);
    // The save dialog of "Export results...", an iCalendar or a CSV file.
    void GetExportFileFilename();
    // Whether the last dialog was cancelled; reading it clears it.
    bool take_cancel();

    // File menu: settings files through the dialog, and the two favourites from the program's
    // folder, which keep the date range and the zodiac degree.
    void mnuFileLoadSettings_Click();
    void mnuFileSaveSettings_Click();
    void mnuFileLoadFav1_Click();
    void mnuFileLoadFav2_Click();
    // "Open" and "Save": the natal date, natal time and time zone as a natal data file.
    void cmdOpen_Click();
    void cmdSave_Click();

private:
    void choose_into(int load_save, const QString& kind, const QString& filter, const QString& suffix,
                     QString& file_path, QString& folder, const QString& title = {});
    void load_settings_from(const QString& path, SettingsScope scope);
    void load_favourite(const QString& file_name);
    void report_file_failure(const std::string& error);

    CommandHost& host_;
};

}  // namespace tavrolin
