// The Options menu's listing styles and the File menu's natal positions reports, through the
// real window.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>

#include <swephexp.h>

#include "engine/bodies.h"
#include "window/frm_natal_pos.h"
#include "window/frm_tavrolin.h"

namespace {

// A program folder of its own for each window (the INI file goes there), with the asteroid
// files of the build beside it unless a test wants them missing.
struct ProgramFolder {
    QTemporaryDir dir;
    explicit ProgramFolder(bool with_asteroids = true) {
        if (with_asteroids) QFile::link(QDir::current().absoluteFilePath("ephe"), dir.filePath("ephe"));
    }
};

std::unique_ptr<frmTavrolin> make_window(const ProgramFolder& folder) {
    tavrolin::WindowSetup setup;
    setup.program_folder = folder.dir.path();
    setup.screen_size_twips = QSize(12000, 12000);
    setup.date_order = 0;
    return std::make_unique<frmTavrolin>(setup);
}

int visible_natal_windows() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<frmNatalPos*>(w) != nullptr && w->isVisible()) ++n;
    return n;
}

// Natal moment of the window's defaults (09/22/1949, "16.43" GMT), the time in single precision as
// the program reads it.
double default_natal_jd() {
    const float t = 16.43f;
    const float hours = std::trunc(t) + (t - std::trunc(t)) * 100.0f / 60.0f;
    return swe_julday(1949, 9, 22, 0.0, SE_GREG_CAL) + static_cast<double>(hours) / 24.0;
}

double library_longitude(int body) {
    const double jd = default_natal_jd();
    double xx[6];
    char serr[AS_MAXCH];
    if (swe_calc(jd + swe_deltat(jd), tavrolin::body_number(body), SEFLG_SWIEPH | SEFLG_SPEED, xx, serr) < 0)
        qWarning("%s", serr);
    return xx[0];
}

QStringList body_lines(const QString& report) {
    QStringList lines = report.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();  // after the last line end
    lines.removeAll(QString());
    return lines;
}

}  // namespace

class ReportCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void styleEntriesKeepAtMostOneChecked() {
        ProgramFolder folder;
        auto w = make_window(folder);
        QAction* quill = w->mnuUseQuillDisplaySettings;
        QAction* lunetta = w->mnuUseLunettaDisplaySettings;
        QVERIFY(quill->isEnabled() && lunetta->isEnabled());
        struct Case {
            const char* clicks;  // Q or L, in order
            bool quill, lunetta;
            tavrolin::ListingStyle style;
        };
        const Case cases[] = {
            {"", false, false, tavrolin::ListingStyle::Default},
            {"Q", true, false, tavrolin::ListingStyle::Quill},
            {"L", false, true, tavrolin::ListingStyle::Lunetta},
            {"QL", false, true, tavrolin::ListingStyle::Lunetta},
            {"LQ", true, false, tavrolin::ListingStyle::Quill},
            {"QQ", false, false, tavrolin::ListingStyle::Default},
            {"LL", false, false, tavrolin::ListingStyle::Default},
            {"QLQ", true, false, tavrolin::ListingStyle::Quill},
            {"QLL", false, false, tavrolin::ListingStyle::Default},
        };
        for (const Case& c : cases) {
            quill->setChecked(false);
            lunetta->setChecked(false);
            for (const char* k = c.clicks; *k; ++k) (*k == 'Q' ? quill : lunetta)->trigger();
            QCOMPARE(quill->isChecked(), c.quill);
            QCOMPARE(lunetta->isChecked(), c.lunetta);
            QVERIFY2(w->control_values().style == c.style, c.clicks);
        }
    }

    void styleAppliesFromTheNextCalculation() {
        ProgramFolder folder;
        auto w = make_window(folder);
        // Transits of 2020: the great conjunction of 21 December.
        w->txtStartdate->setText("12/01/2020");
        w->txtEndDate->setText("12/31/2020");
        w->txtTZ->setText("0");
        w->optNatal_Transit_Progressed[1]->click();
        for (int i = 0; i <= tavrolin::last_body_index; ++i) {
            w->chkP1Planets[static_cast<std::size_t>(i)]->setChecked(i == 5);
            w->chkP2Planets[static_cast<std::size_t>(i)]->setChecked(i == 6);
        }
        for (int a = 0; a <= tavrolin::last_aspect_index; ++a) w->chkAspects[static_cast<std::size_t>(a)]->setChecked(a == 0);

        const QRegularExpression quill_line(
            "\\nJupiter \\(aqu = -20\\.\\d\\d\\) 000 Saturn \\(aqu = -20\\.\\d\\d\\) 12/21/2020 18:2\\d:\\d\\d\\n");
        const QRegularExpression lunetta_line(
            "\\nJupiter 000 Saturn 12/21/2020 18:2\\d:\\d\\d   300\\.\\d\\d   300\\.\\d\\d   -?1   1   1\\n");
        const QRegularExpression default_line("\\nJupiter 000 Saturn 12/21/2020 18:2\\d:\\d\\d\\n");

        w->mnuUseQuillDisplaySettings->trigger();
        QCOMPARE(w->txtResults[1]->toPlainText(), QString());  // nothing is listed again
        w->cmdTavrolin_Click();
        QVERIFY2(w->txtResults[1]->toPlainText().contains(quill_line), qPrintable(w->txtResults[1]->toPlainText()));

        const QString before = w->txtResults[1]->toPlainText();
        w->mnuUseLunettaDisplaySettings->trigger();
        QCOMPARE(w->txtResults[1]->toPlainText(), before);
        w->cmdTavrolin_Click();
        QVERIFY2(w->txtResults[1]->toPlainText().contains(lunetta_line), qPrintable(w->txtResults[1]->toPlainText()));

        w->mnuUseLunettaDisplaySettings->trigger();
        w->cmdTavrolin_Click();
        QVERIFY2(w->txtResults[1]->toPlainText().contains(default_line), qPrintable(w->txtResults[1]->toPlainText()));
    }

    void longitudeReportOfTheDefaultNatalData() {
        ProgramFolder folder;
        auto w = make_window(folder);
        QVERIFY(w->mnuNatalPlanetPositionsLongitude->isEnabled());
        w->mnuNatalPlanetPositionsLongitude->trigger();

        frmNatalPos* natal = w->natal_pos_window();
        QVERIFY(natal != nullptr);
        QVERIFY(natal->isVisible());
        QCOMPARE(natal->windowTitle(), QString("Natal Positions"));
        QCOMPARE(natal->RichText1->objectName(), QString("RichText1"));
        QCOMPARE(natal->RichText1->font().family(), QString("Courier New"));
        QCOMPARE(natal->RichText1->font().pointSize(), 9);
        QCOMPARE(natal->font().pointSize(), 9);
        QCOMPARE(w->statusBar()->currentMessage(), QString());

        const QString text = natal->RichText1->toPlainText();
        QCOMPARE(QGuiApplication::clipboard()->text(), text);
        QCOMPARE(text, QString::fromStdString(w->engine().natal_lon_report).replace("\r\n", "\n"));
        QCOMPARE(text.count("\n\n"), 3);  // the three groups after the planets

        const QStringList lines = body_lines(text);
        QCOMPARE(lines.size(), 22);
        int k = 0;
        for (int body = 0; body <= tavrolin::last_body_index; ++body) {
            if (body == tavrolin::earth_index) continue;  // geocentric
            const QString& line = lines[k++];
            QCOMPARE(line.size(), 41);
            char name[AS_MAXCH];
            swe_get_planet_name(tavrolin::body_number(body), name);
            QCOMPARE(line.left(11).trimmed(), QString(name).left(11));
            const double shown = line.mid(26, 12).toDouble();
            QVERIFY2(std::fabs(shown - library_longitude(body)) < 1.5e-6, qPrintable(line));
        }
    }

    void secondCommandLeavesOneWindowWithTheSecondReport() {
        ProgramFolder folder;
        auto w = make_window(folder);
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::keyClick(w.get(), Qt::Key_F11);
        QPointer<frmNatalPos> first = w->natal_pos_window();
        QVERIFY(first != nullptr);
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::keyClick(w.get(), Qt::Key_F12);
        QVERIFY(first.isNull());
        QCOMPARE(visible_natal_windows(), 1);
        const QString text = w->natal_pos_window()->RichText1->toPlainText();
        QCOMPARE(body_lines(text).first().size(), 34);
        QCOMPARE(QGuiApplication::clipboard()->text(), text);
        QCOMPARE(text, QString::fromStdString(w->engine().natal_decl_lat_report).replace("\r\n", "\n"));
        // Ctrl+F11: the sidereal report in a fresh window again.
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::keyClick(w.get(), Qt::Key_F11, Qt::ControlModifier);
        QCOMPARE(visible_natal_windows(), 1);
        QCOMPARE(body_lines(w->natal_pos_window()->RichText1->toPlainText()).first().size(), 41);
        QVERIFY(w->natal_pos_window()->RichText1->toPlainText() != text);
    }

    void windowSitsBesideTheMainWindowAndEscapeReturnsTheFocus() {
        ProgramFolder folder;
        auto w = make_window(folder);
        w->mnuNatalPlanetPositionsLongitude->trigger();
        frmNatalPos* natal = w->natal_pos_window();
        QVERIFY(QTest::qWaitForWindowExposed(natal));
        const QRect main_frame = w->frameGeometry();
        const QRect frame = natal->frameGeometry();
        QCOMPARE(frame.left() + frame.width(), main_frame.left() + main_frame.width());
        QCOMPARE(frame.top(), main_frame.top() + w->twips_to_px_y(frmNatalPos::top_offset));
        // At least the design size, and large enough that the whole report shows without scrolling
        // in whatever fixed-pitch face stands in for the one asked for.
        QVERIFY(natal->width() >= w->twips_to_px_x(frmNatalPos::client_width));
        QVERIFY(natal->height() >= w->twips_to_px_y(frmNatalPos::client_height));
        QCOMPARE(natal->RichText1->geometry(), natal->rect());
        QCOMPARE(natal->RichText1->horizontalScrollBar()->maximum(), 0);
        QCOMPARE(natal->RichText1->verticalScrollBar()->maximum(), 0);

        natal->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(natal));
        natal->RichText1->setFocus();
        const QString text = natal->RichText1->toPlainText();
        QCOMPARE(QApplication::activeWindow(), static_cast<QWidget*>(natal));
        QTest::keyClick(natal->RichText1, Qt::Key_Escape);
        // (The natal window counts as active with its owner, so ask which window has it.)
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(w.get()));
        QVERIFY(natal->isVisible());
        QCOMPARE(natal->RichText1->toPlainText(), text);
        // Other keys reach the box.
        QTest::keyClick(natal->RichText1, Qt::Key_X);
        QVERIFY(natal->RichText1->toPlainText() != text);
    }

    void invalidNatalDateIsNamedAndOpensNothing() {
        ProgramFolder folder;
        auto w = make_window(folder);
        QGuiApplication::clipboard()->setText("kept");
        w->txtNatalDate->setText("22/09/1949");  // day first under the month-first order
        w->mnuNatalPlanetPositionsLongitude->trigger();
        QCOMPARE(w->statusBar()->currentMessage(), QString("Natal date: \"22/09/1949\" is not a date"));
        QVERIFY(w->natal_pos_window() == nullptr);
        QCOMPARE(visible_natal_windows(), 0);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("kept"));
        QCOMPARE(QString::fromStdString(w->engine().natal_date_str), QString("22/09/1949"));
    }

    void bodyWithoutItsEphemerisFileIsNamed() {
        ProgramFolder folder(false);
        auto w = make_window(folder);
        w->mnuNatalPlanetPositionsLongitude->trigger();
        QVERIFY(w->natal_pos_window() != nullptr);
        const QString message = w->statusBar()->currentMessage();
        QVERIFY2(message.startsWith("Eris: position not computed: "), qPrintable(message));
        QVERIFY2(message.contains("; Sedna: position not computed: "), qPrintable(message));
    }
};

QTEST_MAIN(ReportCommandsTest)
#include "report_commands_test.moc"
