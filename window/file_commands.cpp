#include "window/file_commands.h"

#include "files/file_names.h"
#include "files/natal_data_file.h"
#include "window/file_dialogs.h"

namespace tavrolin {

// The load or save dialog of one kind of file ("settings file"), opening in the folder where the
// last file of that kind was chosen, else in the first folder of the layout; a choice is
// remembered as the file's full path and its folder, which the next dialog of the kind opens in.
void FileCommands::choose_into(int load_save, const QString& kind, const QString& filter, const QString& suffix,
                               QString& file_path, QString& folder, const QString& title) {
    FileDialogRequest request;
    request.save = load_save != 0;
    request.title = title.isEmpty() ? (request.save ? "Save " : "Load ") + kind : title;
    request.filter = filter;
    request.default_suffix = suffix;
    request.initial_folder = folder.isEmpty() ? from_native_path(host_.places().dialog_folder) : folder;
    request.initial_file = file_path;
    dialog_cancelled = 0;
    const auto chosen = host_.file_dialogs().choose_file(host_.parent_widget(), request);
    if (!chosen) {
        dialog_cancelled = 1;
        return;
    }
    file_path = *chosen;
    std::string folder_chosen = last_folder.toStdString();
    ParseFilenameOnly(file_path.toStdString(), folder_chosen);
    last_folder = QString::fromStdString(folder_chosen);
    folder = last_folder;
}

bool FileCommands::take_cancel() {
    const bool cancelled = dialog_cancelled == 1;
    dialog_cancelled = 0;
    return cancelled;
}

void FileCommands::report_file_failure(const std::string& error) {
    host_.file_dialogs().report_failure(host_.parent_widget(), QString::fromLocal8Bit(error.c_str()));
}

void FileCommands::GetExportFileFilename() {
    choose_into(1, "results", "iCalendar (*.ics);;CSV (*.csv)", "ics", export_file_path, export_folder, "Export results");
}

// Settings files.

void FileCommands::GetOPTFileFilename(int load_save) {
    choose_into(load_save, "settings file", "Settings Files (*.opt) | *.opt", "opt", opt_file_path, opt_folder);
}

void FileCommands::mnuFileSaveSettings_Click() {
    GetOPTFileFilename(1);
    if (take_cancel()) return;
    std::string error;
    if (!save_settings_file(native_path(opt_file_path), host_.control_values(), &error)) {
        report_file_failure(error);
        return;
    }
    host_.show_status("Saved the settings to " + opt_file_path);
}

void FileCommands::mnuFileLoadSettings_Click() {
    GetOPTFileFilename(0);
    if (take_cancel()) return;
    load_settings_from(opt_file_path, SettingsScope::Everything);
}

void FileCommands::mnuFileLoadFav1_Click() { load_favourite("fav1.opt"); }
void FileCommands::mnuFileLoadFav2_Click() { load_favourite("fav2.opt"); }

void FileCommands::load_favourite(const QString& file_name) {
    load_settings_from(from_native_path(host_.places().config_folder) + '/' + file_name, SettingsScope::KeepRangeAndDegree);
}

void FileCommands::load_settings_from(const QString& path, SettingsScope scope) {
    // A file that is not there (a favourite never saved) is not an error.
    if (!FileExists(native_path(path))) return;
    ControlValues cv = host_.control_values();
    std::string error;
    // The whole file is read and checked before any control changes.
    if (!load_settings_file(native_path(path), cv, &error, scope)) {
        report_file_failure(error);
        return;
    }
    host_.apply_control_values(cv);
    host_.show_status("Loaded the settings from " + path);
}

// Natal data files.

void FileCommands::GetDATFileFilename(int load_save) {
    choose_into(load_save, "natal data file", "Natal Data Files (*.dat) | *.dat", "dat", dat_file_path, dat_folder);
}

void FileCommands::cmdOpen_Click() {
    GetDATFileFilename(0);
    if (take_cancel()) return;
    if (!FileExists(native_path(dat_file_path))) return;
    ControlValues cv = host_.control_values();
    std::string error, warning;
    NatalPlace place;
    if (!load_natal_data_file(native_path(dat_file_path), cv, &error, &place, &warning)) {
        report_file_failure(error);
        return;
    }
    // The place is the person's as the date is: a file without one leaves no place of another.
    cv.place_name = place.name;
    cv.latitude = place.latitude;
    cv.longitude = place.longitude;
    host_.set_natal_data(cv);
    host_.show_status("Opened the natal data of " + dat_file_path +
                      (warning.empty() ? QString() : " (" + QString::fromStdString(warning) + ")"));
}

void FileCommands::cmdSave_Click() {
    GetDATFileFilename(1);
    if (take_cancel()) return;
    std::string error;
    const ControlValues cv = host_.control_values();
    if (!save_natal_data_file(native_path(dat_file_path), cv, &error, NatalPlace{cv.place_name, cv.latitude, cv.longitude})) {
        report_file_failure(error);
        return;
    }
    host_.show_status("Saved the natal data to " + dat_file_path);
}

}  // namespace tavrolin
