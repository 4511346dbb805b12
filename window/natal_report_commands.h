// The File menu's natal positions reports: each into a fresh natal positions window and onto the
// clipboard; a natal date that is not a date is named in the status bar instead.
#pragma once

#include <QPointer>
#include <QString>

#include "engine/engine.h"
#include "output/natal_report.h"
#include "window/command_host.h"

class frmNatalPos;

namespace tavrolin {

class NatalReportCommands {
public:
    NatalReportCommands(CommandHost& host, Engine& engine) : host_(host), engine_(engine) {}

    void mnuNatalPlanetPositionsLongitude_Click() { natal_report_command(NatalReportKind::Longitude); }
    void mnuNatalPlanetPositionsDecl_Lat_Click() { natal_report_command(NatalReportKind::DeclLat); }
    void mnuNatalPlanetPositionsLongitude_SIDEREAL_Click() { natal_report_command(NatalReportKind::SiderealLongitude); }
    // The angles, the cusps and each body's house at the birth place; without a place the status
    // bar says that one is needed.
    void mnuNatalHouses_Click() { natal_report_command(NatalReportKind::Houses); }

    // The open natal positions window, if any.
    frmNatalPos* natal_pos_window() const;

    // The window's title for a report ("Natal Positions - longitude"), and the heading above the
    // report that says whose positions they are ("Natal data: 09/22/1949, 16.43 GMT").
    static QString report_title(NatalReportKind kind);
    static QString natal_data_heading(const ControlValues& cv);

private:
    void natal_report_command(NatalReportKind kind);

    CommandHost& host_;
    Engine& engine_;
    QPointer<frmNatalPos> natal_pos_window_;
};

}  // namespace tavrolin
