// The help window: its text file, its two buttons, its captions and its size rule.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "support/scripted_dialogs.h"
#include "window/frm_help_files.h"
#include "support/window_test_support.h"
#include "window/frm_tavrolin.h"

namespace {

struct Fixture {
    QTemporaryDir dir;
    std::shared_ptr<ScriptedDialogs> dialogs = std::make_shared<ScriptedDialogs>();
    std::unique_ptr<frmTavrolin> w;

    // The program's folder is the temporary folder unless given.
    explicit Fixture(const QString& program_folder = QString()) {
        tavrolin::WindowSetup setup;
        setup.program_folder = program_folder.isEmpty() ? dir.path() : program_folder;
        setup.screen_size_twips = QSize(12000, 12000);
        setup.date_order = 0;
        setup.file_dialogs = dialogs;
        w = std::make_unique<frmTavrolin>(setup);
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    frmHelpFiles* open_help() {
        w->mnuHelp->trigger();
        return w->help_window();
    }
};

const QString caption = "Tavrolin Help File - ";

}  // namespace

class HelpWindowTest : public QObject {
    Q_OBJECT

private slots:
    void showsHelpTxtBesideTheProgramElseInItsDataFolder() {
        Fixture f;
        QVERIFY(QDir(f.dir.path()).mkpath("data"));
        QVERIFY(write_file(f.path("data/help.txt"), "shipped"));
        frmHelpFiles* h = f.open_help();
        QCOMPARE(h->RichText1->toPlainText(), QString("shipped"));
        QCOMPARE(h->windowTitle(), caption + f.path("data/help.txt"));
        QVERIFY(write_file(f.path("help.txt"), "First line\r\n\r\nThird line\r\n"));
        h = f.open_help();
        QVERIFY(h->isVisible() && h->isWindow());
        QCOMPARE(h->RichText1->toPlainText(), QString("First line\n\nThird line\n"));
        QCOMPARE(h->windowTitle(), caption + f.path("help.txt"));
        QCOMPARE(h->RichText1->font().family() + " " + QString::number(h->RichText1->font().pointSize()),
                 QString("Courier New 9"));
        for (QPushButton* b : {h->cmdLoadFile, h->cmdSaveAsFile}) {
            QCOMPARE(b->font().family() + " " + QString::number(b->font().pointSizeF()), QString("MS Sans Serif 9.75"));
            QVERIFY(b->font().bold());
        }
        QCOMPARE(h->cmdLoadFile->text() + "|" + h->cmdSaveAsFile->text(), QString("Edit/Load help file|Save help file"));
    }

    void missingHelpTxtIsSaidInTheBoxAndTheWindowStaysUsable() {
        Fixture f;
        frmHelpFiles* h = f.open_help();
        const QString text = h->RichText1->toPlainText();
        QVERIFY2(text.contains(f.path("help.txt") + ": cannot be read: No such file or directory"), qPrintable(text));
        QCOMPARE(h->windowTitle(), caption + f.path("help.txt"));
        QVERIFY(write_file(f.path("notes.txt"), "notes"));
        f.dialogs->answer(f.path("notes.txt"));
        QTest::mouseClick(h->cmdLoadFile, Qt::LeftButton);
        QCOMPARE(h->RichText1->toPlainText(), QString("notes"));
    }

    void loadAndSaveUnderAnotherName() {
        Fixture f;
        QVERIFY(write_file(f.path("help.txt"), "help"));
        QVERIFY(QDir(f.dir.path()).mkpath("elsewhere"));
        QVERIFY(write_file(f.path("elsewhere/notes.txt"), "Notes on Ann\nSaturn return 2008\n"));
        frmHelpFiles* h = f.open_help();
        f.dialogs->answer(f.path("elsewhere/notes.txt"));
        h->cmdLoadFile->click();
        QCOMPARE(h->RichText1->toPlainText(), QString("Notes on Ann\nSaturn return 2008\n"));
        // The caption names help.txt whatever was loaded.
        QCOMPARE(h->windowTitle(), caption + "help.txt");

        h->RichText1->setPlainText(QString::fromUtf8("My notes\n\nJupiter \u2643 trine Sun\n"));
        f.dialogs->answer(f.path("mine.txt"));
        QTest::mouseClick(h->cmdSaveAsFile, Qt::LeftButton);
        QCOMPARE(read_file(f.path("mine.txt")), QByteArray("My notes\r\n\r\nJupiter \xE2\x99\x83 trine Sun\r\n"));
        QCOMPARE(h->windowTitle(), caption + f.path("mine.txt"));
        QCOMPARE(read_file(f.path("elsewhere/notes.txt")), QByteArray("Notes on Ann\nSaturn return 2008\n"));

        // "save|title|filter|suffix|folder|file": the folder is always the program's, the file the
        // one in use.
        QStringList requests;
        for (const auto& r : f.dialogs->requests) {
            requests << QStringList({r.save ? "1" : "0", r.title, r.filter, r.default_suffix, r.initial_folder,
                                     r.initial_file}).join('|');
        }
        const QString filter = "|Help Files (*.txt) | *.txt|txt|" + f.dir.path() + "|";
        QCOMPARE(requests, QStringList({"0|Load help file" + filter + f.path("help.txt"),
                                        "1|Save help file" + filter + f.path("elsewhere/notes.txt")}));
    }

    void eightBitTextComesBackAsItWas() {
        Fixture f;
        // Latin-1 text with a no-break space and LF line ends, from another system.
        QVERIFY(write_file(f.path("help.txt"), "Caf\xE9\xA0" "du Soleil\n12\xB0 Leo\n"));
        frmHelpFiles* h = f.open_help();
        QCOMPARE(h->RichText1->toPlainText().left(4), QString::fromUtf8("Caf\u00E9"));
        f.dialogs->answer(f.path("copy.txt"));
        h->cmdSaveAsFile->click();
        QCOMPARE(read_file(f.path("copy.txt")), QByteArray("Caf\xE9\xA0" "du Soleil\r\n12\xB0 Leo\r\n"));
        // A character beyond Latin-1 typed in: the text is saved as UTF-8 rather than lost.
        h->RichText1->setPlainText(QString::fromUtf8("\u00E9 \u2643"));
        f.dialogs->answer(f.path("copy.txt"));
        h->cmdSaveAsFile->click();
        QCOMPARE(read_file(f.path("copy.txt")), QByteArray("\xC3\xA9 \xE2\x99\x83"));
    }

    void cancelOrFailureLosesNothing() {
        Fixture f;
        QVERIFY(write_file(f.path("help.txt"), "help"));
        QVERIFY(write_file(f.path("plain"), "x"));
        frmHelpFiles* h = f.open_help();
        h->RichText1->setPlainText("unsaved edits");
        const QString title = h->windowTitle();
        f.dialogs->cancel();
        h->cmdLoadFile->click();
        f.dialogs->cancel();
        h->cmdSaveAsFile->click();
        QVERIFY(f.dialogs->failures.isEmpty());
        QCOMPARE(h->help_file_path, f.path("help.txt"));
        // A file that cannot be read, a folder, and a save under a file in the way of the folder.
        for (const QString& bad : {f.path("gone.txt"), f.dir.path()}) {
            f.dialogs->answer(bad);
            h->cmdLoadFile->click();
        }
        f.dialogs->answer(f.path("plain/help.txt"));
        h->cmdSaveAsFile->click();
        QCOMPARE(h->RichText1->toPlainText(), QString("unsaved edits"));
        QCOMPARE(h->windowTitle(), title);
        QCOMPARE(read_file(f.path("help.txt")) + read_file(f.path("plain")), QByteArray("helpx"));
        QCOMPARE(f.dialogs->failures.size(), 3);
        QVERIFY2(f.dialogs->failures[0].startsWith(f.path("gone.txt") + ": cannot be read"), qPrintable(f.dialogs->failures[0]));
        QVERIFY2(f.dialogs->failures[2].contains(f.path("plain/help.txt")) && f.dialogs->failures[2].contains("Not a directory"),
                 qPrintable(f.dialogs->failures[2]));
    }

    void resizingTheWindowResizesTheBox() {
        Fixture f;
        frmHelpFiles* h = f.open_help();
        // The rule works on the outer size, frame included. Offscreen has 15 twips to the pixel:
        // 933 x 533 pixels are 13995 x 7995 twips, as near to 14000 x 8000 as pixels go.
        const QSize frame = h->frameGeometry().size() - h->size();
        h->resize(QSize(933, 533) - frame);
        QCOMPARE(h->frameGeometry().size(), QSize(933, 533));
        QCOMPARE(h->box_size_twips(), QSize(12350, 7415));
        QCOMPARE(h->RichText1->geometry(), QRect(96, 4, 823, 494));  // 1440, 60, 12350, 7415 twips
        h->resize(50, 20);
        QCOMPARE(h->RichText1->size(), QSize(0, 0));
        // Minimized, the box keeps its size.
        h->resize(QSize(933, 533) - frame);
        h->setWindowState(Qt::WindowMinimized);
        h->resize(700, 400);
        QCOMPARE(h->RichText1->size(), QSize(823, 494));
    }

    void helpAgainDiscardsEditsAndClosingReturnsToTheMainWindow() {
        Fixture f;
        QVERIFY(write_file(f.path("help.txt"), "help"));
        f.w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.w.get()));
        QPointer<frmHelpFiles> first = f.open_help();
        first->RichText1->setPlainText("edited");
        QPointer<frmHelpFiles> second = f.open_help();
        QCOMPARE(second->RichText1->toPlainText(), QString("help"));
        QTRY_VERIFY(first.isNull());

        second->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(second.data()));
        second->close();
        QTRY_VERIFY(second.isNull());
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(f.w.get()));
    }

    void shippedHelpTextDescribesEveryCommand() {
        // The build copies the help text into data/ beside the programs; this test program is one.
        Fixture f(QCoreApplication::applicationDirPath());
        frmHelpFiles* h = f.open_help();
        QCOMPARE(h->windowTitle(), caption + QCoreApplication::applicationDirPath() + "/data/help.txt");
        const QString text = h->RichText1->toPlainText();
        QStringList missing;
        auto need = [&](const QString& words) {
            if (!text.contains(QRegularExpression("\\b" + QRegularExpression::escape(words) + "(\\W|$)"))) missing << words;
        };
        for (QAction* top : f.w->menuBar()->actions()) {
            need(top->text().remove('&'));
            if (top->menu() == nullptr) continue;
            for (QAction* a : top->menu()->actions()) {
                if (a->isSeparator()) continue;
                need(a->text().remove('&'));
                need(a->shortcut().toString());
            }
        }
        for (QPushButton* b : f.w->findChildren<QPushButton*>()) need(b->text());
        for (const char* words : {"Apparent pos.?", "Use ET", "Sort Output", "Ignore duplicates", "Copy date only",
                                  "Helio", "Yrs back", "Time Zone", "Zodiac decimal degree", "Natal time (GMT)"})
            need(words);
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(", ")));
    }
};

QTEST_MAIN(HelpWindowTest)
#include "help_window_test.moc"
