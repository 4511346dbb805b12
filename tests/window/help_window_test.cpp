// The help window: its text file, its two buttons, its captions and its size rule.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "support/scripted_dialogs.h"
#include "window/frm_help_files.h"
#include "window/frm_tavrolin.h"

namespace {

QByteArray read_file(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool write_file(const QString& path, const QByteArray& content) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

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

QString without_mnemonic(QString text) { return text.remove('&'); }

}  // namespace

class HelpWindowTest : public QObject {
    Q_OBJECT

private slots:
    void showsHelpTxtOfTheProgramsFolder() {
        Fixture f;
        QVERIFY(write_file(f.path("help.txt"), "First line\r\n\r\nThird line\r\n"));
        frmHelpFiles* h = f.open_help();
        QVERIFY(h != nullptr);
        QVERIFY(h->isVisible());
        QVERIFY(h->isWindow());
        QCOMPARE(h->RichText1->toPlainText(), QString("First line\n\nThird line\n"));
        QCOMPARE(h->windowTitle(), "Tavrolin Help File - " + f.path("help.txt"));
        QCOMPARE(h->help_file_path, f.path("help.txt"));
        QCOMPARE(h->RichText1->font().family(), QString("Courier New"));
        QCOMPARE(h->RichText1->font().pointSize(), 9);
        QVERIFY(!h->RichText1->isReadOnly());
        for (QPushButton* b : {h->cmdLoadFile, h->cmdSaveAsFile}) {
            QCOMPARE(b->font().family(), QString("MS Sans Serif"));
            QCOMPARE(b->font().pointSizeF(), 9.75);
            QVERIFY(b->font().bold());
        }
        QCOMPARE(h->cmdLoadFile->text(), QString("Edit/Load help file"));
        QCOMPARE(h->cmdSaveAsFile->text(), QString("Save help file"));
        QCOMPARE(h->cmdLoadFile->objectName(), QString("cmdLoadFile"));
        QCOMPARE(h->cmdSaveAsFile->objectName(), QString("cmdSaveAsFile"));
        QCOMPARE(h->RichText1->objectName(), QString("RichText1"));
    }

    void helpTxtIsLookedForBesideTheProgramThenInItsDataFolder() {
        Fixture f;
        QVERIFY(QDir(f.dir.path()).mkpath("data"));
        QVERIFY(write_file(f.path("data/help.txt"), "shipped"));
        frmHelpFiles* h = f.open_help();
        QCOMPARE(h->RichText1->toPlainText(), QString("shipped"));
        QCOMPARE(h->windowTitle(), "Tavrolin Help File - " + f.path("data/help.txt"));
        QVERIFY(write_file(f.path("help.txt"), "own"));
        h = f.open_help();
        QCOMPARE(h->RichText1->toPlainText(), QString("own"));
        QCOMPARE(h->windowTitle(), "Tavrolin Help File - " + f.path("help.txt"));
    }

    void missingHelpTxtIsSaidInTheBoxAndTheWindowStaysUsable() {
        Fixture f;
        frmHelpFiles* h = f.open_help();
        const QString text = h->RichText1->toPlainText();
        QVERIFY2(text.contains(f.path("help.txt")), qPrintable(text));
        QVERIFY2(text.contains("No such file or directory"), qPrintable(text));
        QCOMPARE(h->windowTitle(), "Tavrolin Help File - " + f.path("help.txt"));
        QVERIFY(h->cmdLoadFile->isEnabled());
        QVERIFY(write_file(f.path("notes.txt"), "notes"));
        f.dialogs->answer(f.path("notes.txt"));
        QTest::mouseClick(h->cmdLoadFile, Qt::LeftButton);
        QCOMPARE(h->RichText1->toPlainText(), QString("notes"));
    }

    void loadPutsAnotherFileIntoTheBox() {
        Fixture f;
        QVERIFY(write_file(f.path("help.txt"), "help"));
        QVERIFY(QDir(f.dir.path()).mkpath("elsewhere"));
        QVERIFY(write_file(f.path("elsewhere/notes.txt"), "Notes on Ann\nSaturn return 2008\n"));
        frmHelpFiles* h = f.open_help();
        f.dialogs->answer(f.path("elsewhere/notes.txt"));
        h->cmdLoadFile->click();
        QCOMPARE(h->RichText1->toPlainText(), QString("Notes on Ann\nSaturn return 2008\n"));
        // The caption names help.txt whatever was loaded; the path in use is the file loaded.
        QCOMPARE(h->windowTitle(), QString("Tavrolin Help File - help.txt"));
        QCOMPARE(h->help_file_path, f.path("elsewhere/notes.txt"));
        f.dialogs->cancel();
        h->cmdLoadFile->click();

        // "save|title|filter|suffix|folder|file": the folder is always the program's.
        QStringList requests;
        for (const auto& r : f.dialogs->requests) {
            requests << QStringList({r.save ? "1" : "0", r.title, r.filter, r.default_suffix, r.initial_folder,
                                     r.initial_file})
                            .join('|');
        }
        const QString folder = f.dir.path();
        QCOMPARE(requests, QStringList({"0|Load help file|Help Files (*.txt) | *.txt|txt|" + folder + "|" +
                                            f.path("help.txt"),
                                        "0|Load help file|Help Files (*.txt) | *.txt|txt|" + folder + "|" +
                                            f.path("elsewhere/notes.txt")}));
    }

    void unreadableFileOnLoadKeepsTheBoxAndSaysWhy() {
        Fixture f;
        QVERIFY(write_file(f.path("help.txt"), "help"));
        frmHelpFiles* h = f.open_help();
        h->RichText1->setPlainText("unsaved edits");
        const QString caption = h->windowTitle();
        for (const QString& bad : {f.path("gone.txt"), f.dir.path()}) {
            f.dialogs->answer(bad);
            h->cmdLoadFile->click();
            QCOMPARE(h->RichText1->toPlainText(), QString("unsaved edits"));
            QCOMPARE(h->windowTitle(), caption);
            QVERIFY2(f.dialogs->failures.last().contains(bad + ": cannot be read"), qPrintable(f.dialogs->failures.last()));
        }
        QCOMPARE(f.dialogs->failures.size(), 2);
    }

    void saveWritesTheBoxAsPlainTextUnderTheChosenName() {
        Fixture f;
        QVERIFY(write_file(f.path("help.txt"), "help"));
        frmHelpFiles* h = f.open_help();
        h->RichText1->setPlainText(QString::fromUtf8("My notes\n\nJupiter \u2643 trine Sun\n"));
        f.dialogs->answer(f.path("mine.txt"));
        QTest::mouseClick(h->cmdSaveAsFile, Qt::LeftButton);
        QCOMPARE(read_file(f.path("mine.txt")), QByteArray("My notes\r\n\r\nJupiter \xE2\x99\x83 trine Sun\r\n"));
        QCOMPARE(h->windowTitle(), "Tavrolin Help File - " + f.path("mine.txt"));
        QCOMPARE(read_file(f.path("help.txt")), QByteArray("help"));
        QCOMPARE(f.dialogs->requests.back().title, QString("Save help file"));
        QVERIFY(f.dialogs->requests.back().save);
        QCOMPARE(f.dialogs->requests.back().initial_file, f.path("help.txt"));
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

    void cancelledOrFailedDialogsChangeNothing() {
        Fixture f;
        QVERIFY(write_file(f.path("help.txt"), "help"));
        QVERIFY(write_file(f.path("plain"), "x"));
        frmHelpFiles* h = f.open_help();
        h->RichText1->setPlainText("edited");
        const QString caption = h->windowTitle();
        f.dialogs->cancel();
        h->cmdLoadFile->click();
        f.dialogs->cancel();
        h->cmdSaveAsFile->click();
        QCOMPARE(h->RichText1->toPlainText(), QString("edited"));
        QCOMPARE(h->windowTitle(), caption);
        QCOMPARE(h->help_file_path, f.path("help.txt"));
        QCOMPARE(read_file(f.path("help.txt")), QByteArray("help"));
        QVERIFY(f.dialogs->failures.isEmpty());

        // A file in the way of the folder: the save fails, says where and why, and keeps the caption.
        f.dialogs->answer(f.path("plain/help.txt"));
        h->cmdSaveAsFile->click();
        QCOMPARE(f.dialogs->failures.size(), 1);
        QVERIFY2(f.dialogs->failures[0].contains(f.path("plain/help.txt")), qPrintable(f.dialogs->failures[0]));
        QVERIFY2(f.dialogs->failures[0].contains("Not a directory"), qPrintable(f.dialogs->failures[0]));
        QCOMPARE(h->windowTitle(), caption);
        QCOMPARE(read_file(f.path("plain")), QByteArray("x"));
    }

    void boxSizeRule_data() {
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QSize>("box");
        QTest::newRow("enlarged") << QSize(14000, 8000) << QSize(12355, 7420);
        QTest::newRow("design size") << QSize(12660, 6180) << QSize(11015, 5600);
        QTest::newRow("exactly the margins") << QSize(1645, 580) << QSize(0, 0);
        QTest::newRow("smaller than the margins") << QSize(1000, 300) << QSize(0, 0);
        QTest::newRow("narrow but tall") << QSize(1200, 5000) << QSize(0, 4420);
    }
    void boxSizeRule() {
        QFETCH(QSize, window);
        QFETCH(QSize, box);
        QCOMPARE(frmHelpFiles::box_size_for(window), box);
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
        QVERIFY2(qAbs(h->RichText1->width() - 824) <= 1 && qAbs(h->RichText1->height() - 495) <= 1,
                 qPrintable(QString("%1 x %2").arg(h->RichText1->width()).arg(h->RichText1->height())));
        QCOMPARE(h->RichText1->pos(), QPoint(96, 4));  // 1440 and 60 twips
        h->resize(50, 20);
        QCOMPARE(h->RichText1->size(), QSize(0, 0));
        // Minimized, the box keeps its size.
        h->resize(QSize(933, 533) - frame);
        const QSize before = h->RichText1->size();
        h->setWindowState(Qt::WindowMinimized);
        h->resize(700, 400);
        QCOMPARE(h->RichText1->size(), before);
    }

    void helpAgainDiscardsEditsAndClosingReturnsToTheMainWindow() {
        Fixture f;
        QVERIFY(write_file(f.path("help.txt"), "help"));
        f.w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.w.get()));
        QPointer<frmHelpFiles> first = f.open_help();
        first->RichText1->setPlainText("edited");
        QPointer<frmHelpFiles> second = f.open_help();
        QVERIFY(second != first);
        QCOMPARE(second->RichText1->toPlainText(), QString("help"));
        QTRY_VERIFY(first.isNull());

        second->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(second.data()));
        second->close();
        QTRY_VERIFY(second.isNull());
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(f.w.get()));
        QVERIFY(f.w->help_window() == nullptr);
    }

    void shippedHelpTextDescribesEveryCommand() {
        // The build copies the help text into data/ beside the programs; this test program is one.
        Fixture f(QCoreApplication::applicationDirPath());
        frmHelpFiles* h = f.open_help();
        QCOMPARE(h->windowTitle(), "Tavrolin Help File - " + QCoreApplication::applicationDirPath() + "/data/help.txt");
        const QString text = h->RichText1->toPlainText();
        QStringList missing;
        for (QAction* top : f.w->menuBar()->actions()) {
            if (!text.contains(without_mnemonic(top->text()))) missing << top->text();
            if (top->menu() == nullptr) continue;
            for (QAction* a : top->menu()->actions()) {
                if (a->isSeparator()) continue;
                if (!text.contains(without_mnemonic(a->text()))) missing << a->text();
                const QString key = a->shortcut().toString();
                if (!text.contains(QRegularExpression("\\b" + QRegularExpression::escape(key) + "\\b"))) missing << key;
            }
        }
        for (QPushButton* b : f.w->findChildren<QPushButton*>()) {
            if (!text.contains(b->text())) missing << b->text();
        }
        for (const char* caption : {"Apparent pos.?", "Use ET", "Sort Output", "Ignore duplicates", "Copy date only",
                                    "Helio", "Yrs back", "Time Zone", "Zodiac decimal degree", "Natal time (GMT)"}) {
            if (!text.contains(caption)) missing << caption;
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(", ")));
    }
};

QTEST_MAIN(HelpWindowTest)
#include "help_window_test.moc"
