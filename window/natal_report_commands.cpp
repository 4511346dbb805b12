#include "window/natal_report_commands.h"

#include <QClipboard>
#include <QGuiApplication>

#include "output/calculation_command.h"
#include "window/frm_natal_pos.h"
#include "window/screen_placement.h"

namespace tavrolin {

frmNatalPos* NatalReportCommands::natal_pos_window() const { return natal_pos_window_; }

void NatalReportCommands::natal_report_command(NatalReportKind kind) {
    engine_.cv = host_.control_values();
    const NatalReportOutcome outcome = run_natal_report(engine_, kind);
    if (!outcome.ran) {
        host_.show_status(QString::fromStdString(outcome.invalid_date));
        return;
    }
    // Every body the library could not compute is named; the report shows no position for it.
    host_.show_status(QString::fromStdString(not_computed_summary(engine_.eph)));

    // At most one natal positions window, always showing the latest report. The command runs
    // from the main window, never from inside the old window's own event handling, so the old
    // window can go at once.
    delete natal_pos_window_.data();
    QWidget* main_window = host_.parent_widget();
    natal_pos_window_ = new frmNatalPos(main_window);
    ControlValues heading = host_.control_values();
    if (kind == NatalReportKind::Houses) heading.p2_helio = 0;  // the houses are the observer's, never heliocentric
    natal_pos_window_->set_heading(report_title(kind), natal_data_heading(heading));

    const QString text = QString::fromStdString(to_platform_line_ends(outcome.text));
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
    natal_pos_window_->show();
    natal_pos_window_->set_report(text);
    // Once shown the window has its frame, which the placement counts in.
    natal_pos_window_->place_beside(*main_window);
    keep_on_screen(*natal_pos_window_, *main_window);
}

QString NatalReportCommands::report_title(NatalReportKind kind) {
    switch (kind) {
        case NatalReportKind::DeclLat: return "Natal Positions - decl/lat";
        case NatalReportKind::SiderealLongitude: return "Natal Positions - sidereal (Lahiri) longitude";
        case NatalReportKind::Houses: return "Natal Houses";
        case NatalReportKind::Longitude: break;
    }
    return "Natal Positions - longitude";
}

QString NatalReportCommands::natal_data_heading(const ControlValues& cv) {
    return QString::fromStdString("Natal data: " + cv.natal_date + ", " + cv.natal_time + " GMT" +
                                  (cv.p2_helio == 1 ? ", heliocentric" : ""));
}

}  // namespace tavrolin
