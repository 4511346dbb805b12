// The main window's file commands (settings files, favourites, natal data files), the Adjust
// Dates commands and the Help command.
#include <QAction>
#include <QDateTime>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>

#include "window/file_dialogs.h"
#include "output/results_export.h"
#include "files/atomic_file.h"
#include "files/file_names.h"
#include "files/natal_data_file.h"
#include "window/frm_birth_time.h"
#include "window/frm_help_files.h"
#include "window/frm_tavrolin.h"

#include <QScreen>
#include <algorithm>

namespace {

using tavrolin::from_native_path;
using tavrolin::native_path;

// Chooses a file and remembers it: the file's full path and its folder, which the next dialog of
// the same kind opens in.
void choose_into(frmTavrolin& w, const tavrolin::FileDialogRequest& request, QString& file_path, QString& folder) {
    w.dialog_cancelled = 0;
    const auto chosen = w.file_dialogs().choose_file(&w, request);
    if (!chosen) {
        w.dialog_cancelled = 1;
        return;
    }
    file_path = *chosen;
    std::string last_folder = w.last_folder.toStdString();
    tavrolin::ParseFilenameOnly(file_path.toStdString(), last_folder);
    w.last_folder = QString::fromStdString(last_folder);
    folder = w.last_folder;
}

// The load or save dialog of one kind of file ("settings file"), opening in the folder where the
// last file of that kind was chosen, else in the first folder of the layout.
tavrolin::FileDialogRequest file_request(const frmTavrolin& w, int load_save, const QString& kind,
                                         const QString& filter, const QString& suffix, const QString& folder,
                                         const QString& file) {
    tavrolin::FileDialogRequest request;
    request.save = load_save != 0;
    request.title = (request.save ? "Save " : "Load ") + kind;
    request.filter = filter;
    request.default_suffix = suffix;
    request.initial_folder = folder.isEmpty() ? from_native_path(w.places().dialog_folder) : folder;
    request.initial_file = file;
    return request;
}

// Whether the last dialog was cancelled; reading it clears it.
bool take_cancel(frmTavrolin& w) {
    const bool cancelled = w.dialog_cancelled == 1;
    w.dialog_cancelled = 0;
    return cancelled;
}

}  // namespace

void frmTavrolin::connect_file_commands() {
    const std::pair<QAction*, void (frmTavrolin::*)()> actions[] = {
        {mnuFileLoadSettings, &frmTavrolin::mnuFileLoadSettings_Click},
        {mnuFileSaveSettings, &frmTavrolin::mnuFileSaveSettings_Click},
        {mnuFileLoadFav1, &frmTavrolin::mnuFileLoadFav1_Click},
        {mnuFileLoadFav2, &frmTavrolin::mnuFileLoadFav2_Click},
        {mnuPreviousStartDate, &frmTavrolin::mnuPreviousStartDate_Click},
        {mnuNextStartDate, &frmTavrolin::mnuNextStartDate_Click},
        {mnuPreviousEndDate, &frmTavrolin::mnuPreviousEndDate_Click},
        {mnuNextEndDate, &frmTavrolin::mnuNextEndDate_Click},
        {mnuPreviousMonth, &frmTavrolin::mnuPreviousMonth_Click},
        {mnuNextMonth, &frmTavrolin::mnuNextMonth_Click},
        {mnuConvertLocalBirthTime, &frmTavrolin::mnuConvertLocalBirthTime_Click},
        {mnuHelp, &frmTavrolin::mnuHelp_Click},
    };
    for (const auto& [action, handler] : actions) {
        action->setEnabled(true);
        connect(action, &QAction::triggered, this, handler);
    }
    // Enabled by the first run that finishes.
    connect(mnuFileExportResults, &QAction::triggered, this, &frmTavrolin::mnuFileExportResults_Click);
    for (const auto& [button, handler] : {std::pair{cmdOpen, &frmTavrolin::cmdOpen_Click},
                                          std::pair{cmdSave, &frmTavrolin::cmdSave_Click}}) {
        button->setEnabled(true);
        connect(button, &QPushButton::clicked, this, handler);
    }
}

tavrolin::FileDialogs& frmTavrolin::file_dialogs() {
    if (!setup_.file_dialogs) setup_.file_dialogs = std::make_shared<tavrolin::ToolkitFileDialogs>();
    return *setup_.file_dialogs;
}

void frmTavrolin::report_file_failure(const std::string& error) {
    file_dialogs().report_failure(this, QString::fromLocal8Bit(error.c_str()));
}

// Export of the results.

void frmTavrolin::mnuFileExportResults_Click() {
    const tavrolin::Engine& engine = engine_;
    if (engine.result_count <= 0 && (engine.near_misses.empty() || engine.last_run.calc_kind == 0)) {
        statusBar()->showMessage("Nothing to export: the last calculation found no aspects.");
        return;
    }
    tavrolin::FileDialogRequest request =
        file_request(*this, 1, "results", "iCalendar (*.ics);;CSV (*.csv)", "ics", export_folder, export_file_path);
    request.title = "Export results";
    choose_into(*this, request, export_file_path, export_folder);
    if (take_cancel(*this)) return;
    const QString path = export_file_path;
    const auto format = tavrolin::export_format_for(native_path(path));
    if (!format) {
        statusBar()->showMessage("Not exported: " + path + " must end in .ics (iCalendar) or .csv.");
        return;
    }
    tavrolin::AtomicFile file(native_path(path));
    std::string error;
    tavrolin::ExportOutcome outcome;
    if (file.open(&error)) {
        outcome = tavrolin::export_results(engine, *format, [&](std::string_view text) { return file.write(text); },
                                           QDateTime::currentSecsSinceEpoch());
        if (outcome.ok && !file.commit(&error)) outcome.ok = false;
        if (!outcome.ok && outcome.error.empty() && error.empty()) file.commit(&error);  // says why the write failed
    }
    if (!outcome.ok) {
        const std::string why = outcome.error.empty() ? error : outcome.error;
        statusBar()->showMessage("Not exported: " + QString::fromLocal8Bit(why.c_str()));
        return;
    }
    statusBar()->showMessage(QString("Exported %1 %2 to %3").arg(outcome.events).arg(outcome.events == 1 ? "event" : "events").arg(path));
}

// Settings files.

void frmTavrolin::GetOPTFileFilename(int load_save) {
    choose_into(*this,
                file_request(*this, load_save, "settings file", "Settings Files (*.opt) | *.opt", "opt", opt_folder,
                             opt_file_path),
                opt_file_path, opt_folder);
}

void frmTavrolin::mnuFileSaveSettings_Click() {
    GetOPTFileFilename(1);
    if (take_cancel(*this)) return;
    std::string error;
    if (!tavrolin::save_settings_file(native_path(opt_file_path), control_values(), &error)) report_file_failure(error);
}

void frmTavrolin::mnuFileLoadSettings_Click() {
    GetOPTFileFilename(0);
    if (take_cancel(*this)) return;
    load_settings_from(opt_file_path, tavrolin::SettingsScope::Everything);
}

void frmTavrolin::mnuFileLoadFav1_Click() { load_favourite("fav1.opt"); }
void frmTavrolin::mnuFileLoadFav2_Click() { load_favourite("fav2.opt"); }

void frmTavrolin::load_favourite(const QString& file_name) {
    load_settings_from(from_native_path(places().config_folder) + '/' + file_name, tavrolin::SettingsScope::KeepRangeAndDegree);
}

void frmTavrolin::load_settings_from(const QString& path, tavrolin::SettingsScope scope) {
    // A file that is not there (a favourite never saved) is not an error.
    if (!tavrolin::FileExists(native_path(path))) return;
    tavrolin::ControlValues cv = control_values();
    std::string error;
    // The whole file is read and checked before any control changes.
    if (!tavrolin::load_settings_file(native_path(path), cv, &error, scope)) {
        report_file_failure(error);
        return;
    }
    apply_control_values(cv);
}

// Natal data files.

void frmTavrolin::GetDATFileFilename(int load_save) {
    choose_into(*this,
                file_request(*this, load_save, "natal data file", "Natal Data Files (*.dat) | *.dat", "dat", dat_folder,
                             dat_file_path),
                dat_file_path, dat_folder);
}

void frmTavrolin::cmdOpen_Click() {
    GetDATFileFilename(0);
    if (take_cancel(*this)) return;
    if (!tavrolin::FileExists(native_path(dat_file_path))) return;
    tavrolin::ControlValues cv = control_values();
    std::string error;
    if (!tavrolin::load_natal_data_file(native_path(dat_file_path), cv, &error)) {
        report_file_failure(error);
        return;
    }
    txtNatalDate->setText(QString::fromStdString(cv.natal_date));
    txtNatalTime->setText(QString::fromStdString(cv.natal_time));
    txtTZ->setText(QString::fromStdString(cv.tz));
}

void frmTavrolin::cmdSave_Click() {
    GetDATFileFilename(1);
    if (take_cancel(*this)) return;
    std::string error;
    if (!tavrolin::save_natal_data_file(native_path(dat_file_path), control_values(), &error)) report_file_failure(error);
}

// Adjust Dates.

void frmTavrolin::mnuPreviousStartDate_Click() { adjust_dates(tavrolin::DateCommand::PreviousStartDate); }
void frmTavrolin::mnuNextStartDate_Click() { adjust_dates(tavrolin::DateCommand::NextStartDate); }
void frmTavrolin::mnuPreviousEndDate_Click() { adjust_dates(tavrolin::DateCommand::PreviousEndDate); }
void frmTavrolin::mnuNextEndDate_Click() { adjust_dates(tavrolin::DateCommand::NextEndDate); }
void frmTavrolin::mnuPreviousMonth_Click() { adjust_dates(tavrolin::DateCommand::PreviousMonth); }
void frmTavrolin::mnuNextMonth_Click() { adjust_dates(tavrolin::DateCommand::NextMonth); }

void frmTavrolin::adjust_dates(tavrolin::DateCommand command) {
    tavrolin::ControlValues cv;
    cv.date_order = DateOrder();
    cv.start_date = txtStartdate->text().toStdString();
    cv.end_date = txtEndDate->text().toStdString();
    std::string problem;
    if (!tavrolin::run_date_command(command, cv, &problem)) {
        // The boxes keep their texts; the status bar says which one could not be read.
        statusBar()->showMessage(QString::fromStdString(problem));
        return;
    }
    statusBar()->clearMessage();
    const QString start = QString::fromStdString(cv.start_date);
    const QString end = QString::fromStdString(cv.end_date);
    if (txtStartdate->text() != start) txtStartdate->setText(start);
    if (txtEndDate->text() != end) txtEndDate->setText(end);
}

// Local birth time.

void frmTavrolin::mnuConvertLocalBirthTime_Click() {
    frmBirthTime dialog(DateOrder(), txtNatalDate->text(), txtTZ->text(), this);
    if (dialog.exec() == QDialog::Accepted && dialog.chosen()) apply_birth_time(*dialog.chosen());
}

void frmTavrolin::apply_birth_time(const tavrolin::UniversalTime& gmt) {
    txtNatalTime->setText(QString::fromStdString(gmt.natal_time()));
    // The Greenwich date goes with the Greenwich time: written when the day changed, or when the
    // dialog was given another date than the box holds.
    if (tavrolin::parse_date(txtNatalDate->text().toStdString(), DateOrder()) != gmt.date)
        txtNatalDate->setText(QString::fromStdString(tavrolin::format_date(gmt.date, DateOrder())));
    statusBar()->showMessage(QString::fromStdString("Natal time " + gmt.natal_time() + " GMT (" + gmt.offset_text() + ")"));
}

// Help.

frmHelpFiles* frmTavrolin::help_window() const { return help_window_; }

void frmTavrolin::mnuHelp_Click() {
    if (help_window_) help_window_->close();
    help_window_ = new frmHelpFiles(places(), file_dialogs(), this);
    // Left to itself the window manager may put part of the window below the screen's edge:
    // place it near the main window, wholly on the screen (frame included).
    const QRect avail = screen()->availableGeometry();
    const QMargins frame(geometry().left() - frameGeometry().left(), geometry().top() - frameGeometry().top(),
                         frameGeometry().right() - geometry().right(), frameGeometry().bottom() - geometry().bottom());
    const QSize outer = help_window_->size().grownBy(frame);
    const int x = std::clamp(frameGeometry().left() + 40, avail.left(), std::max(avail.left(), avail.right() + 1 - outer.width()));
    const int y = std::clamp(frameGeometry().top() + 40, avail.top(), std::max(avail.top(), avail.bottom() + 1 - outer.height()));
    help_window_->move(x, y);
    help_window_->show();
}
