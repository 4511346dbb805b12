// The two calculate buttons of the main window, driven through the real controls.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "support/window_test_support.h"
#include "window/frm_tavrolin.h"

namespace {

// Ticks exactly one P1 body, one P2 body and one aspect.
void tick_only(frmTavrolin& w, int p1, int p2, int aspect) {
    for (int i = 0; i <= tavrolin::last_body_index; ++i) {
        w.chkP1Planets[static_cast<std::size_t>(i)]->setChecked(i == p1);
        w.chkP2Planets[static_cast<std::size_t>(i)]->setChecked(i == p2);
    }
    for (int a = 0; a <= tavrolin::last_aspect_index; ++a) w.chkAspects[static_cast<std::size_t>(a)]->setChecked(a == aspect);
}

}  // namespace

class CalculateTest : public QObject {
    Q_OBJECT

private slots:
    void aspectsCommandListsFindingsAndTimesItself() {
        QTemporaryDir dir;
        auto w = make_window(dir.path());
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        // Transits of 2020 to each other: the great conjunction of 21 December.
        w->txtStartdate->setText("12/01/2020");
        w->txtEndDate->setText("12/31/2020");
        w->txtTZ->setText("0");
        QTest::mouseClick(w->optNatal_Transit_Progressed[1], Qt::LeftButton);
        tick_only(*w, 5, 6, 0);
        QTest::mouseClick(w->cmdTavrolin, Qt::LeftButton);

        const QString text = w->txtResults[1]->toPlainText();
        QVERIFY2(text.startsWith("Aspects found:"), qPrintable(text));
        QVERIFY2(text.contains(QRegularExpression("\\nJupiter 000 Saturn 12/21/2020 18:2\\d:\\d\\d\\n")), qPrintable(text));
        QVERIFY(text.contains("\nWithin 1 deg. of exact:\n"));
        QVERIFY(!text.contains('\r'));
        QVERIFY(w->txtResults[0]->toPlainText().isEmpty());
        QVERIFY2(QRegularExpression("^Tavrolin - \\d+\\.\\d\\d secs\\.$").match(w->windowTitle()).hasMatch(),
                 qPrintable(w->windowTitle()));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->txtResults[1]));
        QVERIFY(QApplication::overrideCursor() == nullptr);

        // The next run reads the controls afresh: the same pair in December 2021 finds nothing.
        w->txtStartdate->setText("12/01/2021");
        w->txtEndDate->setText("12/31/2021");
        QTest::mouseClick(w->cmdTavrolin, Qt::LeftButton);
        QVERIFY(!w->txtResults[1]->toPlainText().contains("Jupiter 000 Saturn"));
    }

    void dateThatIsNotADateKeepsTheResultsAndSaysWhich() {
        QTemporaryDir dir;
        auto w = make_window(dir.path());
        w->txtResults[1]->setPlainText("earlier listing");
        w->txtStartdate->setText("12/32/2005");
        w->cmdTavrolin_Click();
        QCOMPARE(w->txtResults[1]->toPlainText(), QString("earlier listing"));
        QCOMPARE(w->statusBar()->currentMessage(), QString("Start Date: \"12/32/2005\" is not a date"));
        QVERIFY(w->windowTitle().startsWith("Tavrolin - "));

        w->txtStartdate->setText("12/01/2005");
        w->txtNatalDate->setText("22/09/1949");  // day first under a month-first order
        w->cmdCalculate_T_to_Point_Click();
        QCOMPARE(w->statusBar()->currentMessage(), QString("Natal date: \"22/09/1949\" is not a date"));
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void degreeCommandWritesTheLeftBoxWithoutNearMisses() {
        QTemporaryDir dir;
        auto w = make_window(dir.path());
        w->txtResults[1]->setPlainText("aspects listing");
        w->txtStartdate->setText("03/01/2005");
        w->txtEndDate->setText("03/31/2005");
        w->txtZodiacDegree->setText("0");
        tick_only(*w, 0, -1, 0);  // the Sun reaches 0 Aries at the equinox
        QTest::mouseClick(w->cmdCalculate_T_to_Point, Qt::LeftButton);
        const QString text = w->txtResults[0]->toPlainText();
        QVERIFY2(text.contains(QRegularExpression("\\nSun 000 \\S+ 03/20/2005 \\d\\d:\\d\\d:\\d\\d\\n")), qPrintable(text));
        QVERIFY(!text.contains("Within 1 deg. of exact:"));
        QCOMPARE(w->txtResults[1]->toPlainText(), QString("aspects listing"));
        QCOMPARE(w->windowTitle(), QString("Tavrolin"));
    }
};

QTEST_MAIN(CalculateTest)
#include "calculate_test.moc"
