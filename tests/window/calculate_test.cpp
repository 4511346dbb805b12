// The two calculate buttons (a long run's progress, Cancel and close), "Copy to Excel", the export
// and the natal positions reports, driven through the main window's real controls with the real
// ephemeris; the copy goes into an in-memory sheet standing in for the spreadsheet.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QCompleter>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>

#include <functional>
#include <tuple>

#include "files/atlas.h"
#include "output/memory_sheet.h"
#include "support/window_test_support.h"
#include "window/frm_birth_time.h"
#include "window/frm_natal_pos.h"
#include "window/frm_timeline.h"
#include "window/place_completer.h"

namespace {

using tavrolin::MemorySheet;
using tavrolin::SpreadsheetConnection;

// A sheet that leaves what the export wrote in the test's sheet when the command lets it go.
struct KeptSheet : MemorySheet {
    explicit KeptSheet(MemorySheet& sheet) : MemorySheet(sheet), kept(sheet) {}
    ~KeptSheet() override { kept = *this; }
    MemorySheet& kept;
};

// Finds `sheet`, or with none the status and detail of a search that found nothing.
tavrolin::SpreadsheetSource source_of(MemorySheet* sheet, SpreadsheetConnection::Status status = {}, const char* detail = "") {
    return [=] {
        SpreadsheetConnection connection;
        connection.status = status;
        connection.detail = detail;
        if (sheet) connection.sheet = std::make_unique<KeptSheet>(*sheet);
        return connection;
    };
}

// Clicks "Copy to Excel", answering every message box it opens; gives "title|text|icon" of each.
QStringList copy_answering_boxes(frmTavrolin& w) {
    QStringList seen;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen << box->windowTitle() + "|" + box->text() + "|" + QString::number(box->icon());
            box->done(QMessageBox::Ok);
        }
    });
    timer.start(10);
    QTest::mouseClick(control<QPushButton>(w, "cmdCopy_to_Excel"), Qt::LeftButton);
    return seen;
}

// Calls `step` every 20 ms (also while a calculation blocks the click that started it) until it
// returns true.
void repeat_until(QObject* owner, std::function<bool()> step) {
    auto* timer = new QTimer(owner);
    QObject::connect(timer, &QTimer::timeout, owner, [timer, step] {
        if (step()) timer->deleteLater();
    });
    timer->start(20);
}

bool shown(const QWidget* w) { return w != nullptr && w->isVisible(); }

// Whether every control of the main window can be seen: no scroll bar shown, and the controls
// ("Solar arc to natal planets" the lowest) inside the client area.
bool controls_in_view(const frmTavrolin& w) {
    auto* area = w.findChild<QScrollArea*>("clientArea");
    const QWidget* canvas = area->widget();
    const QRect controls = canvas->childrenRect().translated(canvas->mapTo(area->viewport(), QPoint(0, 0)));
    return !area->horizontalScrollBar()->isVisible() && !area->verticalScrollBar()->isVisible() &&
           area->viewport()->rect().contains(controls);
}

}  // namespace

class CalculateTest : public QObject {
    Q_OBJECT

private slots:
    void aspectsAndDegreeCommandsListFindings() {
        WindowFixture f;
        f.w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.w.get()));
        f.great_conjunction();
        QTest::mouseClick(f.get<QPushButton>("cmdTavrolin"), Qt::LeftButton);
        const QString text = f.get<QPlainTextEdit>("txtResults_1")->toPlainText();
        // The moment is checked against the library by the engine's tests.
        QCOMPARE(text, QString("Aspects found:\n\nJupiter 000 Saturn 12/21/2020 18:20:36\n\nWithin 1 deg. of exact:\n"));
        QVERIFY(f.get<QPlainTextEdit>("txtResults_0")->toPlainText().isEmpty());
        QVERIFY2(QRegularExpression("^Tavrolin - \\d+\\.\\d\\d secs\\.$").match(f.w->windowTitle()).hasMatch(),
                 qPrintable(f.w->windowTitle()));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(f.get<QPlainTextEdit>("txtResults_1")));
        QVERIFY(QApplication::overrideCursor() == nullptr);

        // A date that is not one keeps the listing and says which.
        f.get("txtStartdate")->setText("12/32/2020");
        QTest::mouseClick(f.get<QPushButton>("cmdTavrolin"), Qt::LeftButton);
        QCOMPARE(f.get<QPlainTextEdit>("txtResults_1")->toPlainText(), text);
        QCOMPARE(f.w->statusBar()->currentMessage(), QString("Start Date: \"12/32/2020\" is not a date"));

        // The degree command reads the controls afresh and writes the left box only, without near misses.
        const QString title = f.w->windowTitle();
        f.set_run("03/01/2005", "03/31/2005", 0, {0}, {}, {0});  // the Sun reaches 0 Aries at the equinox
        f.get("txtZodiacDegree")->setText("0");
        QTest::mouseClick(f.get<QPushButton>("cmdCalculate_T_to_Point"), Qt::LeftButton);
        const QString degree = f.get<QPlainTextEdit>("txtResults_0")->toPlainText();
        QVERIFY2(degree.contains(QRegularExpression("\\nSun 000 \\S+ 03/20/2005 \\d\\d:\\d\\d:\\d\\d\\n")) &&
                     !degree.contains("Within 1 deg. of exact:"),
                 qPrintable(degree));
        QCOMPARE(f.get<QPlainTextEdit>("txtResults_1")->toPlainText() + "|" + f.w->windowTitle(), text + "|" + title);
    }

    // The copy and the export take the last run: the copy with the window's choices of now, the
    // export as calendar events at their moments in UT, whatever the time zone box says. A copy
    // that cannot be done, a name without a known extension, a folder that is not there or
    // nothing to export write nothing and say why.
    void copyAndExportTakeTheLastRunOrSayWhyNot() {
        WindowFixture f;
        QVERIFY(!f.get<QAction>("mnuFileExportResults")->isEnabled());
        f.great_conjunction();
        f.get("txtTZ")->setText("-3");
        QTest::mouseClick(f.get<QPushButton>("cmdTavrolin"), Qt::LeftButton);
        QVERIFY(f.get<QAction>("mnuFileExportResults")->isEnabled());
        // Chosen after the run: the copy follows the style and the tick, not the time zone.
        f.get("txtTZ")->setText("7");
        f.get<QCheckBox>("chkDateOnly")->setChecked(true);
        f.get<QAction>("mnuUseLunettaDisplaySettings")->trigger();
        MemorySheet sheet;
        sheet.active = {1, 4};
        f.w->export_command().spreadsheet_source = source_of(&sheet);
        // A pending event is handled during the copy, while the commands are disabled.
        bool disabled_while_copying = false;
        QTimer::singleShot(0, [&] {
            disabled_while_copying = !f.get<QPushButton>("cmdCopy_to_Excel")->isEnabled() && !f.get<QPushButton>("cmdTavrolin")->isEnabled();
        });
        QCOMPARE(copy_answering_boxes(*f.w), QStringList());
        // Lunetta in transit: no speed, but the longitudes.
        QCOMPARE(std::tuple(sheet.cell(1, 4), sheet.cell(2, 4), sheet.cell(5, 4), sheet.formats.at(6)),
                 std::tuple(std::optional<std::string>("21 Dec 2020"), std::optional<std::string>("Jupiter"),
                            std::optional<std::string>(), std::string("0.00")));
        QVERIFY(disabled_while_copying);
        QVERIFY(f.get<QPushButton>("cmdTavrolin")->isEnabled() && f.get<QPushButton>("cmdCopy_to_Excel")->isEnabled());

        // A copy that cannot be done says why in one message box and changes nothing else.
        const QString listing = f.get<QPlainTextEdit>("txtResults_1")->toPlainText();
        MemorySheet lost;
        lost.unusable_after_cell_writes = 2;
        const std::pair<tavrolin::SpreadsheetSource, QString> failures[] = {
            {source_of(nullptr, SpreadsheetConnection::Status::none_open, "nobody answers"),
             "No spreadsheet open|Please open an Excel spreadsheet before performing this operation.|3"},
            {source_of(nullptr, SpreadsheetConnection::Status::no_back_end, "this build has no spreadsheet back end"),
             "Copy to Excel|This build has no spreadsheet back end.|3"},
            {source_of(nullptr, SpreadsheetConnection::Status::refused, "/tmp/OSL_PIPE_0_x belongs to another user"),
             "Copy to Excel|/tmp/OSL_PIPE_0_x belongs to another user.|3"},
            {source_of(&lost), "Copy to Excel|The copy stopped after 0 rows: the connection to the spreadsheet was lost.|2"},
        };
        for (const auto& [source, box] : failures) {
            f.w->export_command().spreadsheet_source = source;
            QCOMPARE(copy_answering_boxes(*f.w), QStringList(box));
        }
        QCOMPARE(f.get<QPlainTextEdit>("txtResults_1")->toPlainText(), listing);
        QVERIFY(f.get<QPushButton>("cmdCopy_to_Excel")->isEnabled());

        QVERIFY(write_file(f.path("plain"), "x"));
        QStringList messages;
        for (const char* name : {"great.ics", "great.txt", "plain/great.csv"}) {
            f.dialogs->answer(f.path(name));
            f.get<QAction>("mnuFileExportResults")->trigger();
            messages << f.w->statusBar()->currentMessage();
        }
        QCOMPARE(f.dialogs->requests.front().filter, QString("iCalendar (*.ics);;CSV (*.csv)"));
        const QByteArray ics = read_file(f.path("great.ics"));
        QVERIFY2(QRegularExpression("\r\nDTSTART:20201221T182\\d\\d\\dZ\r\n").match(QString(ics)).hasMatch(), ics.constData());
        QCOMPARE(messages.mid(0, 2), QStringList({"Exported 1 event to " + f.path("great.ics"),
                                                  "Not exported: " + f.path("great.txt") + " must end in .ics (iCalendar) or .csv."}));
        QVERIFY2(messages[2].startsWith("Not exported: Could not write " + f.path("plain/great.csv")), qPrintable(messages[2]));
        QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files), QStringList({"great.ics", "plain"}));

        f.get("txtStartdate")->setText("12/01/2030");
        f.get("txtEndDate")->setText("12/02/2030");
        QTest::mouseClick(f.get<QPushButton>("cmdTavrolin"), Qt::LeftButton);
        f.get<QAction>("mnuFileExportResults")->trigger();
        QCOMPARE(f.w->statusBar()->currentMessage(), QString("Nothing to export: the last calculation found no aspects."));
        QCOMPARE(f.dialogs->requests.size(), std::size_t{3});
    }

    // The birth time converter opens with the time zone box's zone (shown whole in the box's
    // tooltip), shows the offset, asks which moment of a repeated hour is meant, refuses a skipped
    // hour and writes the Greenwich date and time.
    void birthTimeConverter() {
        WindowFixture f;
        f.get("txtTZ")->setText("America/New_York");
        QCOMPARE(f.get("txtTZ")->toolTip(), QString("America/New_York"));
        struct Case { QString date, time, zone, offset, natal, refused; };
        const QString skipped = "This local time did not occur: the clocks went forward over it.";
        const Case cases[] = {
            {"09/22/1949", "22:15", "America/New_York", "EDT, UT-4", "09/23/1949 2.15", ""},
            {"10/27/2024", "01:30", "Europe/London", "BST, UT+1 or GMT, UT+0", "10/27/2024 1.30", ""},  // the second
            {"03/31/2024", "01:30", "Europe/London", skipped, "10/27/2024 1.30", skipped},
        };
        for (const Case& c : cases) {
            frmBirthTime d(0, c.date, f.get("txtTZ")->text(), f.w.get());
            QCOMPARE(d.txtBirthZone->text(), QString("America/New_York"));
            d.txtBirthTime->setText(c.time);
            d.txtBirthZone->setText(c.zone);
            QCOMPARE(d.lblBirthOffset->text(), c.offset);
            QString refused;
            d.refuse = [&](const QString& text) { refused = text; };
            d.choose_repeated = [&](const std::vector<tavrolin::UniversalTime>& answers) { return answers.size() == 2 ? 1 : -1; };
            d.cmdOK_Click();
            QCOMPARE(refused, c.refused);
            if (d.chosen()) f.w->apply_birth_time(*d.chosen());
            QCOMPARE(f.get("txtNatalDate")->text() + " " + f.get("txtNatalTime")->text(), c.natal);
        }
    }

    // Events and the birth place through the window's own boxes, at the window's first size.
    void eventsAndBirthPlace() {
        WindowFixture f;
        auto* houses = f.get<QCheckBox>("chkHouseIngresses");  // the longest caption shows whole
        QVERIFY(houses->width() >= houses->sizeHint().width());
        const auto status = [&] { return f.w->statusBar()->currentMessage(); };
        const auto click = [&](const char* name) { QTest::mouseClick(f.get<QAbstractButton>(name), Qt::LeftButton); };
        const auto type = [&](const char* name, const char* text) {
            QTest::keyClick(f.get(name), Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(f.get(name), *text ? text : "\b");
        };
        f.set_run("04/01/2024", "04/30/2024", 0, {}, {}, {});  // no body, no aspect
        // The void Moon waits for the Moon in P1, and says so.
        auto* void_moon = f.get<QCheckBox>("chkEvents_4");
        QVERIFY(!void_moon->isEnabled() && void_moon->toolTip().contains("tick the Moon in P1"));
        click("chkP1Planets_1");
        QVERIFY(void_moon->isEnabled() && void_moon->toolTip().isEmpty());
        click("chkP1Planets_1");
        click("chkEvents_2");
        click("cmdTavrolin");
        const QString listing = f.get<QPlainTextEdit>("txtResults_1")->toPlainText();
        QVERIFY2(listing.contains(QRegularExpression("New Moon[^\\n]* 04/08/2024 18:2\\d")), qPrintable(listing));

        auto* asc = f.get<QCheckBox>("chkP2Planets_23");
        QVERIFY(!asc->isEnabled() && asc->toolTip().contains("birth place"));
        // A place typed wrong stops the runs that read it: to an angle, with house ingresses.
        for (const auto& [tick, lat, message] : {std::tuple("chkP2Planets_23", "51x30", "Lat: \"51x30\""),
                                                 std::tuple("chkHouseIngresses", "51N30", "Long: \"\"")}) {
            type("txtLatitude", lat);
            click(tick);
            click("cmdTavrolin");
            QVERIFY2(status().startsWith(message), qPrintable(status()));
            QCOMPARE(f.get<QPlainTextEdit>("txtResults_1")->toPlainText() + f.w->windowTitle(), listing + frmTavrolin::previous_results_title);
            click(tick);
        }
        type("txtLongitude", "0W07");
        QVERIFY(asc->isEnabled() && asc->toolTip().isEmpty());
        f.get<QAction>("mnuNatalHouses")->trigger();
        QVERIFY(f.w->natal_pos_window()->RichText1->toPlainText().contains("House system: Placidus\n\nAsc "));
        type("txtLatitude", "");
        type("txtLongitude", "");
        f.get<QAction>("mnuNatalHouses")->trigger();
        QVERIFY2(status().contains("need a birth place"), qPrintable(status()));

        // A place from the atlas: its zone set when told to, and the converter's until edited.
        const tavrolin::AtlasPlace paris{"Paris", "Île-de-France Region", "France", "FR", "Europe/Paris", 48.8534, 2.3488, 0};
        for (const auto& [answer, tz] : {std::pair(1, "0"), std::pair(0, "Europe/Paris"), std::pair(0, "Europe/Paris")}) {
            f.dialogs->choices = {answer};
            f.w->place_chosen(paris);
            QCOMPARE(f.get("txtTZ")->text(), QString(tz));
        }
        QCOMPARE(f.dialogs->choices.size(), std::size_t(1));  // the box held the zone: no question
        QCOMPARE(f.get("txtBirthPlace")->text() + f.get("txtLatitude")->text(), QString("Paris, Île-de-France Region, France48N51'12\""));
        type("txtTZ", "Europe/Berlin");
        for (const char* zone : {"Europe/Paris", "Europe/Berlin"}) {
            QTimer::singleShot(0, [zone] {
                auto* d = qobject_cast<frmBirthTime*>(QApplication::activeModalWidget());
                QCOMPARE(d ? d->txtBirthZone->text() : QString(), QString(zone));
                if (d) d->reject();
            });
            f.get<QAction>("mnuConvertLocalBirthTime")->trigger();
            type("txtBirthPlace", "Lyon");
        }
    }

    // A place typed into the window and chosen from the atlas's list fills the coordinates and,
    // when told to, the zone.
    void placeTypedAndChosenFromTheAtlas() {
        if (!tavrolin::atlas_built()) QSKIP("built without the atlas");
        WindowFixture f;
        QLineEdit* box = f.get("txtBirthPlace");
        box->setFocus();
        f.dialogs->choices = {0};
        QTest::keyClicks(box, "Pari");
        auto* list = box->findChild<tavrolin::PlaceCompleter*>()->completer()->popup();
        QTRY_VERIFY_WITH_TIMEOUT(list->isVisible(), 20000);
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(box->text() + " " + f.get("txtLatitude")->text() + " " + f.get("txtLongitude")->text() + " " +
                     f.get("txtTZ")->text(),
                 QString("Paris, Île-de-France Region, France 48N51'12\" 2E20'56\" Europe/Paris"));
    }

    // The numbers of the reports are checked against the library through tavrolin-batch.
    void reportShowsInOneWindowAndIsCopiedOrSaysWhyNot() {
        WindowFixture f;
        QGuiApplication::clipboard()->setText("kept");
        f.get("txtNatalDate")->setText("22/09/1949");  // day first under the month-first order
        f.get<QAction>("mnuNatalPlanetPositionsLongitude")->trigger();
        QCOMPARE(f.w->statusBar()->currentMessage(), QString("Natal date: \"22/09/1949\" is not a date"));
        QVERIFY(f.w->natal_pos_window() == nullptr);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("kept"));

        f.get("txtNatalDate")->setText("09/22/1949");
        f.get<QAction>("mnuNatalPlanetPositionsLongitude")->trigger();
        frmNatalPos* natal = f.w->natal_pos_window();
        QVERIFY(QTest::qWaitForWindowExposed(natal));
        QCOMPARE(f.w->statusBar()->currentMessage(), QString());
        const QString text = natal->RichText1->toPlainText();
        QCOMPARE(text, QString::fromStdString(f.w->engine().natal_lon_report).replace("\r\n", "\n"));
        QCOMPARE(QGuiApplication::clipboard()->text(), text);
        // The whole report shows without scrolling, in whatever fixed-pitch face stands in.
        QCOMPARE(natal->RichText1->horizontalScrollBar()->maximum() + natal->RichText1->verticalScrollBar()->maximum(), 0);
        // Escape in the report returns to the main window; the next report replaces this one.
        natal->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(natal));
        QTest::keyClick(natal->RichText1, Qt::Key_Escape);
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(f.w.get()));
        QTest::keyClick(f.w.get(), Qt::Key_F12);
        QCOMPARE(f.w->findChildren<frmNatalPos*>().size(), 1);
        QCOMPARE(f.w->natal_pos_window()->RichText1->toPlainText().section('\n', 0, 0).size(), 34);  // the declinations

        // Without the asteroid files beside the program, the report names them.
        WindowFixture bare(12000, 0, false);
        bare.get<QAction>("mnuNatalPlanetPositionsLongitude")->trigger();
        const QString message = bare.w->statusBar()->currentMessage();
        QVERIFY2(message.startsWith("Positions not computed: Eris") && message.contains(", Sedna"), qPrintable(message));
    }

    // A long run shows its progress with every control of the window in view, takes no other
    // input and ends soon after Cancel; the open timeline then shows what it found. Closing the
    // window during the next run ends that run and then closes the window.
    void longRunShowsProgressIgnoresInputAndEndsOnCancelOrClose() {
        WindowFixture f;
        frmTavrolin& w = *f.w;
        control<QAction>(w, "mnuViewTimeline")->trigger();
        w.activateWindow();
        QTRY_VERIFY(controls_in_view(w));
        f.long_run();
        const auto running = [&] { return shown(w.findChild<QProgressBar*>("prgCalc")); };
        bool in_view_during_run = false, input_ignored = false;
        QElapsedTimer since_shown, since_cancel;
        repeat_until(&w, [&] {
            auto* cancel = w.findChild<QPushButton*>("cmdCancelCalc");
            if (!running() || !shown(cancel)) return false;
            if (!since_shown.isValid()) since_shown.start();
            // Once the layout has settled and some rows have been found.
            if (since_shown.elapsed() < 300 || w.findChild<QProgressBar*>("prgCalc")->value() < 100) return false;
            in_view_during_run = controls_in_view(w);
            QTest::mouseClick(control<QCheckBox>(w, "chkSortOutput"), Qt::LeftButton);
            QTest::keyClicks(control(w, "txtTZ"), "5");
            input_ignored = control<QCheckBox>(w, "chkSortOutput")->isChecked() && control(w, "txtTZ")->text() == "0";
            since_cancel.start();
            QTest::mouseClick(cancel, Qt::LeftButton);
            return true;
        });
        QTest::mouseClick(control<QPushButton>(w, "cmdTavrolin"), Qt::LeftButton);
        QVERIFY(in_view_during_run && input_ignored);
        QVERIFY2(since_cancel.isValid() && since_cancel.elapsed() < 20000, "the run ended soon after Cancel");
        QVERIFY(!running() && !shown(w.findChild<QPushButton*>("cmdCancelCalc")));
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QApplication::processEvents();
        QVERIFY(controls_in_view(w));
        const QString text = control<QPlainTextEdit>(w, "txtResults_1")->toPlainText();
        const QRegularExpression ending("\\nThe run was cancelled at \\d\\d/\\d\\d/\\d{4}, while scanning \\S+( \\S+)? to "
                                        "\\S+( \\S+)?\\.\\n\\nWithin 1 deg\\. of exact:\\n");
        QVERIFY2(text.startsWith("Aspects found:") && text.contains(ending), qPrintable(text.right(400)));
        QVERIFY(w.timeline_window()->timeline().marks > 0);
        QCOMPARE(w.timeline_window()->timeline().marks, w.engine().result_count);

        // The window takes input again, and a short run afterwards runs to its end.
        QTest::mouseClick(control<QCheckBox>(w, "chkSortOutput"), Qt::LeftButton);
        QVERIFY(!control<QCheckBox>(w, "chkSortOutput")->isChecked());
        control(w, "txtEndDate")->setText("01/31/1950");
        QTest::mouseClick(control<QPushButton>(w, "cmdTavrolin"), Qt::LeftButton);
        QVERIFY(!control<QPlainTextEdit>(w, "txtResults_1")->toPlainText().contains("cancelled"));
        // Closed during a run, the window closes once the run has ended, writing its INI file as it always does.
        control(w, "txtEndDate")->setText("12/31/2029");
        repeat_until(&w, [&] {
            if (!running()) return false;
            w.close();
            return true;
        });
        QTest::mouseClick(control<QPushButton>(w, "cmdTavrolin"), Qt::LeftButton);
        QVERIFY(control<QPlainTextEdit>(w, "txtResults_1")->toPlainText().contains("The run was cancelled at "));
        QTRY_VERIFY(!w.isVisible());
        QVERIFY(QFile::exists(f.path("Tavrolin.ini")));
    }
};

// The main window fits on this screen, as on a desktop: scroll bars would be the layout's fault.
int main(int argc, char** argv) {
    QTemporaryDir dir;
    const QString config = dir.filePath("screen.json");
    write_file(config, R"({"screens":[{"name":"desk","x":0,"y":0,"width":1920,"height":1200,"logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})");
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen") qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
    QApplication app(argc, argv);
    CalculateTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "calculate_test.moc"
