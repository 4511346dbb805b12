// The Options menu's listing styles and the File menu's natal positions reports.
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QStatusBar>

#include <utility>

#include "output/calculation_command.h"
#include "output/natal_report.h"
#include "window/frm_natal_pos.h"
#include "window/frm_tavrolin.h"

void frmTavrolin::connect_report_commands() {
    const std::pair<QAction*, void (frmTavrolin::*)()> actions[] = {
        {mnuUseQuillDisplaySettings, &frmTavrolin::mnuUseQuillDisplaySettings_Click},
        {mnuUseLunettaDisplaySettings, &frmTavrolin::mnuUseLunettaDisplaySettings_Click},
        {mnuNatalPlanetPositionsLongitude, &frmTavrolin::mnuNatalPlanetPositionsLongitude_Click},
        {mnuNatalPlanetPositionsDecl_Lat, &frmTavrolin::mnuNatalPlanetPositionsDecl_Lat_Click},
        {mnuNatalPlanetPositionsLongitude_SIDEREAL, &frmTavrolin::mnuNatalPlanetPositionsLongitude_SIDEREAL_Click},
    };
    for (const auto& [action, handler] : actions) {
        action->setEnabled(true);
        connect(action, &QAction::triggered, this, handler);
    }
}

void frmTavrolin::mnuUseQuillDisplaySettings_Click() {
    if (mnuUseQuillDisplaySettings->isChecked()) mnuUseLunettaDisplaySettings->setChecked(false);
}

void frmTavrolin::mnuUseLunettaDisplaySettings_Click() {
    if (mnuUseLunettaDisplaySettings->isChecked()) mnuUseQuillDisplaySettings->setChecked(false);
}

void frmTavrolin::mnuNatalPlanetPositionsLongitude_Click() { natal_report_command(tavrolin::NatalReportKind::Longitude); }

void frmTavrolin::mnuNatalPlanetPositionsDecl_Lat_Click() { natal_report_command(tavrolin::NatalReportKind::DeclLat); }

void frmTavrolin::mnuNatalPlanetPositionsLongitude_SIDEREAL_Click() {
    natal_report_command(tavrolin::NatalReportKind::SiderealLongitude);
}

frmNatalPos* frmTavrolin::natal_pos_window() const { return natal_pos_window_; }

void frmTavrolin::natal_report_command(tavrolin::NatalReportKind kind) {
    engine_.cv = control_values();
    const tavrolin::NatalReportOutcome outcome = tavrolin::run_natal_report(engine_, kind);
    if (!outcome.ran) {
        statusBar()->showMessage(QString::fromStdString(outcome.invalid_date));
        return;
    }
    // The report shows what the library returned; a body it could not compute is named.
    if (outcome.not_computed.empty()) {
        statusBar()->clearMessage();
    } else {
        QString message = QString::fromStdString(outcome.not_computed).trimmed();
        message.replace("\r\n", "; ");
        statusBar()->showMessage(message);
    }

    // At most one natal positions window, always showing the latest report. The command runs
    // from the main window, never from inside the old window's own event handling, so the old
    // window can go at once.
    delete natal_pos_window_.data();
    natal_pos_window_ = new frmNatalPos(this);

    const QString text = QString::fromStdString(tavrolin::to_platform_line_ends(outcome.text));
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
    natal_pos_window_->show();
    natal_pos_window_->set_report(text);
    // Once shown the window has its frame, which the placement counts in.
    natal_pos_window_->place_beside(*this);
}
