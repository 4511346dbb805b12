// What the command objects of the main window (file commands, reports, timeline, export) ask of
// it. They see the window through this alone: control values in and out, where files live, the
// dialogs, the status bar and the widget their windows belong to, never its controls.
#pragma once

#include <QString>

#include <functional>

#include "engine/control_values.h"
#include "files/file_places.h"

class QWidget;

namespace tavrolin {

class FileDialogs;

class CommandHost {
public:
    virtual ~CommandHost() = default;

    // Every control's value, and every control set from values (see frmTavrolin).
    virtual ControlValues control_values() const = 0;
    virtual void apply_control_values(const ControlValues& cv) = 0;
    // The natal date, natal time, time zone and birth place boxes set to the texts of `cv`,
    // nothing else.
    virtual void set_natal_data(const ControlValues& cv) = 0;

    virtual const FilePlaces& places() const = 0;
    virtual FileDialogs& file_dialogs() = 0;
    // The main window: the parent of dialogs and of the windows a command opens.
    virtual QWidget* parent_widget() = 0;
    // A message in the status bar; an empty one clears it.
    virtual void show_status(const QString& message) = 0;

    // Whether a calculation is rewriting the result table on another thread.
    virtual bool calculation_running() const = 0;
    // Selects line `line` of results box `box` (0 the degree run's, 1 the aspects run's) and
    // scrolls to it.
    virtual void select_listing_line(int box, int line) = 0;
    // The text of results box `box` as it is shown.
    virtual QString results_text(int box) const = 0;
    // Runs `work` with every command that could replace the result tables, or start another
    // copy, disabled; they get back their former state afterwards.
    virtual void with_commands_disabled(const std::function<void()>& work) = 0;
};

}  // namespace tavrolin
