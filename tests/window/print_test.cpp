// File > Print... and Export PDF..., and the timeline's Print... and PDF: the pages are read back
// from the PDF with pdftotext. Ctrl+P prints what the active window shows.
#include <QApplication>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include "support/window_test_support.h"
#include "window/frm_natal_pos.h"
#include "window/frm_timeline.h"

using namespace tavrolin;

namespace {

// The text of a PDF's pages (form feeds between them), blanks runs made one blank.
QStringList pdf_pages(const QString& path) {
    QProcess p;
    p.start("pdftotext", {"-layout", path, "-"});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) return {"<pdftotext failed>"};
    QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split('\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty()) pages.removeLast();
    for (QString& page : pages) page = page.simplified();
    return pages;
}

// A preview that prints straight into a PDF file, as the user's Print button in the preview would.
PrintPreview into_pdf(const QString& path, int* shown) {
    return [path, shown](QWidget*, QPrinter& printer, const std::function<void(QPrinter*)>& paint) {
        ++*shown;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        paint(&printer);
    };
}

}  // namespace

class PrintTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (QStandardPaths::findExecutable("pdftotext").isEmpty()) QSKIP("pdftotext (poppler-utils) is not installed");
    }

    // Before a run there is nothing to print. After one, Ctrl+P in the main window prints the
    // listing and Export PDF writes the same pages; in the natal positions window Ctrl+P prints
    // its report; in the timeline window its picture; the timeline's save dialog writes a PDF.
    void listingReportAndTimelineOnPagesWithTheirHeader() {
        WindowFixture f;
        int shown = 0;
        f.w->print_command().preview = into_pdf(f.path("printed.pdf"), &shown);
        f.w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.w.get()));
        QTest::keyClick(f.w.get(), Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(shown, 0);
        QCOMPARE(f.w->statusBar()->currentMessage(), QString("Nothing to print: run a calculation first."));

        f.great_conjunction();
        QTest::mouseClick(f.get<QPushButton>("cmdTavrolin"), Qt::LeftButton);
        const QString listing = f.get<QPlainTextEdit>("txtResults_1")->toPlainText();
        QVERIFY(listing.contains("Jupiter 000 Saturn 12/21/2020"));
        // The header is the run's, not the boxes' after it.
        f.get<QLineEdit>("txtStartdate")->setText("01/01/1999");
        const QString header = "Tavrolin " TAVROLIN_VERSION ": Transit to transit planets Natal data: 09/22/1949 16.43 GMT "
                               "Time zone: 0 From 12/01/2020 to 12/31/2020 ";
        QTest::keyClick(f.w.get(), Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(shown, 1);
        const QStringList printed = pdf_pages(f.path("printed.pdf"));
        QCOMPARE(printed, QStringList({header + listing.simplified() + " Page 1 of 1"}));

        f.dialogs->answer(f.path("listing.pdf"));
        f.get<QAction>("mnuFileExportPdf")->trigger();
        QCOMPARE(f.w->statusBar()->currentMessage(), "Exported the PDF to " + f.path("listing.pdf"));
        QCOMPARE(pdf_pages(f.path("listing.pdf")), printed);
        QCOMPARE(f.dialogs->requests.back().filter, QString("PDF document (*.pdf)"));

        // The natal report, when its window is the active one.
        f.get<QAction>("mnuNatalPlanetPositionsLongitude")->trigger();
        frmNatalPos* report = f.w->natal_pos_window();
        QVERIFY(report != nullptr);
        report->activateWindow();
        // A window of the main window's counts as active with it; the report's own activation is wanted.
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(report));
        QTest::keyClick(report->RichText1, Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(shown, 2);
        const QStringList report_pages = pdf_pages(f.path("printed.pdf"));
        QCOMPARE(report_pages, QStringList("Tavrolin " TAVROLIN_VERSION ": " + report->windowTitle() + " Natal data: 09/22/1949 "
                                           "16.43 GMT Time zone: 0 " + report->RichText1->toPlainText().simplified() + " Page 1 of 1"));

        // The timeline: printed through its own preview, saved as a PDF from its save dialog.
        f.get<QAction>("mnuViewTimeline")->trigger();
        frmTimeline* t = f.w->timeline_window();
        QVERIFY(t != nullptr);
        int timeline_shown = 0;
        t->print_preview = into_pdf(f.path("timeline-printed.pdf"), &timeline_shown);
        t->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(t));
        f.dialogs->choices.push_back(0);
        QTest::keyClick(t->canvas(), Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(std::pair(timeline_shown, shown), std::pair(1, 2));
        f.dialogs->choices.push_back(1);
        f.dialogs->answer(f.path("timeline.pdf"));
        t->mnuSaveImage->trigger();
        QCOMPARE(t->statusBar()->currentMessage(), "Saved " + f.path("timeline.pdf"));
        for (const QString file : {"timeline-printed.pdf", "timeline.pdf"}) {
            const QStringList pages = pdf_pages(f.path(file));
            QCOMPARE(pages.size(), 1);
            QVERIFY2(pages[0].startsWith(header) && pages[0].contains("Jupiter 000 Saturn") && pages[0].endsWith("Page 1 of 1"),
                     qPrintable(file + ": " + pages[0]));
        }
    }

    // A timeline of many lanes goes over several pages, each lane once; the real preview dialog
    // opens on Print... and closes again.
    void manyLanesOverSeveralPagesAndTheRealPreview() {
        WindowFixture f;
        f.set_run("01/01/2020", "12/31/2021", 1, {0, 1, 2, 3, 4, 5, 6}, {0, 1, 2, 3, 4, 5, 6}, {0, 5, 7, 9, 12, 14, 16, 17});
        QTest::mouseClick(f.get<QPushButton>("cmdTavrolin"), Qt::LeftButton);
        f.get<QAction>("mnuViewTimeline")->trigger();
        frmTimeline* t = f.w->timeline_window();
        const int lanes = static_cast<int>(t->timeline().lanes.size());
        QVERIFY2(lanes > 100, qPrintable(QString::number(lanes)));
        f.dialogs->choices.push_back(0);
        f.dialogs->answer(f.path("all.pdf"));
        t->mnuSaveImage->trigger();
        const QStringList pages = pdf_pages(f.path("all.pdf"));
        QVERIFY2(pages.size() >= 3, qPrintable(QString::number(pages.size())));
        const QString all = pages.join(' ') + ' ';
        for (const TimelineLane& lane : t->timeline().lanes)
            QVERIFY2(all.count(QString::fromStdString(lane.label) + ' ') == 1, lane.label.c_str());
        for (int p = 0; p < pages.size(); ++p) QVERIFY(pages[p].endsWith(QString("Page %1 of %2").arg(p + 1).arg(pages.size())));

        // The toolkit's preview: shown, then closed by the test as the user would.
        f.w->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(f.w.get()));
        bool seen = false;
        QTimer::singleShot(0, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* d = qobject_cast<QPrintPreviewDialog*>(w); d && d->isVisible()) {
                    seen = true;
                    d->reject();
                }
            }
        });
        f.get<QAction>("mnuFilePrint")->trigger();
        QVERIFY(seen);
    }
};

QTEST_MAIN(PrintTest)
#include "print_test.moc"
