// The main window: every input of a calculation lives in its controls, it owns the engine for the
// program's life, and it writes the INI file when it closes.
//
// Object names (QObject::objectName) are the names the rest of the program and the tests use. A control array
// is one name per element with "_" and the index appended: "chkP1Planets_5", "chkP2Planets_22",
// "chkAspects_15", "optNatal_Transit_Progressed_1", "txtResults_0". The labels without a name of
// their own are "lblStartDate", "lblEndDate", "lblTZ", "lblZodiacDegree", "lblNatalTime" and
// "lblYearsBack". Menu entries and separators are QActions named "mnuFileLoadSettings",
// "mnuSplit2", "mnuShowDatesInLife", ...; the menus are QMenus named "mnuFile", "mnuAdjustDates",
// "mnuOptions", "mnuView"; "mnuHelp" is an action of the menu bar itself.
//
// Geometry is laid out in twips (1/1440 inch) at the screen's logical resolution, so that the
// wide-screen rule moves controls by exact twip amounts; geometry_twips() reports it. The window's
// width is that of the layout (12600 twips, 13400 on a wide screen); on a screen too small for it
// the window is fitted to the screen and the controls scroll; in a larger window (maximised) the
// results boxes take the room beyond the layout, and the controls beside and below them follow.
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
#include "window/command_host.h"
#include "window/export_command.h"
#include "window/file_commands.h"
#include "window/natal_report_commands.h"
#include "window/place_completer.h"  // the place a slot takes, and its meta type
#include "window/print_command.h"
#include "window/timeline_command.h"

class QAction;
class QActionGroup;
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

// What the window takes from its surroundings; tests replace each part.
struct WindowSetup {
    std::optional<FilePlaces> places;         // empty: by the rule, for the executable's folder
    std::optional<QSize> screen_size_twips;   // empty: the size of the window's screen
    std::optional<int> date_order;            // empty: from the user's locale
    std::shared_ptr<FileDialogs> file_dialogs;  // empty: the toolkit's file dialog and message box
};

}  // namespace tavrolin

class frmTavrolin : public QMainWindow, private tavrolin::CommandHost {
    Q_OBJECT

public:
    static constexpr int wide_screen_shift = 800;      // twips
    static constexpr int narrow_window_width = 12600;  // twips
    static constexpr int wide_screen_threshold = 12000;  // twips; wider screens get the wide layout

    // Builds the window and runs its load sequence, which ends with the window shown.
    explicit frmTavrolin(tavrolin::WindowSetup setup = {}, QWidget* parent = nullptr);
    ~frmTavrolin() override;

    // Every control's value, as the engine and the settings files read them.
    tavrolin::ControlValues control_values() const override;
    // Sets every control to the given values (texts cut to the boxes' maximum lengths). The mode
    // and "Ignore duplicates" are set exactly as given, without the mode buttons' click rule;
    // date_order is the session's and is not changed.
    void apply_control_values(const tavrolin::ControlValues& cv) override;
    // A mode button's value set from code: selecting a button that was not selected runs its
    // click rule; clearing the selected one leaves the group without a selection.
    void set_mode_value(int index, bool value);

    int DateOrder() const { return date_order_; }
    // Where the program's own files live (decided when the window is built).
    const tavrolin::FilePlaces& places() const override { return places_; }
    tavrolin::Engine& engine() { return engine_; }

    // Laid-out geometry of a control in twips (an empty rect for a control not laid out here).
    QRect geometry_twips(const QWidget* control) const { return twips_.value(control); }
    int width_twips() const { return window_width_twips_; }
    int twips_to_px_x(int twips) const;
    int twips_to_px_y(int twips) const;

    // The question when the INI file cannot be written on closing, and its answers (Cancel, the
    // third, keeps the window open).
    static constexpr const char* ini_save_failed_title = "Settings not saved";
    static constexpr const char* ini_retry_answer = "Try again";
    static constexpr const char* ini_close_answer = "Close anyway";
    // The title, and the results box's tooltip, when input was refused and the listing on screen
    // is the previous run's.
    static constexpr const char* previous_results_title = "Tavrolin - not calculated: the results shown are the previous run's";
    static constexpr const char* previous_results_tooltip =
        "The results of the previous run: the last calculation was refused and computed nothing.";

    // The question after a place is chosen whose zone differs from the time-zone box, and its answers.
    static constexpr const char* place_zone_title = "Time zone of the birth place";
    static constexpr const char* place_zone_answer = "Set the time zone";
    static constexpr const char* keep_zone_answer = "Keep it";

    // Why the last INI write failed; empty when it succeeded or has not happened.
    const QString& ini_save_error() const { return ini_save_error_; }

    tavrolin::FileDialogs& file_dialogs() override;
    // The command objects behind the menus and buttons.
    tavrolin::FileCommands& file_commands() { return file_commands_; }
    tavrolin::ExportCommand& export_command() { return export_command_; }
    tavrolin::PrintCommand& print_command() { return print_command_; }
    // The open help window, if any.
    frmHelpFiles* help_window() const;
    // The open natal positions window, if any.
    frmNatalPos* natal_pos_window() const { return report_commands_.natal_pos_window(); }
    // The open timeline window, if any.
    frmTimeline* timeline_window() const { return timeline_command_.timeline_window(); }

public slots:
    // "Calculate tavrolin": aspects between the P1 and P2 bodies; the caption shows the time taken.
    void cmdTavrolin_Click();
    // "Calculate transit to a Zodiac degree (longitude or decl.)": aspects of P1 to the degree.
    void cmdCalculate_T_to_Point_Click();
    void optNatal_Transit_Progressed_Click(int Index);
    void txtUserDefinedAngle_Change();
    void txtResults_DblClick(int Index);

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
    // A place chosen from the atlas: its name and coordinates into the "Birth place", "Lat" and
    // "Long" boxes, then, when its zone is not what the time-zone box holds, the offer to put the
    // zone there. The birth-time converter takes the place's zone until the place is edited.
    void place_chosen(const tavrolin::AtlasPlace& place);
    // Help: a fresh help window; one that is open is closed first, asking about unsaved edits
    // (kept and brought forward when the user cancels).
    void mnuHelp_Click();

    // Options menu: the listing style of the following calculations. Run when an entry has been
    // triggered, that is after the toolkit has inverted its check mark; checking one entry
    // clears the other.
    void mnuUseQuillDisplaySettings_Click();
    void mnuUseLunettaDisplaySettings_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    // The client area's resizes, which the results area follows.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What the command objects ask of the window.
    void set_natal_data(const tavrolin::ControlValues& cv) override;
    QWidget* parent_widget() override { return this; }
    void show_status(const QString& message) override;
    bool calculation_running() const override;
    void select_listing_line(int box, int line) override;
    QString results_text(int box) const override;
    void with_commands_disabled(const std::function<void()>& work) override;

    // Runs a calculation command with the current control values and writes its listing into
    // txtResults(calc_kind); a date that is not a date is reported in the status bar instead, and
    // the listing left in the box is marked as the previous run's. Returns whether it ran.
    bool Start_Calcs(int calc_kind);
    void mark_previous_results(int calc_kind, bool previous);
    void set_date_tooltips();
    // One builder per panel of the client area, then the menus and the commands behind them.
    void build_controls();
    void build_dates_and_zone(QWidget* c);
    void build_results(QWidget* c);
    void build_degree(QWidget* c);
    void build_natal(QWidget* c);
    void build_buttons(QWidget* c);
    void build_aspects(QWidget* c);
    void build_p1(QWidget* c);
    void build_p2(QWidget* c);
    void build_body_column(QWidget* c, const QString& name, const QString& heading, int left, QLabel*& label,
                           QCheckBox*& helio, std::array<QCheckBox*, tavrolin::body_count>& boxes);
    void build_options_and_modes(QWidget* c);
    void build_place(QWidget* c);
    void build_events(QWidget* c);
    // "Asc" and "MC" (and the house ingresses) enabled where the angles can be used, with a
    // tooltip saying why not where they cannot.
    void update_angle_ticks();
    // Why the boxes of a birth place cannot be read (the status line's text); empty when they can
    // or when there is no place.
    QString place_problem(const tavrolin::ControlValues& cv) const;
    void build_menus();
    void connect_commands();
    void connect_keys();
    void name_controls();
    void set_tab_order();
    void Form_Load();
    // Writes the INI file; when that fails, asks whether to try again or close anyway. False:
    // the window stays open.
    bool Form_Unload();
    void place_on_screen();
    void apply_wide_screen_layout();
    void adjust_dates(tavrolin::DateCommand command);

    // Lays a control out at a twip rectangle of the client area.
    void place(QWidget* control, int left, int top, int width, int height);
    void move_left_twips(QWidget* control, int delta);
    void set_left_twips(QWidget* control, int left);
    void set_width_twips(QWidget* control, int width);
    void apply_geometry(QWidget* control);
    void set_growth();
    // The controls laid out again for the client area's size: larger than the layout, the results
    // area takes the room; smaller, the layout keeps its size and scrolls.
    void grow_to_client_area();
    void resize_to_twips();
    QSize screen_size_twips() const;

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
    QLabel* lblBirthPlace = nullptr;
    QLineEdit* txtBirthPlace = nullptr;
    QLabel* lblLatitude = nullptr;
    QLineEdit* txtLatitude = nullptr;
    QLabel* lblLongitude = nullptr;
    QLineEdit* txtLongitude = nullptr;

    QLabel* lblAspects = nullptr;
    QLabel* lblP1Planets = nullptr;
    QLabel* lblP2Planets = nullptr;
    std::array<QCheckBox*, tavrolin::aspect_count> chkAspects{};
    std::array<QCheckBox*, tavrolin::body_count> chkP1Planets{};
    std::array<QCheckBox*, tavrolin::body_count> chkP2Planets{};
    // The angles under the P2 column, named as the points they are: "chkP2Planets_23" (Asc) and
    // "chkP2Planets_24" (MC).
    std::array<QCheckBox*, 2> chkP2Angles{};
    QLabel* lblEvents = nullptr;
    std::array<QCheckBox*, 5> chkEvents{};  // in the order of event_captions
    QCheckBox* chkHouseIngresses = nullptr;
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
    QAction* mnuFilePrint = nullptr;
    QAction* mnuFileExportPdf = nullptr;
    QAction* mnuFileLoadFav1 = nullptr;
    QAction* mnuFileLoadFav2 = nullptr;
    QAction* mnuNatalPlanetPositionsLongitude = nullptr;
    QAction* mnuNatalPlanetPositionsDecl_Lat = nullptr;
    QAction* mnuNatalPlanetPositionsLongitude_SIDEREAL = nullptr;
    QAction* mnuNatalHouses = nullptr;
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
    QAction* mnuShowDatesInLife = nullptr;
    QMenu* mnuHouseSystem = nullptr;
    // One entry per system, in the order of house_system_letters ("mnuHouseSystem_0" Placidus).
    std::vector<QAction*> mnuHouseSystems;
    QActionGroup* house_system_group = nullptr;
    QMenu* mnuView = nullptr;
    QAction* mnuViewTimeline = nullptr;
    QAction* mnuHelp = nullptr;

    tavrolin::WindowSetup setup_;
    tavrolin::FilePlaces places_;
    int date_order_ = 0;
    double dpi_x_ = 96.0;
    double dpi_y_ = 96.0;
    int window_width_twips_ = narrow_window_width;
    int canvas_height_twips_ = 0;
    QHash<const QWidget*, QRect> twips_;
    // Pixels a control moves and grows by, in shares of the room beyond the layout: the left
    // column's third of the width, half the rest, the height.
    struct Growth {
        int x_left = 0, x_rest_halves = 0, w_left = 0, w_rest = 0, y = 0, h = 0;
    };
    QHash<const QWidget*, Growth> growth_;
    QSize extra_px_{0, 0};
    QScrollArea* scroll_ = nullptr;
    QWidget* canvas_ = nullptr;
    QString ini_save_error_;
    QPointer<frmHelpFiles> help_window_;
    // The zone of the place last chosen from the atlas; emptied when the place is edited.
    QString chosen_place_zone_;

    tavrolin::LibSwe swe_;
    tavrolin::Ephemeris ephemeris_{swe_};
    tavrolin::Engine engine_{ephemeris_};

    // After the engine, which they use.
    tavrolin::FileCommands file_commands_{*this};
    tavrolin::ExportCommand export_command_{*this, engine_, file_commands_};
    tavrolin::NatalReportCommands report_commands_{*this, engine_};
    tavrolin::TimelineCommand timeline_command_{*this, engine_};
    tavrolin::PrintCommand print_command_{*this, engine_};
};
