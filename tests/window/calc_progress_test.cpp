// A long calculation in the main window: it shows a progress bar and a Cancel button, takes no
// other input, and ends early when cancelled or when the window is closed.
#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <functional>

#include "support/window_test_support.h"

namespace {

// Every body with its data in the system's files, all aspects, transits to natal over 80 years:
// minutes of work.
void set_up_long_run(frmTavrolin& w) {
    w.txtStartdate->setText("01/01/1950");
    w.txtEndDate->setText("12/31/2029");
    QTest::mouseClick(w.optNatal_Transit_Progressed[0], Qt::LeftButton);
    for (int i = 0; i <= tavrolin::last_body_index; ++i) {
        const bool on = i != tavrolin::earth_index && i < 21;
        w.chkP1Planets[static_cast<std::size_t>(i)]->setChecked(on);
        w.chkP2Planets[static_cast<std::size_t>(i)]->setChecked(on);
    }
    for (auto* box : w.chkAspects) box->setChecked(true);
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

}  // namespace

class CalcProgressTest : public QObject {
    Q_OBJECT

private slots:
    void longRunShowsProgressIgnoresInputAndCancels() {
        WindowFixture f;
        frmTavrolin& w = *f.w;
        set_up_long_run(w);
        int progress_seen = 0;
        bool input_ignored = false;
        QElapsedTimer since_cancel;
        repeat_until(&w, [&] {
            auto* bar = w.findChild<QProgressBar*>("prgCalc");
            auto* cancel = w.findChild<QPushButton*>("cmdCancelCalc");
            if (!shown(bar) || !shown(cancel)) return false;
            progress_seen = std::max(progress_seen, bar->value());
            if (progress_seen == 0) return false;  // wait until some work is done
            // The rest of the window takes no input during the run.
            QTest::mouseClick(w.chkSortOutput, Qt::LeftButton);
            QTest::keyClicks(w.txtTZ, "5");
            input_ignored = w.chkSortOutput->isChecked() && w.txtTZ->text() == "8";
            since_cancel.start();
            QTest::mouseClick(cancel, Qt::LeftButton);
            return true;
        });
        QTest::mouseClick(w.cmdTavrolin, Qt::LeftButton);

        QVERIFY(progress_seen > 0);
        QVERIFY(input_ignored);
        QVERIFY2(since_cancel.isValid() && since_cancel.elapsed() < 20000, "the run ended soon after Cancel");
        QVERIFY(!shown(w.findChild<QProgressBar*>("prgCalc")) && !shown(w.findChild<QPushButton*>("cmdCancelCalc")));
        QVERIFY(QApplication::overrideCursor() == nullptr);
        const QString text = w.txtResults[1]->toPlainText();
        QVERIFY2(text.startsWith("Aspects found:"), qPrintable(text.left(200)));
        const QRegularExpression ending(
            "\\nThe run was cancelled at \\d\\d/\\d\\d/\\d{4}, while scanning \\S+( \\S+)? to \\S+( \\S+)?\\.\\n"
            "\\nWithin 1 deg\\. of exact:\\n");
        QVERIFY2(text.contains(ending), qPrintable(text.right(400)));
        QVERIFY2(QRegularExpression("^Tavrolin - \\d+\\.\\d\\d secs\\.$").match(w.windowTitle()).hasMatch(),
                 qPrintable(w.windowTitle()));

        // The window takes input again, and a short run afterwards runs to its end.
        QTest::mouseClick(w.chkSortOutput, Qt::LeftButton);
        QVERIFY(!w.chkSortOutput->isChecked());
        w.txtEndDate->setText("01/31/1950");
        QTest::mouseClick(w.cmdTavrolin, Qt::LeftButton);
        QVERIFY(!w.txtResults[1]->toPlainText().contains("cancelled"));
    }

    void closingDuringARunEndsItAndClosesTheWindow() {
        WindowFixture f;
        set_up_long_run(*f.w);
        bool close_asked = false;
        repeat_until(f.w.get(), [&] {
            if (!shown(f.w->findChild<QProgressBar*>("prgCalc"))) return false;
            close_asked = true;
            f.w->close();
            return true;
        });
        QTest::mouseClick(f.w->cmdTavrolin, Qt::LeftButton);
        QVERIFY(close_asked);
        QVERIFY(f.w->txtResults[1]->toPlainText().contains("The run was cancelled at "));
        // The window closes once the run has ended, writing its INI file as it always does.
        QTRY_VERIFY(!f.w->isVisible());
        QVERIFY(QFile::exists(f.path("Tavrolin.ini")));
    }
};

QTEST_MAIN(CalcProgressTest)
#include "calc_progress_test.moc"
