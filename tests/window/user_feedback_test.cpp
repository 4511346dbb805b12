// What the window tells its user and keeps for them: the time-zone box keeps what is typed, bodies
// that could not be computed are named, unsaved help edits and a settings file that cannot be
// written are asked about, results cannot be edited or mistaken for a later run's, a cancelled run
// says so, secondary windows open on the screen, the timeline's legend shows every family's
// stretch colour, and the smaller confirmations and hints.
#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QCompleter>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>

#include <functional>
#include <set>
#include <tuple>

#include "picture/timeline_painter.h"
#include "support/window_test_support.h"
#include "window/frm_help_files.h"
#include "window/frm_natal_pos.h"
#include "window/frm_timeline.h"
#include "window/screen_placement.h"

namespace {

// The screen of this test: smaller than the timeline window's first size, so that a window left
// where the toolkit puts it would reach past the screen's bottom.
const QRect test_screen(0, 0, 1280, 620);

void activate(QWidget& w) {
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
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

// Scripted answers, with something the user does while a question is open.
struct AskingDialogs : ScriptedDialogs {
    std::function<void()> on_ask;
    std::optional<int> ask(QWidget* parent, const QString& title, const QString& text, const QStringList& answers) override {
        if (on_ask) on_ask();
        return ScriptedDialogs::ask(parent, title, text, answers);
    }
};

bool on_screen(const QWidget& w) { return w.screen()->availableGeometry().contains(w.frameGeometry()); }

}  // namespace

class UserFeedbackTest : public QObject {
    Q_OBJECT

private slots:
    // Typed keys stay as typed whether or not a zone name matches them; only a suggestion chosen
    // from the list replaces the text. The box shows a long name whole, and so does the list.
    void timeZoneBoxKeepsWhatIsTyped() {
        WindowFixture f;
        activate(*f.w);
        QLineEdit* tz = f.get("txtTZ");
        for (const QString typed : {"-5.5", "Europe/Lodnon", "Mars/Olympus", "Etc/GMT-5x"}) {
            QTest::mouseClick(tz, Qt::LeftButton);
            QTest::keyClick(tz, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(tz, Qt::Key_Delete);
            QTest::keyClicks(tz, typed);
            QApplication::processEvents();
            QCOMPARE(tz->text(), typed);
        }
        QTest::keyClick(tz, Qt::Key_Escape);

        const QString buenos_aires = "America/Argentina/Buenos_Aires";
        QTest::keyClick(tz, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(tz, "nos_Air");
        QAbstractItemView* list = tz->completer()->popup();
        QTRY_VERIFY(list->isVisible());
        QCOMPARE(tz->text(), QString("nos_Air"));  // offered, not yet chosen
        QVERIFY(list->width() >= list->fontMetrics().horizontalAdvance(buenos_aires));
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(tz->text(), buenos_aires);
        QVERIFY(tz->width() >= tz->fontMetrics().horizontalAdvance(buenos_aires) + 8);
    }

    // A 1750 birth: every asteroid whose file does not reach back that far is named in the
    // status bar and written without a position in each report; a run over 1700 names the
    // transiting body it could not compute.
    void bodiesNotComputedAreNamed() {
        WindowFixture f;
        f.get("txtNatalDate")->setText("06/15/1750");
        const QStringList missing = {"Chiron", "Pholus", "Ceres", "Pallas", "Juno", "Vesta"};
        const std::tuple<const char*, int> reports[] = {
            {"mnuNatalPlanetPositionsLongitude", 41},
            {"mnuNatalPlanetPositionsDecl_Lat", 34},
            {"mnuNatalPlanetPositionsLongitude_SIDEREAL", 41},
        };
        for (const auto& [menu, width] : reports) {
            f.get<QAction>(menu)->trigger();
            const QString status = f.w->statusBar()->currentMessage();
            QVERIFY2(status.startsWith("Positions not computed: "), qPrintable(status));
            const QString text = f.w->natal_pos_window()->RichText1->toPlainText();
            for (const QString& body : missing) {
                QVERIFY2(status.contains(body), qPrintable(menu + (": " + status)));
                QCOMPARE(text.split('\n').filter(QRegularExpression("^" + body + " ")), QStringList(body.leftJustified(11) + " position not computed"));
            }
            // The other bodies keep their positions, and no line shows the library's zero.
            QVERIFY(text.contains("Sun ") && !text.contains("00 ARI 00m 00s"));
            QVERIFY(text.split('\n').filter("Saturn").first().size() == width);
        }

        f.set_run("01/01/1701", "12/31/1701", 0, {15}, {0}, {0});
        QTest::mouseClick(f.get<QPushButton>("cmdTavrolin"), Qt::LeftButton);
        QVERIFY2(f.w->statusBar()->currentMessage().startsWith("Positions not computed: Chiron"),
                 qPrintable(f.w->statusBar()->currentMessage()));
        // A run within the files says nothing.
        f.set_run("01/01/2001", "12/31/2001", 0, {15}, {0}, {0});
        f.get("txtNatalDate")->setText("09/22/1949");
        QTest::mouseClick(f.get<QPushButton>("cmdTavrolin"), Qt::LeftButton);
        QCOMPARE(f.w->statusBar()->currentMessage(), QString());
    }

    // Closing the help window with edits asks: Cancel keeps it open with the edits, Discard
    // closes it and leaves the file, Save writes the file through the save dialog and closes.
    // Without edits, and after a save, it closes without asking.
    void helpWindowAsksBeforeLosingEdits() {
        struct Case { std::optional<int> choice; bool save_dialog_cancelled, closes, saved; };
        const Case cases[] = {
            {std::nullopt, false, false, false},  // Cancel
            {1, false, true, false},               // Discard
            {0, false, true, true},                // Save
            {0, true, false, false},               // Save, but its dialog is cancelled
        };
        for (const Case& c : cases) {
            WindowFixture f;
            QVERIFY(write_file(f.path("own.txt"), "first line\r\n"));
            f.get<QAction>("mnuHelp")->trigger();
            frmHelpFiles* help = f.w->help_window();
            f.dialogs->answer(f.path("own.txt"));
            help->cmdLoadFile_Click();
            QVERIFY(help->close());  // nothing edited yet: no question
            f.get<QAction>("mnuHelp")->trigger();
            help = f.w->help_window();
            f.dialogs->answer(f.path("own.txt"));
            help->cmdLoadFile_Click();
            QTest::keyClick(help->RichText1, Qt::Key_End, Qt::ControlModifier);
            QTest::keyClicks(help->RichText1, "added");
            f.dialogs->choices.push_back(c.choice);
            if (c.choice == 0) {
                if (c.save_dialog_cancelled) f.dialogs->cancel();
                else f.dialogs->answer(f.path("own.txt"));
            }
            QCOMPARE(help->close(), c.closes);
            QVERIFY(f.dialogs->choices.empty() && f.dialogs->answers.empty());
            QCOMPARE(read_file(f.path("own.txt")), QByteArray(c.saved ? "first line\r\nadded" : "first line\r\n"));
            if (!c.closes) {
                QVERIFY(help->isVisible() && help->RichText1->toPlainText().endsWith("added"));
                // The main window does not close past the question either.
                f.dialogs->choices.push_back(std::nullopt);
                QVERIFY(!f.w->close());
                QVERIFY(f.w->isVisible() && help->isVisible());
            }
        }
    }

    // The results boxes take no typing but still select and copy; a run that was refused leaves
    // the old listing marked as the previous run's, and the next run that computes clears the mark.
    void resultsAreReadOnlyAndAnOldListingIsMarked() {
        WindowFixture f;
        activate(*f.w);
        f.great_conjunction();
        QTest::mouseClick(f.get<QPushButton>("cmdTavrolin"), Qt::LeftButton);
        auto* box = f.get<QPlainTextEdit>("txtResults_1");
        const QString listing = box->toPlainText();
        QTest::keyClicks(box, "typed");
        QTest::keyClick(box, Qt::Key_Backspace);
        QCOMPARE(box->toPlainText(), listing);
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), listing);

        const std::tuple<QString, QString, bool> runs[] = {  // start date, title, marked
            {"12/32/2020", frmTavrolin::previous_results_title, true},
            {"12/01/2020", "Tavrolin - ", false},
        };
        for (const auto& [start, title, marked] : runs) {
            f.get("txtStartdate")->setText(start);
            QTest::mouseClick(f.get<QPushButton>("cmdTavrolin"), Qt::LeftButton);
            QVERIFY2(f.w->windowTitle().startsWith(title), qPrintable(f.w->windowTitle()));
            QCOMPARE(box->property("previousResults").toBool(), marked);
            QCOMPARE(box->toolTip().isEmpty(), !marked);
            QCOMPARE(box->palette().color(QPalette::Text) == box->palette().color(QPalette::Disabled, QPalette::Text), marked);
            QCOMPARE(box->toPlainText(), listing);
        }
    }

    // After Cancel the status bar says up to which date the run went, and so does the open
    // timeline, in its status bar and its legend.
    void cancelledRunIsNamedInTheStatusBarAndTheTimeline() {
        WindowFixture f;
        f.get<QAction>("mnuViewTimeline")->trigger();
        activate(*f.w);
        f.long_run();
        repeat_until(f.w.get(), [&] {
            auto* cancel = f.w->findChild<QPushButton*>("cmdCancelCalc");
            if (cancel == nullptr || !cancel->isVisible() || f.w->findChild<QProgressBar*>("prgCalc")->value() < 20) return false;
            QTest::mouseClick(cancel, Qt::LeftButton);
            return true;
        });
        QTest::mouseClick(f.get<QPushButton>("cmdTavrolin"), Qt::LeftButton);
        const QString status = f.w->statusBar()->currentMessage();
        QVERIFY2(QRegularExpression("^The run was cancelled at \\d\\d/\\d\\d/\\d{4}, while scanning .+\\.").match(status).hasMatch(),
                 qPrintable(status));
        QVERIFY(f.get<QPlainTextEdit>("txtResults_1")->toPlainText().contains(status.section('.', 0, 0)));
        frmTimeline* timeline = f.w->timeline_window();
        QVERIFY(status.startsWith(timeline->note()) && !timeline->note().isEmpty());
        QCOMPARE(timeline->statusBar()->currentMessage(), timeline->note());
        QCOMPARE(timeline->view().note, timeline->note());

        // A run to its end clears both.
        f.great_conjunction();
        QTest::mouseClick(f.get<QPushButton>("cmdTavrolin"), Qt::LeftButton);
        QCOMPARE(f.w->statusBar()->currentMessage() + timeline->note() + timeline->statusBar()->currentMessage(), QString());
    }

    // A frame is moved as little as possible to lie on the screen; one larger than the screen
    // keeps its top left corner there.
    void framePositionOnScreen() {
        const QRect screen(100, 50, 1000, 600);
        const std::tuple<QRect, QPoint> cases[] = {
            {QRect(200, 100, 300, 200), QPoint(200, 100)},   // inside: stays
            {QRect(900, 500, 300, 200), QPoint(800, 450)},   // past the right and the bottom
            {QRect(-50, 0, 300, 200), QPoint(100, 50)},      // past the left and the top
            {QRect(300, 200, 1200, 800), QPoint(100, 50)},   // larger than the screen
            {QRect(800, 449, 300, 200), QPoint(800, 449)},   // exactly on the bottom-right edges
        };
        for (const auto& [frame, expected] : cases) QCOMPARE(tavrolin::frame_position_on_screen(frame, screen), expected);
    }

    // On a screen lower than the timeline window's first size, every secondary window opens
    // wholly on the main window's screen.
    void secondaryWindowsOpenOnTheScreen() {
        WindowFixture f;
        QCOMPARE(f.w->screen()->availableGeometry(), test_screen);
        f.w->move(test_screen.right() - 200, test_screen.bottom() - 150);  // main window near the corner
        f.great_conjunction();
        QTest::mouseClick(f.get<QPushButton>("cmdTavrolin"), Qt::LeftButton);
        f.get<QAction>("mnuViewTimeline")->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(f.w->timeline_window()));
        QVERIFY2(on_screen(*f.w->timeline_window()), qPrintable(QString("%1,%2 %3x%4").arg(f.w->timeline_window()->frameGeometry().x()).arg(f.w->timeline_window()->frameGeometry().y()).arg(f.w->timeline_window()->frameGeometry().width()).arg(f.w->timeline_window()->frameGeometry().height())));
        f.get<QAction>("mnuNatalPlanetPositionsLongitude")->trigger();
        QVERIFY(on_screen(*f.w->natal_pos_window()));
        f.get<QAction>("mnuHelp")->trigger();
        QVERIFY(on_screen(*f.w->help_window()));
        bool dialog_on_screen = false;
        QTimer::singleShot(0, [&] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                dialog_on_screen = on_screen(*dialog);
                dialog->close();
            }
        });
        f.get<QAction>("mnuConvertLocalBirthTime")->trigger();
        QVERIFY(dialog_on_screen);
    }

    // Each family is shown with the colour of its stretches beside the colour of its exact moments.
    void legendShowsEachFamilysStretchColour() {
        tavrolin::Timeline timeline;
        timeline.has_run = true;
        timeline.from_jd = 2451545.0;
        timeline.to_jd = 2451910.0;
        QFont font;
        tavrolin::TimelinePainter painter(timeline, font);
        tavrolin::TimelineView view;
        view.from_jd = timeline.from_jd;
        view.to_jd = timeline.to_jd;
        view.size = QSize(1400, 300);
        const tavrolin::TimelineColours colours = tavrolin::timeline_colours(QApplication::palette());
        QImage image(view.size, QImage::Format_RGB32);
        QPainter p(&image);
        painter.paint(p, view, colours);
        p.end();
        std::set<QRgb> legend;
        for (int y = 0; y < painter.legend_height(); ++y)
            for (int x = 0; x < image.width(); ++x) legend.insert(image.pixel(x, y) | 0xFF000000u);
        for (int family = 0; family < tavrolin::aspect_family_count; ++family) {
            for (const QColor& c : {colours.marks[static_cast<std::size_t>(family)], colours.stretches[static_cast<std::size_t>(family)]})
                QVERIFY2(legend.count(c.rgb()), qPrintable(QString("family %1: %2").arg(family).arg(c.name())));
        }
    }

    // The INI file that cannot be written on closing is asked about: Cancel keeps the window
    // open, "Try again" writes it once the folder is usable, "Close anyway" closes without it.
    void unwritableIniIsAskedAboutOnClose() {
        struct Case { std::vector<std::optional<int>> choices; bool fix_before_retry, closes, saved; };
        const Case cases[] = {
            {{std::nullopt}, false, false, false},
            {{1}, false, true, false},
            {{0, 1}, false, true, false},  // still failing: asked again
            {{0}, true, true, true},
        };
        for (const Case& c : cases) {
            QTemporaryDir dir;
            QVERIFY(write_file(dir.filePath("config"), "a file where the folder belongs"));
            auto dialogs = std::make_shared<AskingDialogs>();
            auto w = make_window(dir.filePath("config"), 12000, 0, dialogs);
            control(*w, "txtTZ")->setText("-5.5");
            for (const auto& choice : c.choices) dialogs->choices.push_back(choice);
            // While the question is open, the user makes room for the folder.
            if (c.fix_before_retry) dialogs->on_ask = [&] { QFile::remove(dir.filePath("config")) && QDir(dir.path()).mkdir("config"); };
            QCOMPARE(w->close(), c.closes);
            QVERIFY(dialogs->choices.empty());
            QCOMPARE(w->isVisible(), !c.closes);
            QCOMPARE(QFile::exists(dir.filePath("config/Tavrolin.ini")), c.saved);
            if (!c.saved) {
                QVERIFY2(w->ini_save_error().contains("Not a directory"), qPrintable(w->ini_save_error()));
            }
        }
    }

    // The status bar confirms each file saved or opened; the natal report's window names the
    // report and the natal data; the date boxes' tooltips show the form of the session's dates.
    void confirmationsTitlesAndDateHints() {
        WindowFixture f;
        const std::tuple<const char*, QString, QString> files[] = {  // command, file, message
            {"mnuFileSaveSettings", "mine.opt", "Saved the settings to "},
            {"mnuFileLoadSettings", "mine.opt", "Loaded the settings from "},
            {"cmdSave", "natal.dat", "Saved the natal data to "},
            {"cmdOpen", "natal.dat", "Opened the natal data of "},
        };
        for (const auto& [command, file, message] : files) {
            f.w->statusBar()->clearMessage();
            f.dialogs->answer(f.path(file));
            if (auto* button = f.get<QPushButton>(command)) QTest::mouseClick(button, Qt::LeftButton);
            else f.get<QAction>(command)->trigger();
            QCOMPARE(f.w->statusBar()->currentMessage(), message + f.path(file));
        }

        const std::tuple<const char*, QString> reports[] = {
            {"mnuNatalPlanetPositionsLongitude", "Natal Positions - longitude"},
            {"mnuNatalPlanetPositionsDecl_Lat", "Natal Positions - decl/lat"},
            {"mnuNatalPlanetPositionsLongitude_SIDEREAL", "Natal Positions - sidereal (Lahiri) longitude"},
        };
        for (const auto& [menu, title] : reports) {
            f.get<QAction>(menu)->trigger();
            frmNatalPos* natal = f.w->natal_pos_window();
            QCOMPARE(natal->windowTitle(), title);
            QCOMPARE(natal->findChild<QLabel*>("lblHeading")->text(), QString("Natal data: 09/22/1949, 16.43 GMT"));
            QVERIFY(natal->findChild<QLabel*>("lblHeading")->geometry().bottom() < natal->RichText1->geometry().top());
        }

        for (const auto& [order, form] : {std::pair(0, "MM/DD/YYYY"), std::pair(1, "DD/MM/YYYY"), std::pair(2, "YYYY/MM/DD")}) {
            WindowFixture g(12000, order);
            for (const char* box : {"txtStartdate", "txtEndDate", "txtNatalDate"}) QCOMPARE(g.get(box)->toolTip(), QString(form));
        }
    }
};

int main(int argc, char** argv) {
    QTemporaryDir dir;
    const QString config = dir.filePath("screen.json");
    write_file(config, QString(R"({"screens":[{"name":"low","x":0,"y":0,"width":%1,"height":%2,"logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})")
                           .arg(test_screen.width())
                           .arg(test_screen.height())
                           .toUtf8());
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen") qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
    QApplication app(argc, argv);
    UserFeedbackTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "user_feedback_test.moc"
