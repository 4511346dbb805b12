// The main window's settings files, favourites, natal data files and date commands, driven
// through its menus, buttons and keys, with the file dialog answered by the test.
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "support/scripted_dialogs.h"
#include "window/files/settings_file.h"
#include "window/frm_tavrolin.h"

namespace {

struct Fixture {
    QTemporaryDir dir;
    std::shared_ptr<ScriptedDialogs> dialogs = std::make_shared<ScriptedDialogs>();
    std::unique_ptr<frmTavrolin> w;

    explicit Fixture(int date_order = 0) {
        tavrolin::WindowSetup setup;
        setup.program_folder = dir.path();
        setup.screen_size_twips = QSize(12000, 12000);
        setup.date_order = date_order;
        setup.file_dialogs = dialogs;
        w = std::make_unique<frmTavrolin>(setup);
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    // Everything a settings file holds, plus the inputs it does not hold.
    std::string state() const {
        const tavrolin::ControlValues cv = w->control_values();
        return tavrolin::settings_file_text(cv) + cv.years_back + "|" + cv.user_defined_angle + "|" +
               std::to_string(cv.date_only);
    }
};

QByteArray read_file(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool write_file(const QString& path, const QByteArray& content) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

// The lines of the window's current settings, some of them (1-based) replaced, CRLF-joined.
QByteArray settings_with(const frmTavrolin& w, std::initializer_list<std::pair<int, std::string>> changes,
                         int keep_lines = 81) {
    auto lines = tavrolin::split_lines(tavrolin::settings_file_text(w.control_values()));
    for (const auto& [n, text] : changes) lines[static_cast<std::size_t>(n - 1)] = text;
    lines.resize(static_cast<std::size_t>(keep_lines));
    QByteArray out;
    for (const auto& l : lines) out += QByteArray::fromStdString(l) + "\r\n";
    return out;
}

void change_everything(frmTavrolin& w) {
    w.txtStartdate->setText("01/01/2010");
    w.txtEndDate->setText("");
    w.txtZodiacDegree->setText("12.5");
    w.txtNatalDate->setText("03/04/1975");
    w.txtNatalTime->setText("1.5");
    w.txtTZ->setText("-3");
    for (auto* box : w.chkAspects) box->setChecked(!box->isChecked());
    for (auto* box : w.chkP1Planets) box->setChecked(!box->isChecked());
    for (auto* box : w.chkP2Planets) box->setChecked(true);
    for (auto* box : {w.chkHelio, w.chkP1Planets_G_or_H, w.chkP2Planets_G_or_H, w.chkUse_ET, w.chkSortOutput,
                      w.chkApparentPos})
        box->setChecked(!box->isChecked());
    QTest::mouseClick(w.optNatal_Transit_Progressed[1], Qt::LeftButton);
}

}  // namespace

class FileCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void settingsSavedAndLoadedBackChangeNothing() {
        Fixture f;
        const std::string initial = f.state();
        f.dialogs->answer(f.path("initial.opt"));
        f.w->mnuFileSaveSettings->trigger();
        const QByteArray saved = read_file(f.path("initial.opt"));
        QCOMPARE(saved.count("\r\n"), 81);
        QVERIFY(saved.endsWith("True - Transit to natal planets\r\nFalse - Transit to transit planets\r\n"
                               "False - Progressed to natal planets\r\nFalse - Solar arc to natal planets\r\n"));

        change_everything(*f.w);
        QVERIFY(f.state() != initial);
        f.dialogs->answer(f.path("initial.opt"));
        f.w->mnuFileLoadSettings->trigger();
        QCOMPARE(f.state(), initial);
        QVERIFY2(f.dialogs->failures.isEmpty(), qPrintable(f.dialogs->failures.join('\n')));

        // And the other way round: a changed window comes back from its file.
        change_everything(*f.w);
        f.w->txtUserDefinedAngle->setText("33");
        f.w->txtYearsBack->setText("4");
        const std::string changed = f.state();
        f.dialogs->answer(f.path("changed.opt"));
        f.w->mnuFileSaveSettings->trigger();
        f.dialogs->answer(f.path("initial.opt"));
        f.w->mnuFileLoadSettings->trigger();
        QVERIFY(f.state() != changed);
        f.dialogs->answer(f.path("changed.opt"));
        f.w->mnuFileLoadSettings->trigger();
        QCOMPARE(f.state(), changed);
    }

    void modeLinesSelectTheButtonAndItsRule_data() {
        QTest::addColumn<int>("mode_before");
        QTest::addColumn<QString>("line77");
        QTest::addColumn<QString>("options");  // first characters of lines 78..81
        QTest::addColumn<int>("mode");         // -1: no button selected
        QTest::addColumn<bool>("ignore_dups");
        QTest::newRow("mode 1 newly selected ticks it") << 0 << "0 - Ignore duplicates" << "False,True,False,False" << 1 << true;
        QTest::newRow("mode 0 newly selected clears it") << 1 << "1" << "True,False,False,False" << 0 << false;
        QTest::newRow("selected again: line 77 decides") << 1 << "0" << "False,True,False,False" << 1 << false;
        QTest::newRow("lower-case truth word") << 0 << "1" << "true,False,False,False" << -1 << true;
        QTest::newRow("later line selects again") << 2 << "0" << "False,False,False,True - x" << 3 << false;
    }
    void modeLinesSelectTheButtonAndItsRule() {
        QFETCH(int, mode_before);
        QFETCH(QString, line77);
        QFETCH(QString, options);
        QFETCH(int, mode);
        QFETCH(bool, ignore_dups);
        Fixture f;
        QTest::mouseClick(f.w->optNatal_Transit_Progressed[static_cast<std::size_t>(mode_before)], Qt::LeftButton);
        const QStringList o = options.split(',');
        QVERIFY(write_file(f.path("modes.opt"), settings_with(*f.w, {{77, line77.toStdString()},
                                                                     {78, o[0].toStdString()},
                                                                     {79, o[1].toStdString()},
                                                                     {80, o[2].toStdString()},
                                                                     {81, o[3].toStdString()}})));
        f.dialogs->answer(f.path("modes.opt"));
        f.w->mnuFileLoadSettings_Click();
        QCOMPARE(f.w->mode_group->checkedId(), mode);
        QCOMPARE(f.w->chkIgnoreDups->isChecked(), ignore_dups);
    }

    void favouritesKeepTheRangeAndTheDegree() {
        Fixture f;
        f.w->txtStartdate->setText("03/03/2003");
        f.w->txtEndDate->setText("04/04/2004");
        f.w->txtZodiacDegree->setText("7.25");
        QVERIFY(write_file(f.path("fav1.opt"), settings_with(*f.w, {{1, "01/01/1999"},
                                                                    {2, "02/02/1999"},
                                                                    {3, "300"},
                                                                    {4, "05/06/1970"},
                                                                    {5, "2.30"},
                                                                    {6, "-1"},
                                                                    {25, "1 - Sun"},
                                                                    {78, "False"},
                                                                    {80, "True"}})));
        f.w->opt_folder = "/earlier";
        f.w->last_folder = "/earlier";
        f.w->mnuFileLoadFav1->trigger();
        QCOMPARE(f.w->txtStartdate->text(), QString("03/03/2003"));
        QCOMPARE(f.w->txtEndDate->text(), QString("04/04/2004"));
        QCOMPARE(f.w->txtZodiacDegree->text(), QString("7.25"));
        QCOMPARE(f.w->txtNatalDate->text(), QString("05/06/1970"));
        QCOMPARE(f.w->txtNatalTime->text(), QString("2.30"));
        QCOMPARE(f.w->txtTZ->text(), QString("-1"));
        QVERIFY(f.w->chkP1Planets[0]->isChecked());
        QCOMPARE(f.w->mode_group->checkedId(), 2);
        // No dialog, and the dialogs' memory is untouched.
        QVERIFY(f.dialogs->requests.empty());
        QCOMPARE(f.w->opt_folder, QString("/earlier"));
        QCOMPARE(f.w->last_folder, QString("/earlier"));
        QVERIFY(f.w->opt_file_path.isEmpty());

        // fav2.opt is not there: nothing happens and nothing is said.
        const std::string before = f.state();
        f.w->mnuFileLoadFav2->trigger();
        QCOMPARE(f.state(), before);
        QVERIFY(f.dialogs->failures.isEmpty());
    }

    void cancelledDialogsChangeNothing() {
        Fixture f;
        f.w->opt_file_path = f.path("kept.opt");
        f.w->opt_folder = f.dir.path();
        f.w->dat_file_path = f.path("kept.dat");
        f.w->dat_folder = f.dir.path();
        f.w->last_folder = "/last";
        change_everything(*f.w);
        const std::string before = f.state();
        for (auto command : {&frmTavrolin::mnuFileLoadSettings_Click, &frmTavrolin::mnuFileSaveSettings_Click,
                             &frmTavrolin::cmdOpen_Click, &frmTavrolin::cmdSave_Click}) {
            f.dialogs->cancel();
            (f.w.get()->*command)();
            QCOMPARE(f.w->dialog_cancelled, 0);
        }
        QCOMPARE(f.dialogs->requests.size(), std::size_t(4));
        QCOMPARE(f.state(), before);
        QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList());
        QCOMPARE(f.w->opt_file_path, f.path("kept.opt"));
        QCOMPARE(f.w->dat_file_path, f.path("kept.dat"));
        QCOMPARE(f.w->last_folder, QString("/last"));
        QVERIFY(f.dialogs->failures.isEmpty());
    }

    void dialogsRememberTheirOwnFolderAndFile() {
        Fixture f;
        QVERIFY(QDir(f.dir.path()).mkpath("settings"));
        QVERIFY(QDir(f.dir.path()).mkpath("people"));
        const QString opt = f.path("settings/mine.opt");
        const QString dat = f.path("people/ann.dat");

        f.dialogs->answer(opt);
        f.w->mnuFileSaveSettings->trigger();
        f.dialogs->answer(opt);
        f.w->mnuFileLoadSettings->trigger();
        f.dialogs->answer(dat);
        f.w->cmdSave->click();
        QCOMPARE(f.w->last_folder, f.path("people"));
        f.dialogs->answer(opt);
        f.w->mnuFileLoadSettings->trigger();
        QCOMPARE(f.w->last_folder, f.path("settings"));
        f.dialogs->answer(dat);
        f.w->cmdOpen->click();

        // "save|title|filter|suffix|initial folder|initial file" of each dialog shown.
        const QString folder = f.dir.path();
        const QStringList expected = {
            "1|Save settings file|Settings Files (*.opt) | *.opt|opt|" + folder + "|",
            "0|Load settings file|Settings Files (*.opt) | *.opt|opt|" + f.path("settings") + "|" + opt,
            "1|Save natal data file|Natal Data Files (*.dat) | *.dat|dat|" + folder + "|",
            "0|Load settings file|Settings Files (*.opt) | *.opt|opt|" + f.path("settings") + "|" + opt,
            "0|Load natal data file|Natal Data Files (*.dat) | *.dat|dat|" + f.path("people") + "|" + dat,
        };
        QStringList actual;
        for (const auto& r : f.dialogs->requests) {
            actual << QStringList({r.save ? "1" : "0", r.title, r.filter, r.default_suffix, r.initial_folder,
                                   r.initial_file})
                          .join('|');
        }
        QCOMPARE(actual, expected);
        QVERIFY2(f.dialogs->failures.isEmpty(), qPrintable(f.dialogs->failures.join('\n')));
    }

    void shortOrUnreadableFilesChangeNothing_data() {
        QTest::addColumn<bool>("settings");  // a settings file, else a natal data file
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("complaint");
        const QByteArray eighty = QByteArray("01/01/1999\r\n").repeated(80);
        QTest::newRow("settings: 80 lines") << true << eighty << "has 80 lines; a settings file has 81";
        QTest::newRow("settings: empty") << true << QByteArray() << "has 0 lines";
        QTest::newRow("settings: too large") << true << QByteArray(2 << 20, '1') << "is too large";
        QTest::newRow("natal: two lines") << false << QByteArray("01/01/1999\n12.00\n") << "has 2 lines";
        QTest::newRow("natal: too large") << false << QByteArray(2 << 20, '\n') << "is too large";
    }
    void shortOrUnreadableFilesChangeNothing() {
        QFETCH(bool, settings);
        QFETCH(QByteArray, content);
        QFETCH(QString, complaint);
        Fixture f;
        const QString path = f.path(settings ? "bad.opt" : "bad.dat");
        QVERIFY(write_file(path, content));
        const std::string before = f.state();
        f.dialogs->answer(path);
        if (settings) f.w->mnuFileLoadSettings->trigger();
        else f.w->cmdOpen->click();
        QCOMPARE(f.state(), before);
        QCOMPARE(f.dialogs->failures.size(), 1);
        QVERIFY2(f.dialogs->failures[0].contains(path), qPrintable(f.dialogs->failures[0]));
        QVERIFY2(f.dialogs->failures[0].contains(complaint), qPrintable(f.dialogs->failures[0]));
    }

    void missingChosenFileDoesNothing() {
        Fixture f;
        const std::string before = f.state();
        f.dialogs->answer(f.path("gone.opt"));
        f.w->mnuFileLoadSettings->trigger();
        f.dialogs->answer(f.path("gone.dat"));
        f.w->cmdOpen->click();
        f.dialogs->answer(f.dir.path());  // a folder is no file either
        f.w->cmdOpen->click();
        QCOMPARE(f.state(), before);
        QVERIFY(f.dialogs->failures.isEmpty());
    }

    void failedSaveSaysWhereAndWhyAndKeepsTheOldFile() {
        Fixture f;
        QVERIFY(write_file(f.path("old.opt"), "old settings"));
        // A file in the way of the folder: the write fails even for root.
        QVERIFY(write_file(f.path("plain"), "x"));
        const QString impossible_opt = f.path("plain/new.opt");
        const QString impossible_dat = f.path("plain/new.dat");
        f.dialogs->answer(impossible_opt);
        f.w->mnuFileSaveSettings->trigger();
        f.dialogs->answer(impossible_dat);
        f.w->cmdSave->click();
        QCOMPARE(f.dialogs->failures.size(), 2);
        QVERIFY2(f.dialogs->failures[0].contains(impossible_opt), qPrintable(f.dialogs->failures[0]));
        QVERIFY2(f.dialogs->failures[1].contains(impossible_dat), qPrintable(f.dialogs->failures[1]));
        for (const QString& message : f.dialogs->failures)
            QVERIFY2(message.contains("Not a directory"), qPrintable(message));
        QCOMPARE(read_file(f.path("old.opt")), QByteArray("old settings"));
        QCOMPARE(read_file(f.path("plain")), QByteArray("x"));
    }

    void natalDataRoundTrip() {
        Fixture f;
        f.w->txtNatalDate->setText("31/31/31 not a date");
        f.w->txtNatalTime->setText("x.y");
        f.w->txtTZ->setText("");
        f.dialogs->answer(f.path("person"));  // the dialog adds the extension; the path is used as given
        f.w->cmdSave->click();
        QCOMPARE(read_file(f.path("person")), QByteArray("31/31/31 not a date\r\nx.y\r\n\r\n"));

        f.w->txtNatalDate->setText("01/01/2000");
        f.w->txtNatalTime->setText("12");
        f.w->txtTZ->setText("5");
        f.w->txtStartdate->setText("02/02/2002");
        const std::string others = f.w->control_values().start_date + f.w->control_values().zodiac_degree;
        f.dialogs->answer(f.path("person"));
        f.w->cmdOpen->click();
        QCOMPARE(f.w->txtNatalDate->text(), QString("31/31/31 not a date"));
        QCOMPARE(f.w->txtNatalTime->text(), QString("x.y"));
        QCOMPARE(f.w->txtTZ->text(), QString(""));
        QCOMPARE(f.w->control_values().start_date + f.w->control_values().zodiac_degree, others);

        // A day-first file in a month-first window, with a fourth line: the first three as written.
        QVERIFY(write_file(f.path("uk.dat"), "22/09/1949\n16.43\n-1\nremarks\n"));
        f.dialogs->answer(f.path("uk.dat"));
        f.w->cmdOpen->click();
        QCOMPARE(f.w->txtNatalDate->text(), QString("22/09/1949"));
        QCOMPARE(f.w->txtNatalTime->text(), QString("16.43"));
        QCOMPARE(f.w->txtTZ->text(), QString("-1"));
        QVERIFY(f.dialogs->failures.isEmpty());
    }

    void dateCommandsChangeTheBoxesOrSayWhyNot() {
        Fixture f(1);
        f.w->txtStartdate->setText("15/12/2005");
        f.w->txtEndDate->setText("20/12/2005");
        f.w->mnuNextMonth->trigger();
        QCOMPARE(f.w->txtStartdate->text(), QString("01/01/2006"));
        QCOMPARE(f.w->txtEndDate->text(), QString("31/01/2006"));
        f.w->mnuPreviousStartDate->trigger();
        QCOMPARE(f.w->txtStartdate->text(), QString("31/12/2005"));
        f.w->mnuNextEndDate->trigger();
        QCOMPARE(f.w->txtEndDate->text(), QString("01/02/2006"));

        f.w->txtEndDate->setText("30/02/2006");
        f.w->mnuPreviousEndDate->trigger();
        QCOMPARE(f.w->txtEndDate->text(), QString("30/02/2006"));
        QCOMPARE(f.w->statusBar()->currentMessage(), QString("End Date: \"30/02/2006\" is not a date"));
        f.w->mnuPreviousMonth->trigger();
        QCOMPARE(f.w->txtStartdate->text(), QString("01/11/2005"));
        QCOMPARE(f.w->txtEndDate->text(), QString("30/11/2005"));
        QCOMPARE(f.w->statusBar()->currentMessage(), QString());
    }

    void keysReachTheCommands() {
        Fixture f;
        f.w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.w.get()));
        struct Key {
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            const char* start;
            const char* end;
        };
        f.w->txtStartdate->setText("12/15/2005");
        f.w->txtEndDate->setText("12/20/2005");
        for (const Key& k : {Key{Qt::Key_F1, Qt::NoModifier, "12/14/2005", "12/20/2005"},
                             Key{Qt::Key_F2, Qt::NoModifier, "12/15/2005", "12/20/2005"},
                             Key{Qt::Key_F3, Qt::NoModifier, "12/15/2005", "12/19/2005"},
                             Key{Qt::Key_F4, Qt::NoModifier, "12/15/2005", "12/20/2005"},
                             Key{Qt::Key_F5, Qt::NoModifier, "11/01/2005", "11/30/2005"},
                             Key{Qt::Key_F6, Qt::NoModifier, "12/01/2005", "12/31/2005"}}) {
            QTest::keyClick(f.w.get(), k.key, k.modifiers);
            QCOMPARE(f.w->txtStartdate->text(), QString(k.start));
            QCOMPARE(f.w->txtEndDate->text(), QString(k.end));
        }
        QVERIFY(write_file(f.path("fav2.opt"), settings_with(*f.w, {{5, "9.99"}})));
        QTest::keyClick(f.w.get(), Qt::Key_F2, Qt::ControlModifier);
        QCOMPARE(f.w->txtNatalTime->text(), QString("9.99"));
        f.dialogs->cancel();
        QTest::keyClick(f.w.get(), Qt::Key_L, Qt::ControlModifier);
        f.dialogs->cancel();
        QTest::keyClick(f.w.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(f.dialogs->requests.size(), std::size_t(2));
        QCOMPARE(f.dialogs->requests[0].title, QString("Load settings file"));
        QCOMPARE(f.dialogs->requests[1].title, QString("Save settings file"));
    }
};

QTEST_MAIN(FileCommandsTest)
#include "file_commands_test.moc"
