// "Copy to Excel": the result table of the last run into the spreadsheet the user has open.
#include <QAction>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

#include <utility>
#include <vector>

#include "output/spreadsheet_export.h"
#include "spreadsheet_uno/calc_connection.h"
#include "window/frm_tavrolin.h"

namespace {

// Disables commands for as long as it lives and then gives them back their former state.
class CommandsDisabled {
public:
    CommandsDisabled(std::initializer_list<QWidget*> widgets, std::initializer_list<QAction*> actions) {
        for (QWidget* w : widgets) {
            if (w == nullptr) continue;
            widgets_.emplace_back(w, w->isEnabled());
            w->setEnabled(false);
        }
        for (QAction* a : actions) {
            if (a == nullptr) continue;
            actions_.emplace_back(a, a->isEnabled());
            a->setEnabled(false);
        }
    }
    ~CommandsDisabled() {
        for (auto& [w, enabled] : widgets_) w->setEnabled(enabled);
        for (auto& [a, enabled] : actions_) a->setEnabled(enabled);
    }
    CommandsDisabled(const CommandsDisabled&) = delete;
    CommandsDisabled& operator=(const CommandsDisabled&) = delete;

private:
    std::vector<std::pair<QWidget*, bool>> widgets_;
    std::vector<std::pair<QAction*, bool>> actions_;
};

QString sentence(const std::string& text) {
    QString s = QString::fromStdString(text);
    if (!s.isEmpty()) s[0] = s[0].toUpper();
    return s + ".";
}

}  // namespace

void frmTavrolin::cmdCopy_to_Excel_Click() {
    using namespace tavrolin;
    SpreadsheetConnection connection = spreadsheet_source ? spreadsheet_source() : connect_to_running_calc();
    if (connection.status == SpreadsheetConnection::Status::no_back_end ||
        connection.status == SpreadsheetConnection::Status::refused) {
        QMessageBox::critical(this, cmdCopy_to_Excel->text(), sentence(connection.detail));
        return;
    }
    if (!connection.sheet) {
        QMessageBox::critical(this, QString::fromUtf8(no_spreadsheet_title.data(), no_spreadsheet_title.size()),
                              QString::fromUtf8(no_spreadsheet_message.data(), no_spreadsheet_message.size()));
        return;
    }

    // The mode, "Copy date only", the captions and the style marks as they are now, not as they
    // were for the run that made the table.
    const ControlValues cv = control_values();
    ExportSettings settings;
    settings.marks = {mnuUseQuillDisplaySettings->isChecked(), mnuUseLunettaDisplaySettings->isChecked()};
    settings.month_names = locale_month_abbreviations();
    settings.between_rows = [] { QCoreApplication::processEvents(); };
    ExportReport report;
    {
        // The window handles events between rows: nothing may replace the result table or the
        // natal tables being copied, nor start a second copy.
        const CommandsDisabled busy({cmdTavrolin, cmdCalculate_T_to_Point, cmdCopy_to_Excel},
                                    {mnuNatalPlanetPositionsLongitude, mnuNatalPlanetPositionsDecl_Lat,
                                     mnuNatalPlanetPositionsLongitude_SIDEREAL});
        report = Copy_to_Spreadsheet(*connection.sheet, engine_, cv, settings);
    }
    if (report.stopped) {
        QMessageBox::warning(this, cmdCopy_to_Excel->text(),
                             QString("The copy stopped after %1 rows: %2.")
                                 .arg(report.rows_written)
                                 .arg(QString::fromStdString(report.stop_reason)));
    }
}
