// What the window tells its user and keeps for them: typed zones, bodies not computed, unsaved
// help edits and settings, old and cancelled results, windows on the screen, the timeline's
// legend, confirmations and hints.
#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QCompleter>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>

#include <functional>
#include <set>

#include "picture/timeline_painter.h"
#include "support/window_test_support.h"
#include "window/frm_help_files.h"
#include "window/frm_natal_pos.h"
#include "window/frm_timeline.h"

// Scripted answers, and what the user does while a question is open.
struct AskingDialogs : ScriptedDialogs {
    std::function<void()> on_ask;
    std::optional<int> ask(QWidget* parent, const QString& title, const QString& text, const QStringList& answers) override {
        if (on_ask) on_ask();
        return ScriptedDialogs::ask(parent, title, text, answers);
    }
};

class UserFeedbackTest : public QObject {
    Q_OBJECT

private slots:
    // Typed zones stay as typed, matching a name or not, until a name is chosen from the list
    // (shown whole in the box and the list). Results take no typing but copy; after a refused run
    // the old listing is marked as the previous run's. Date tooltips show the session's order.
    void typedInputStaysAndResultsAreNotMistaken() {
        WindowFixture f;
        f.w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.w.get()));
        QLineEdit* tz = f.get("txtTZ");
        for (const QString typed : {"-5.5", "Europe/Lodnon", "Mars/Olympus", "nos_Air"}) {
            QTest::mouseClick(tz, Qt::LeftButton);
            QTest::keyClick(tz, Qt::Key_Escape);
            QTest::keyClick(tz, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(tz, typed);
            QCOMPARE(tz->text(), typed);
        }
        QAbstractItemView* list = tz->completer()->popup();
        QTRY_VERIFY(list->isVisible());
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(tz->text(), QString("America/Argentina/Buenos_Aires"));
        QVERIFY(std::min(list->width(), tz->width() - 8) >= tz->fontMetrics().horizontalAdvance(tz->text()));

        f.great_conjunction();
        auto* box = f.get<QPlainTextEdit>("txtResults_1");
        for (const auto& [start, marked] : {std::pair("12/01/2020", false), std::pair("12/32/2020", true), std::pair("12/01/2020", false)}) {
            f.get("txtStartdate")->setText(start);
            QTest::mouseClick(f.get<QPushButton>("cmdTavrolin"), Qt::LeftButton);
            QTest::keyClicks(box, "typed\b\b");
            QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
            QVERIFY(QGuiApplication::clipboard()->text().startsWith("Aspects found:\n\nJupiter 000 Saturn 12/21/2020"));
            QCOMPARE(f.w->windowTitle() == frmTavrolin::previous_results_title, marked);
            QCOMPARE(box->property("previousResults").toBool() && !box->toolTip().isEmpty(), marked);
        }
        for (const auto& [order, form] : {std::pair(0, "MM/DD/YYYY"), std::pair(1, "DD/MM/YYYY"), std::pair(2, "YYYY/MM/DD")})
            QCOMPARE(WindowFixture(12000, order).get("txtNatalDate")->toolTip(), QString(form));
    }

    // The status bar names every body not computed (a 1750 birth, a run over 1700), a cancelled
    // run's date (and so does the timeline) and each file saved or opened; the natal reports show
    // no position for such a body, and their windows name the report and the natal data.
    void statusBarAndReportsSayWhatHappened() {
        WindowFixture f;
        for (const auto& [command, file, message] : {std::tuple("mnuFileSaveSettings", "a.opt", "Saved the settings to "),
                                                     std::tuple("cmdSave", "a.dat", "Saved the natal data to "),
                                                     std::tuple("cmdOpen", "a.dat", "Opened the natal data of ")}) {
            f.dialogs->answer(f.path(file));
            if (auto* button = f.get<QPushButton>(command)) button->click();
            else f.get<QAction>(command)->trigger();
            QCOMPARE(f.w->statusBar()->currentMessage(), message + f.path(file));
        }
        f.get("txtNatalDate")->setText("06/15/1750");
        for (const auto& [menu, title] : {std::pair("mnuNatalPlanetPositionsLongitude", "longitude"), std::pair("mnuNatalPlanetPositionsDecl_Lat", "decl/lat")}) {
            f.get<QAction>(menu)->trigger();
            QCOMPARE(f.w->statusBar()->currentMessage(), QString("Positions not computed: Chiron, Pholus, Ceres, Pallas, Juno, Vesta."));
            QCOMPARE(f.w->natal_pos_window()->windowTitle() + "|" + f.w->natal_pos_window()->findChild<QLabel*>("lblHeading")->text(),
                     "Natal Positions - " + QString(title) + "|Natal data: 06/15/1750, 16.43 GMT");
            const QString text = f.w->natal_pos_window()->RichText1->toPlainText();
            for (const QString body : {"Chiron", "Pholus", "Ceres", "Pallas", "Juno", "Vesta"})
                QVERIFY(text.contains("\n" + body.leftJustified(11) + " position not computed\n"));
        }
        f.set_run("01/01/1701", "12/31/1701", 0, {15}, {0}, {0});
        QTest::mouseClick(f.get<QPushButton>("cmdTavrolin"), Qt::LeftButton);
        QVERIFY(f.w->statusBar()->currentMessage().startsWith("Positions not computed: Chiron"));

        f.get<QAction>("mnuViewTimeline")->trigger();
        f.long_run();
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            auto* cancel = f.w->findChild<QPushButton*>("cmdCancelCalc");
            if (cancel->isVisible() && f.w->findChild<QProgressBar*>("prgCalc")->value() >= 20) QTest::mouseClick(cancel, Qt::LeftButton);
        });
        timer.start(20);
        QTest::mouseClick(f.get<QPushButton>("cmdTavrolin"), Qt::LeftButton);
        const QString status = f.w->statusBar()->currentMessage(), note = f.w->timeline_window()->note();
        QVERIFY2(QRegularExpression("^The run was cancelled at \\d\\d/\\d\\d/\\d{4}, while scanning .+\\.").match(status).hasMatch(), qPrintable(status));
        QVERIFY(!note.isEmpty() && status.startsWith(note) && f.w->timeline_window()->view().note == note && f.w->timeline_window()->statusBar()->currentMessage() == note);
    }

    // Unsaved help edits on closing: Cancel keeps the help and the main window open, Discard
    // closes, Save writes through the save dialog, whose cancel keeps the window. An INI file
    // that cannot be written: Cancel keeps the window, "Try again" writes it once the folder can
    // be made (else asks again), "Close anyway" closes.
    void closingAsksBeforeWorkIsLost() {
        const std::tuple<std::optional<int>, QString, bool, QByteArray> help_cases[] = {  // choice, saved to, closes, file
            {std::nullopt, "", false, "one\r\n"}, {1, "", true, "one\r\n"}, {0, "own.txt", true, "one\r\nadded"}, {0, QString(), false, "one\r\n"}};
        for (const auto& [choice, saved_to, closes, file] : help_cases) {
            WindowFixture f;
            QVERIFY(write_file(f.path("own.txt"), "one\r\n"));
            f.get<QAction>("mnuHelp")->trigger();
            f.dialogs->answers = {f.path("own.txt"), saved_to.isNull() ? QString() : f.path(saved_to)};
            f.w->help_window()->cmdLoadFile_Click();
            QTest::keyClick(f.w->help_window()->RichText1, Qt::Key_End, Qt::ControlModifier);
            QTest::keyClicks(f.w->help_window()->RichText1, "added");
            f.dialogs->choices = {choice, std::nullopt};
            QCOMPARE(f.w->help_window()->close(), closes);
            QCOMPARE(read_file(f.path("own.txt")), file);
            QCOMPARE(f.w->close(), closes);  // with the edits still there, the main window asks again
        }
        const std::tuple<std::optional<int>, bool, bool, bool> ini_cases[] = {  // choice, folder made, closes, saved
            {std::nullopt, false, false, false}, {1, false, true, false}, {0, false, true, false}, {0, true, true, true}};
        for (const auto& [choice, fix, closes, saved] : ini_cases) {
            QTemporaryDir dir;
            QVERIFY(write_file(dir.filePath("config"), "a file where the folder belongs"));
            auto dialogs = std::make_shared<AskingDialogs>();
            dialogs->choices = {choice, 1};
            if (fix) dialogs->on_ask = [&dir] { QFile::remove(dir.filePath("config")) && QDir(dir.path()).mkdir("config"); };
            QCOMPARE(make_window(dir.filePath("config"), 12000, 0, dialogs)->close(), closes);
            QCOMPARE(QFile::exists(dir.filePath("config/Tavrolin.ini")), saved);
        }
    }

    // On a screen lower than the timeline's first size, with the main window near its corner,
    // every secondary window opens wholly on the screen. The timeline's legend shows each aspect
    // family's bar colour beside its diamond colour.
    void windowsOnTheScreenAndTheLegend() {
        WindowFixture f;
        f.w->move(1080, 470);
        for (const char* menu : {"mnuViewTimeline", "mnuNatalPlanetPositionsLongitude", "mnuHelp"}) f.get<QAction>(menu)->trigger();
        const auto on_screen = [](const QWidget* w) { return w->screen()->availableGeometry().contains(w->frameGeometry()); };
        bool dialog_on_screen = false;
        QTimer::singleShot(0, [&] { dialog_on_screen = on_screen(QApplication::activeModalWidget()), QApplication::activeModalWidget()->hide(); });
        f.get<QAction>("mnuConvertLocalBirthTime")->trigger();
        QVERIFY(dialog_on_screen);
        for (const QWidget* w : std::initializer_list<const QWidget*>{f.w->timeline_window(), f.w->natal_pos_window(), f.w->help_window()})
            QVERIFY2(on_screen(w), qPrintable(w->objectName()));

        const tavrolin::TimelinePainter& painter = f.w->timeline_window()->painter();
        QImage image(QSize(1400, painter.legend_height()), QImage::Format_RGB32);
        QPainter p(&image);
        painter.paint(p, painter.whole_view(image.width(), image.height()), f.w->timeline_window()->colours());
        const std::set<QRgb> legend(reinterpret_cast<const QRgb*>(image.constBits()), reinterpret_cast<const QRgb*>(image.constBits()) + image.sizeInBytes() / 4);
        for (std::size_t family = 0; family < tavrolin::aspect_family_count; ++family)
            QVERIFY(legend.count(f.w->timeline_window()->colours().marks[family].rgb()) && legend.count(f.w->timeline_window()->colours().stretches[family].rgb()));
    }
};

// A screen lower than the timeline window's first size (1100 x 640).
int main(int argc, char** argv) {
    QTemporaryDir dir;
    write_file(dir.filePath("s.json"), R"({"screens":[{"name":"low","x":0,"y":0,"width":1280,"height":620,"logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})");
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen") qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + dir.filePath("s.json")).toLocal8Bit());
    QApplication app(argc, argv);
    UserFeedbackTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "user_feedback_test.moc"
