// The main window: every input of a calculation lives in its controls, it owns the engine for the
// program's life, and it writes the INI file when it closes.
//
// Object names (QObject::objectName) are the names the rest of the program uses. A control array
// is one name per element with "_" and the index appended: "chkP1Planets_5", "chkP2Planets_22",
// "chkAspects_15", "optNatal_Transit_Progressed_1", "txtResults_0". The labels without a name of
// their own are "lblStartDate", "lblEndDate", "lblTZ", "lblZodiacDegree", "lblNatalTime" and
// "lblYearsBack". Menu entries and separators are QActions named "mnuFileLoadSettings",
// "mnuSplit2", ...; the menus are QMenus named "mnuFile", "mnuAdjustDates", "mnuOptions", "mnuView";
// "mnuHelp" is an action of the menu bar itself.
//
// Geometry is laid out in twips (1/1440 inch) at the screen's logical resolution, so that the
// wide-screen rule moves controls by exact twip amounts; geometry_twips() reports it. The window's
// width is that of the layout (12600 twips, 13400 on a wide screen); on a screen too small for it
// the window is fitted to the screen and the controls scroll.
#pragma once

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/bodies.h"
#include "engine/control_values.h"
#include "engine/engine.h"
#include "engine/ephemeris.h"
#include "engine/swe_api.h"
#include "files/date_commands.h"
#include "files/file_places.h"
#include "files/settings_file.h"
#include "output/natal_report.h"
#include "output/spreadsheet.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class frmHelpFiles;
class frmNatalPos;
class frmTimeline;

namespace tavrolin {

class FileDialogs;
struct Timeline;

// What the window takes from its surroundings; tests replace each part.
struct WindowSetup {
    std::optional<FilePlaces> places;         // empty: by the rule, for the executable's folder
    std::optional<QSize> screen_size_twips;   // empty: the size of the window's screen
    std::optional<int> date_order;            // empty: from the user's locale
    std::shared_ptr<FileDialogs> file_dialogs;  // empty: the toolkit's file dialog and message box
};

}  // namespace tavrolin

class frmTavrolin : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int wide_screen_shift = 800;      // twips
    static constexpr int narrow_window_width = 12600;  // twips
    static constexpr int wide_screen_threshold = 12000;  // twips; wider screens get the wide layout

    // Builds the window and runs its load sequence, which ends with the window shown.
    explicit frmTavrolin(tavrolin::WindowSetup setup = {}, QWidget* parent = nullptr);
    ~frmTavrolin() override;

    // Every control's value, as the engine and the settings files read them.
    tavrolin::ControlValues control_values() const;
    // Sets every control to the given values (texts cut to the boxes' maximum lengths). The mode
    // and "Ignore duplicates" are set exactly as given, without the mode buttons' click rule;
    // date_order is the session's and is not changed.
    void apply_control_values(const tavrolin::ControlValues& cv);
    // A mode button's value set from code: selecting a button that was not selected runs its
    // click rule; clearing the selected one leaves the group without a selection.
    void set_mode_value(int index, bool value);

    int DateOrder() const { return date_order_; }
    // Where the program's own files live (decided when the window is built).
    const tavrolin::FilePlaces& places() const { return places_; }
    tavrolin::Engine& engine() { return engine_; }

    // Laid-out geometry of a control in twips (an empty rect for a control not laid out here).
    QRect geometry_twips(const QWidget* control) const { return twips_.value(control); }
    int width_twips() const { return window_width_twips_; }
    int twips_to_px_x(int twips) const;
    int twips_to_px_y(int twips) const;

    // Why the last INI write failed; empty when it succeeded or has not happened.
    const QString& ini_save_error() const { return ini_save_error_; }

    // Where "Copy to Excel" finds the spreadsheet; empty: LibreOffice Calc on the pipe "tavrolin".
    tavrolin::SpreadsheetSource spreadsheet_source;

    // Controls. Arrays are indexed as the body, aspect and mode numbers.
    QLabel* lblStartDate = nullptr;
    QLineEdit* txtStartdate = nullptr;
    QLabel* lblEndDate = nullptr;
    QLineEdit* txtEndDate = nullptr;
    QLabel* lblTZ = nullptr;
    QLineEdit* txtTZ = nullptr;
    QLabel* lblZodiacDegree = nullptr;
    QLineEdit* txtZodiacDegree = nullptr;
    QLabel* lblNatalDate = nullptr;
    QLineEdit* txtNatalDate = nullptr;
    QLabel* lblNatalTime = nullptr;
    QLineEdit* txtNatalTime = nullptr;
    QLabel* lblYearsBack = nullptr;
    QLineEdit* txtYearsBack = nullptr;
    QLineEdit* txtUserDefinedAngle = nullptr;
    std::array<QPlainTextEdit*, 2> txtResults{};

    QLabel* lblAspects = nullptr;
    QLabel* lblP1Planets = nullptr;
    QLabel* lblP2Planets = nullptr;
    std::array<QCheckBox*, tavrolin::aspect_count> chkAspects{};
    std::array<QCheckBox*, tavrolin::body_count> chkP1Planets{};
    std::array<QCheckBox*, tavrolin::body_count> chkP2Planets{};
    QCheckBox* chkP1Planets_G_or_H = nullptr;
    QCheckBox* chkP2Planets_G_or_H = nullptr;
    QCheckBox* chkApparentPos = nullptr;
    QCheckBox* chkUse_ET = nullptr;
    QCheckBox* chkSortOutput = nullptr;
    QCheckBox* chkIgnoreDups = nullptr;
    QCheckBox* chkDateOnly = nullptr;
    QCheckBox* chkHelio = nullptr;

    std::array<QRadioButton*, 4> optNatal_Transit_Progressed{};
    QButtonGroup* mode_group = nullptr;

    QPushButton* cmdTavrolin = nullptr;
    QPushButton* cmdCalculate_T_to_Point = nullptr;
    QPushButton* cmdCopy_to_Excel = nullptr;
    QPushButton* cmdOpen = nullptr;
    QPushButton* cmdSave = nullptr;

    QMenu* mnuFile = nullptr;
    QAction* mnuFileLoadSettings = nullptr;
    QAction* mnuFileSaveSettings = nullptr;
    QAction* mnuFileExportResults = nullptr;
    QAction* mnuFileLoadFav1 = nullptr;
    QAction* mnuFileLoadFav2 = nullptr;
    QAction* mnuNatalPlanetPositionsLongitude = nullptr;
    QAction* mnuNatalPlanetPositionsDecl_Lat = nullptr;
    QAction* mnuNatalPlanetPositionsLongitude_SIDEREAL = nullptr;
    QMenu* mnuAdjustDates = nullptr;
    QAction* mnuPreviousStartDate = nullptr;
    QAction* mnuNextStartDate = nullptr;
    QAction* mnuPreviousEndDate = nullptr;
    QAction* mnuNextEndDate = nullptr;
    QAction* mnuPreviousMonth = nullptr;
    QAction* mnuNextMonth = nullptr;
    QAction* mnuConvertLocalBirthTime = nullptr;
    QMenu* mnuOptions = nullptr;
    QAction* mnuUseQuillDisplaySettings = nullptr;
    QAction* mnuUseLunettaDisplaySettings = nullptr;
    QMenu* mnuView = nullptr;
    QAction* mnuViewTimeline = nullptr;
    QAction* mnuHelp = nullptr;

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
    tavrolin::FileDialogs& file_dialogs();
    // The open help window, if any.
    frmHelpFiles* help_window() const;
    // The open natal positions window, if any.
    frmNatalPos* natal_pos_window() const;
    // The open timeline window, if any.
    frmTimeline* timeline_window() const;

public slots:
    // "Calculate tavrolin": aspects between the P1 and P2 bodies; the caption shows the time taken.
    void cmdTavrolin_Click();
    // "Calculate transit to a Zodiac degree (longitude or decl.)": aspects of P1 to the degree.
    void cmdCalculate_T_to_Point_Click();
    void optNatal_Transit_Progressed_Click(int Index);
    void txtUserDefinedAngle_Change();
    void txtResults_DblClick(int Index);
    // "Copy to Excel": the result table of the last run into the open spreadsheet (export_command.cpp).
    void cmdCopy_to_Excel_Click();

    // File menu: settings files through the dialog, and the two favourites from the program's
    // folder, which keep the date range and the zodiac degree.
    void mnuFileLoadSettings_Click();
    void mnuFileSaveSettings_Click();
    void mnuFileLoadFav1_Click();
    void mnuFileLoadFav2_Click();
    // "Export results...": the last run's results as an iCalendar or CSV file, by the extension
    // chosen in the dialog; enabled once a run has finished.
    void mnuFileExportResults_Click();
    // "Open" and "Save": the natal date, natal time and time zone as a natal data file.
    void cmdOpen_Click();
    void cmdSave_Click();
    // Adjust Dates menu.
    void mnuPreviousStartDate_Click();
    void mnuNextStartDate_Click();
    void mnuPreviousEndDate_Click();
    void mnuNextEndDate_Click();
    void mnuPreviousMonth_Click();
    void mnuNextMonth_Click();
    // "Convert local birth time...": the dialog, then its Greenwich time into "Natal time (GMT)"
    // and, when the day changed, its date into the natal date box.
    void mnuConvertLocalBirthTime_Click();
    void apply_birth_time(const tavrolin::UniversalTime& gmt);
    // Help: a fresh help window (one that is open is closed, unsaved edits and all).
    void mnuHelp_Click();

    // Options menu: the listing style of the following calculations. Run when an entry has been
    // triggered, that is after the toolkit has inverted its check mark; checking one entry
    // clears the other.
    void mnuUseQuillDisplaySettings_Click();
    void mnuUseLunettaDisplaySettings_Click();
    // File menu: the natal positions reports into a fresh natal positions window and onto the
    // clipboard; a natal date that is not a date is named in the status bar instead.
    void mnuNatalPlanetPositionsLongitude_Click();
    void mnuNatalPlanetPositionsDecl_Lat_Click();
    void mnuNatalPlanetPositionsLongitude_SIDEREAL_Click();
    // View menu: the timeline window of the last run (timeline_command.cpp), opened once and
    // brought forward again.
    void mnuViewTimeline_Click();
    // Selects the listing line of a row of the last run in its results box and scrolls to it.
    void select_result_row(int row);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Runs a calculation command with the current control values and writes its listing into
    // txtResults(calc_kind); a date that is not a date is reported in the status bar instead.
    void Start_Calcs(int calc_kind);
    void build_controls();
    void build_menus();
    void set_tab_order();
    void Form_Load();
    void Form_Unload();
    void place_on_screen();
    void apply_wide_screen_layout();

    // The file and date commands (file_commands.cpp).
    void connect_file_commands();
    void load_settings_from(const QString& path, tavrolin::SettingsScope scope);
    void load_favourite(const QString& file_name);
    void adjust_dates(tavrolin::DateCommand command);
    void report_file_failure(const std::string& error);

    // The Options and natal report commands (natal_report_commands.cpp).
    void connect_report_commands();
    void natal_report_command(tavrolin::NatalReportKind kind);

    // The timeline (timeline_command.cpp): made anew once per run, when the listing is shown and
    // the window is open, else when the window opens.
    void timeline_after_run();
    void show_timeline_in_window();

    // Lays a control out at a twip rectangle of the client area.
    void place(QWidget* control, int left, int top, int width, int height);
    void move_left_twips(QWidget* control, int delta);
    void set_left_twips(QWidget* control, int left);
    void set_width_twips(QWidget* control, int width);
    void apply_geometry(QWidget* control);
    void resize_to_twips();
    QSize screen_size_twips() const;

    tavrolin::WindowSetup setup_;
    tavrolin::FilePlaces places_;
    int date_order_ = 0;
    double dpi_x_ = 96.0;
    double dpi_y_ = 96.0;
    int window_width_twips_ = narrow_window_width;
    int canvas_height_twips_ = 0;
    QHash<const QWidget*, QRect> twips_;
    QScrollArea* scroll_ = nullptr;
    QWidget* canvas_ = nullptr;
    QString ini_save_error_;
    QPointer<frmHelpFiles> help_window_;
    QPointer<frmNatalPos> natal_pos_window_;
    QPointer<frmTimeline> timeline_window_;
    std::shared_ptr<const tavrolin::Timeline> timeline_;
    bool timeline_current_ = false;
    // The results box line of each row of the last run, found when first needed.
    std::vector<int> listing_lines_;

    tavrolin::LibSwe swe_;
    tavrolin::Ephemeris ephemeris_{swe_};
    tavrolin::Engine engine_{ephemeris_};
};
