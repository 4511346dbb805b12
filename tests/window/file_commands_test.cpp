// The main window's settings files, favourites and natal data files, and the help window's text
// files, driven through menus, buttons and keys with the file dialog answered by the test.
#include <QRegularExpression>

#include "support/window_test_support.h"
#include "window/frm_help_files.h"

namespace {

// Everything a settings file holds, plus the inputs that it does not hold.
std::string state(const frmTavrolin& w) {
    const tavrolin::ControlValues cv = w.control_values();
    return tavrolin::settings_file_text(cv) + cv.years_back + "|" + cv.user_defined_angle + "|" + std::to_string(cv.date_only);
}

void change_everything(frmTavrolin& w) {
    for (const QString name : {"txtStartdate", "txtEndDate", "txtZodiacDegree", "txtNatalDate", "txtNatalTime"})
        control(w, name)->setText(name == "txtEndDate" ? "" : "1.5");
    control(w, "txtTZ")->setText("America/Argentina/Buenos_Aires");  // a zone name comes back whole
    const QRegularExpression toggled("^chk(Aspects_\\d+|P1Planets_\\d+|Helio|P2Planets_G_or_H|Use_ET|SortOutput|ApparentPos)$");
    for (auto* box : w.findChildren<QCheckBox*>(toggled)) box->setChecked(!box->isChecked());
    QTest::mouseClick(control<QRadioButton>(w, "optNatal_Transit_Progressed_3"), Qt::LeftButton);
}

const QString help_caption = "Tavrolin Help File - ";

}  // namespace

class FileCommandsTest : public QObject {
    Q_OBJECT

private slots:
    // Each kind of file keeps its own folder and file for its dialogs.
    void filesSavedAndLoadedBackChangeNothing() {
        WindowFixture f;
        QVERIFY(QDir(f.dir.path()).mkpath("settings") && QDir(f.dir.path()).mkpath("people"));
        const QString initial = f.path("settings/initial.opt"), changed = f.path("settings/changed.opt");
        const QString person = f.path("people/person.dat");
        const std::string initial_state = state(*f.w);
        for (const QString& answer : {initial, person}) f.dialogs->answer(answer);
        f.get<QAction>("mnuFileSaveSettings")->trigger();
        f.get<QPushButton>("cmdSave")->click();
        QCOMPARE(read_file(person), QByteArray("09/22/1949\r\n16.43\r\n8\r\n"));
        change_everything(*f.w);
        const std::string changed_state = state(*f.w);
        for (const QString& answer : {changed, initial, changed}) f.dialogs->answer(answer);
        f.get<QAction>("mnuFileSaveSettings")->trigger();
        f.get<QAction>("mnuFileLoadSettings")->trigger();
        QCOMPARE(state(*f.w), initial_state);
        f.get<QAction>("mnuFileLoadSettings")->trigger();
        QCOMPARE(state(*f.w), changed_state);
        // The natal data file sets its three boxes only.
        f.dialogs->answer(person);
        f.get<QPushButton>("cmdOpen")->click();
        QCOMPARE(f.get("txtNatalDate")->text() + "|" + f.get("txtNatalTime")->text() + "|" + f.get("txtTZ")->text() + "|" +
                     f.get("txtStartdate")->text(),
                 QString("09/22/1949|16.43|8|1.5"));

        QStringList requests;
        for (const auto& r : f.dialogs->requests) requests << r.title + "|" + r.initial_folder + "|" + r.initial_file;
        QCOMPARE(requests, QStringList({"Save settings file|" + f.dir.path() + "|",
                                        "Save natal data file|" + f.dir.path() + "|",
                                        "Save settings file|" + f.path("settings") + "|" + initial,
                                        "Load settings file|" + f.path("settings") + "|" + changed,
                                        "Load settings file|" + f.path("settings") + "|" + initial,
                                        "Load natal data file|" + f.path("people") + "|" + person}));
        QVERIFY2(f.dialogs->failures.isEmpty(), qPrintable(f.dialogs->failures.join('\n')));
    }

    // The birth place goes with the natal data: three more lines, opened back; a file without one clears it.
    void natalDataFileCarriesTheBirthPlace() {
        WindowFixture f;
        for (const char* box : {"txtBirthPlace", "txtLatitude", "txtLongitude"}) QTest::keyClicks(f.get(box), "1");
        for (const char* name : {"with.dat", "with.dat", "none.dat"}) f.dialogs->answer(f.path(name));
        f.get<QPushButton>("cmdSave")->click();
        QVERIFY(write_file(f.path("none.dat"), "09/22/1949\r\n16.43\r\n8\r\n"));
        for (const char* place : {"111", ""}) {
            f.get("txtBirthPlace")->clear();
            f.get<QPushButton>("cmdOpen")->click();
            QCOMPARE(f.get("txtBirthPlace")->text() + f.get("txtLatitude")->text() + f.get("txtLongitude")->text(), QString(place));
        }
        // A damaged place line: the date, time and zone still load, and the status bar says what was wrong.
        QVERIFY(write_file(f.path("bad.dat"), "05/06/1970\r\n16.43\r\n8\r\nParis\r\n91N00\r\n2E21\r\n"));
        f.dialogs->answer(f.path("bad.dat"));
        f.get<QPushButton>("cmdOpen")->click();
        QCOMPARE(f.get("txtNatalDate")->text() + f.get("txtLatitude")->text(), QString("05/06/1970"));
        QVERIFY2(f.w->statusBar()->currentMessage().endsWith("; the birth place was not loaded)"), qPrintable(f.w->statusBar()->currentMessage()));
    }

    void favouritesKeepTheRangeAndTheDegreeAndAskNothing() {
        WindowFixture f;
        tavrolin::ControlValues fav = f.w->control_values();
        fav.start_date = "01/01/1999";
        fav.zodiac_degree = "300";
        fav.natal_date = "05/06/1970";
        fav.p1_planets[0] = 1;
        QVERIFY(tavrolin::save_settings_file(f.path("fav1.opt").toStdString(), fav));
        f.w->file_commands().last_folder = "/earlier";
        f.w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.w.get()));
        QTest::keyClick(f.w.get(), Qt::Key_F1, Qt::ControlModifier);
        QCOMPARE(f.get("txtStartdate")->text() + "|" + f.get("txtZodiacDegree")->text() + "|" + f.get("txtNatalDate")->text(),
                 QString("12/01/2005|179.331227|05/06/1970"));
        QVERIFY(f.get<QCheckBox>("chkP1Planets_0")->isChecked());
        QVERIFY(f.dialogs->requests.empty());
        QCOMPARE(f.w->file_commands().last_folder + f.w->file_commands().opt_file_path, QString("/earlier"));
        // A favourite that is not there: nothing happens and nothing is said.
        const std::string before = state(*f.w);
        QTest::keyClick(f.w.get(), Qt::Key_F2, Qt::ControlModifier);
        QCOMPARE(state(*f.w), before);
        QVERIFY(f.dialogs->failures.isEmpty());
    }

    void cancelledOrFailedCommandsChangeNothingAndSayWhy() {
        WindowFixture f;
        change_everything(*f.w);
        const std::string before = state(*f.w);
        for (auto command : {&tavrolin::FileCommands::mnuFileLoadSettings_Click, &tavrolin::FileCommands::mnuFileSaveSettings_Click,
                             &tavrolin::FileCommands::cmdOpen_Click, &tavrolin::FileCommands::cmdSave_Click}) {
            f.dialogs->cancel();
            (f.w->file_commands().*command)();
        }
        QVERIFY(f.w->file_commands().opt_file_path.isEmpty() && f.w->file_commands().dat_file_path.isEmpty());
        QVERIFY(f.dialogs->failures.isEmpty());

        QVERIFY(write_file(f.path("short.opt"), QByteArray("1\r\n").repeated(80)));
        QVERIFY(write_file(f.path("short.dat"), "01/01/1999\n12.00\n"));
        QVERIFY(write_file(f.path("plain"), "x"));  // a file in the way of a folder: fails even for root
        for (const QString name : {"short.opt", "short.dat", "plain/new.opt", "plain/new.dat"}) f.dialogs->answer(f.path(name));
        f.get<QAction>("mnuFileLoadSettings")->trigger();
        f.get<QPushButton>("cmdOpen")->click();
        f.get<QAction>("mnuFileSaveSettings")->trigger();
        f.get<QPushButton>("cmdSave")->click();
        QCOMPARE(state(*f.w), before);
        QCOMPARE(read_file(f.path("plain")), QByteArray("x"));
        const QStringList& failures = f.dialogs->failures;
        QCOMPARE(failures.size(), 4);
        QVERIFY2(failures[0].startsWith(f.path("short.opt") + ": has 80 lines; a settings file has 81"), qPrintable(failures[0]));
        QVERIFY2(failures[1].startsWith(f.path("short.dat") + ": has 2 lines"), qPrintable(failures[1]));
        for (const QString& message : {failures[2], failures[3]})
            QVERIFY2(message.contains(f.path("plain/new.")) && message.contains("Not a directory"), qPrintable(message));
    }

    void helpShowsItsFileAndLoadsAndSavesOthersAsTheyCame() {
        WindowFixture f;
        f.get<QAction>("mnuHelp")->trigger();
        const QString missing = f.w->help_window()->RichText1->toPlainText();
        QVERIFY2(missing.contains(f.path("help.txt") + ": cannot be read: No such file or directory"), qPrintable(missing));
        QVERIFY(QDir(f.dir.path()).mkpath("data") && write_file(f.path("data/help.txt"), "shipped"));
        f.get<QAction>("mnuHelp")->trigger();
        QCOMPARE(f.w->help_window()->windowTitle(), help_caption + f.path("data/help.txt"));
        QVERIFY(write_file(f.path("help.txt"), "First line\r\n\r\nThird line\r\n"));  // beside the program first
        f.get<QAction>("mnuHelp")->trigger();
        QCOMPARE(f.w->help_window()->RichText1->toPlainText(), QString("First line\n\nThird line\n"));
        QVERIFY(write_file(f.path("plain"), "x"));
        // Latin-1 text with LF line ends, from another system.
        QVERIFY(write_file(f.path("notes.txt"), "Caf\xE9 du Soleil\n12\xB0 Leo\n"));
        frmHelpFiles* h = f.w->help_window();
        f.dialogs->answer(f.path("notes.txt"));
        QTest::mouseClick(h->cmdLoadFile, Qt::LeftButton);
        QCOMPARE(h->RichText1->toPlainText(), QString::fromUtf8("Caf\u00E9 du Soleil\n12\u00B0 Leo\n"));
        f.dialogs->answer(f.path("copy.txt"));
        QTest::mouseClick(h->cmdSaveAsFile, Qt::LeftButton);
        QCOMPARE(read_file(f.path("copy.txt")), QByteArray("Caf\xE9 du Soleil\r\n12\xB0 Leo\r\n"));
        QCOMPARE(h->windowTitle(), help_caption + f.path("copy.txt"));
        // A character beyond Latin-1 typed in: the text is saved as UTF-8 rather than lost.
        h->RichText1->setPlainText(QString::fromUtf8("\u00E9 \u2643"));
        f.dialogs->answer(f.path("mine.txt"));
        h->cmdSaveAsFile->click();
        QCOMPARE(read_file(f.path("mine.txt")), QByteArray("\xC3\xA9 \xE2\x99\x83"));

        // A cancel, a file that cannot be read and a failed save keep the edits and say why.
        h->RichText1->setPlainText("unsaved edits");
        f.dialogs->cancel();
        h->cmdLoadFile->click();
        f.dialogs->answer(f.path("gone.txt"));
        h->cmdLoadFile->click();
        f.dialogs->answer(f.path("plain/help.txt"));
        h->cmdSaveAsFile->click();
        QCOMPARE(h->RichText1->toPlainText(), QString("unsaved edits"));
        QCOMPARE(h->windowTitle(), help_caption + f.path("mine.txt"));
        QCOMPARE(f.dialogs->failures.size(), 2);
        QVERIFY2(f.dialogs->failures[0].startsWith(f.path("gone.txt") + ": cannot be read"), qPrintable(f.dialogs->failures[0]));
        QVERIFY2(f.dialogs->failures[1].contains("Not a directory"), qPrintable(f.dialogs->failures[1]));
    }
};

QTEST_MAIN(FileCommandsTest)
#include "file_commands_test.moc"
