// "Copy to Excel" through the window, into an in-memory sheet standing in for the spreadsheet.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

#include "output/memory_sheet.h"
#include "window/frm_tavrolin.h"

namespace {

using tavrolin::MemorySheet;
using tavrolin::SpreadsheetConnection;

std::unique_ptr<frmTavrolin> make_window(const QString& folder) {
    tavrolin::WindowSetup setup;
    setup.program_folder = folder;
    setup.screen_size_twips = QSize(12000, 12000);
    setup.date_order = 0;
    return std::make_unique<frmTavrolin>(setup);
}

// Hands the export's operations to a sheet the test keeps, with a look at each cell written.
class WatchedSheet : public tavrolin::Spreadsheet {
public:
    WatchedSheet(MemorySheet& sheet, std::function<void()> before_write) : sheet_(sheet), before_write_(std::move(before_write)) {}
    tavrolin::CellPosition active_cell() override { return sheet_.active_cell(); }
    void set_column_width(int column, double characters) override { sheet_.set_column_width(column, characters); }
    void centre_column(int column) override { sheet_.centre_column(column); }
    void set_column_number_format(int column, const std::string& pattern) override {
        sheet_.set_column_number_format(column, pattern);
    }
    void set_cell_text(int column, int row, const std::string& text) override {
        before_write_();
        sheet_.set_cell_text(column, row, text);
    }

private:
    MemorySheet& sheet_;
    std::function<void()> before_write_;
};

tavrolin::SpreadsheetSource source_of(MemorySheet& sheet, std::function<void()> before_write = [] {}) {
    return [&sheet, before_write] {
        SpreadsheetConnection connection;
        connection.status = SpreadsheetConnection::Status::connected;
        connection.sheet = std::make_unique<WatchedSheet>(sheet, before_write);
        return connection;
    };
}

struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
};

// Runs the action, answering every message box it opens with its default button.
std::vector<SeenBox> answering_boxes(const std::function<void()>& action) {
    std::vector<SeenBox> seen;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen.push_back({box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
            box->done(QMessageBox::Ok);
        }
    });
    timer.start();
    action();
    return seen;
}

}  // namespace

class CopyToExcelTest : public QObject {
    Q_OBJECT

private slots:
    void buttonCopiesTheLastRunWithTheWindowsChoicesOfNow() {
        QTemporaryDir dir;
        auto w = make_window(dir.path());
        QVERIFY(w->cmdCopy_to_Excel->isEnabled());
        // Transits of December 2020 to each other: Jupiter conjunct Saturn on the 21st.
        w->txtStartdate->setText("12/01/2020");
        w->txtEndDate->setText("12/31/2020");
        w->txtTZ->setText("0");
        QTest::mouseClick(w->optNatal_Transit_Progressed[1], Qt::LeftButton);
        for (int i = 0; i <= tavrolin::last_body_index; ++i) {
            w->chkP1Planets[static_cast<std::size_t>(i)]->setChecked(i == 5);
            w->chkP2Planets[static_cast<std::size_t>(i)]->setChecked(i == 6);
        }
        for (int a = 0; a <= tavrolin::last_aspect_index; ++a) w->chkAspects[static_cast<std::size_t>(a)]->setChecked(a == 0);
        QTest::mouseClick(w->cmdTavrolin, Qt::LeftButton);
        QCOMPARE(w->engine().result_count, 1);

        // Chosen after the run, and still what the copy follows.
        w->chkDateOnly->setChecked(true);
        w->mnuUseLunettaDisplaySettings->trigger();

        MemorySheet sheet;
        sheet.active = {1, 4};
        bool calculate_enabled_while_copying = true;
        bool timer_fired_while_copying = false;
        w->spreadsheet_source = source_of(sheet, [&] { calculate_enabled_while_copying &= w->cmdTavrolin->isEnabled(); });
        // A pending event is handled during the copy (while its commands are disabled).
        QTimer::singleShot(0, [&] { timer_fired_while_copying = !w->cmdCopy_to_Excel->isEnabled(); });
        QVERIFY(answering_boxes([&] { QTest::mouseClick(w->cmdCopy_to_Excel, Qt::LeftButton); }).empty());

        QCOMPARE(sheet.cell(1, 4), std::optional<std::string>("21 Dec 2020"));
        QCOMPARE(sheet.cell(2, 4), std::optional<std::string>("Jupiter"));
        QCOMPARE(sheet.cell(4, 4), std::optional<std::string>("Saturn"));
        QCOMPARE(sheet.cell(5, 4), std::optional<std::string>());  // Lunetta in transit: no speed
        QVERIFY(sheet.cell(6, 4).has_value());                     // but Jupiter's longitude
        QCOMPARE(sheet.formats.at(6), std::string("0.00"));
        QCOMPARE(sheet.cell(1, 6), std::optional<std::string>());  // no natal block in transit to transit
        QVERIFY(timer_fired_while_copying);
        QVERIFY(!calculate_enabled_while_copying);
        QVERIFY(w->cmdTavrolin->isEnabled());
        QVERIFY(w->cmdCopy_to_Excel->isEnabled());
    }

    void messagesOfACopyThatCannotBeDone() {
        struct Case {
            const char* name;
            std::function<SpreadsheetConnection(MemorySheet&)> connect;
            SeenBox box;
        };
        const std::vector<Case> cases = {
            {"no spreadsheet open",
             [](MemorySheet&) {
                 SpreadsheetConnection none;
                 none.detail = "nothing accepts connections";
                 return none;
             },
             {"No spreadsheet open", "Please open an Excel spreadsheet before performing this operation.",
              QMessageBox::Critical, QMessageBox::Ok}},
            {"no back end",
             [](MemorySheet&) {
                 SpreadsheetConnection none;
                 none.status = SpreadsheetConnection::Status::no_back_end;
                 none.detail = "this build has no spreadsheet back end";
                 return none;
             },
             {"Copy to Excel", "This build has no spreadsheet back end.", QMessageBox::Critical, QMessageBox::Ok}},
            {"sheet lost in the first row",
             [](MemorySheet& sheet) {
                 sheet.unusable_after_cell_writes = 2;
                 return source_of(sheet)();
             },
             {"Copy to Excel", "The copy stopped after 0 rows: the connection to the spreadsheet was lost.",
              QMessageBox::Warning, QMessageBox::Ok}},
        };
        for (const Case& c : cases) {
            QTemporaryDir dir;
            auto w = make_window(dir.path());
            w->engine().result_table = {tavrolin::ResultRow{},
                                        tavrolin::ResultRow{"5", "0", "6", "12/21/2020 18:20:36", "0.1000"}};
            w->engine().result_count = 1;
            w->txtResults[1]->setPlainText("earlier listing");
            MemorySheet sheet;
            w->spreadsheet_source = [&] { return c.connect(sheet); };
            const std::vector<SeenBox> boxes = answering_boxes([&] { QTest::mouseClick(w->cmdCopy_to_Excel, Qt::LeftButton); });
            QVERIFY2(boxes.size() == 1, c.name);
            QCOMPARE(boxes[0].title, c.box.title);
            QCOMPARE(boxes[0].text, c.box.text);
            QCOMPARE(boxes[0].icon, c.box.icon);
            QCOMPARE(boxes[0].buttons, c.box.buttons);
            QCOMPARE(w->txtResults[1]->toPlainText(), QString("earlier listing"));
            QVERIFY(w->cmdCopy_to_Excel->isEnabled());
        }
    }
};

QTEST_MAIN(CopyToExcelTest)
#include "copy_to_excel_test.moc"
