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
#include "support/window_test_support.h"
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
    // Everything a settings file holds, plus the inputs that it does not hold.
    std::string state() const {
        const tavrolin::ControlValues cv = w->control_values();
        return tavrolin::settings_file_text(cv) + cv.years_back + "|" + cv.user_defined_angle + "|" +
               std::to_string(cv.date_only);
    }
    // The window's current settings with some lines (1-based) replaced, as a file.
    QByteArray settings_with(std::initializer_list<std::pair<int, std::string>> changes, int keep_lines = 81) const {
        auto lines = tavrolin::split_lines(tavrolin::settings_file_text(w->control_values()));
        for (const auto& [n, text] : changes) lines[static_cast<std::size_t>(n - 1)] = text;
        lines.resize(static_cast<std::size_t>(keep_lines));
        QByteArray out;
        for (const auto& l : lines) out += QByteArray::fromStdString(l) + "\r\n";
        return out;
    }
};

void change_everything(frmTavrolin& w) {
    for (QLineEdit* box : {w.txtStartdate, w.txtEndDate, w.txtZodiacDegree, w.txtNatalDate, w.txtNatalTime, w.txtTZ})
        box->setText(box == w.txtEndDate ? "" : "1.5");
    for (auto* box : w.chkAspects) box->setChecked(!box->isChecked());
    for (auto* box : w.chkP1Planets) box->setChecked(!box->isChecked());
    for (auto* box : {w.chkHelio, w.chkP2Planets_G_or_H, w.chkUse_ET, w.chkSortOutput, w.chkApparentPos})
        box->setChecked(!box->isChecked());
    QTest::mouseClick(w.optNatal_Transit_Progressed[3], Qt::LeftButton);
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
        QCOMPARE(read_file(f.path("initial.opt")).count("\r\n"), 81);
        change_everything(*f.w);
        const std::string changed = f.state();
        f.dialogs->answer(f.path("changed.opt"));
        f.w->mnuFileSaveSettings->trigger();

        f.dialogs->answer(f.path("initial.opt"));
        f.w->mnuFileLoadSettings->trigger();
        QCOMPARE(f.state(), initial);
        f.dialogs->answer(f.path("changed.opt"));
        f.w->mnuFileLoadSettings->trigger();
        QCOMPARE(f.state(), changed);
        QVERIFY2(f.dialogs->failures.isEmpty(), qPrintable(f.dialogs->failures.join('\n')));
    }

    void favouritesKeepTheRangeAndTheDegree() {
        Fixture f;
        f.w->txtStartdate->setText("03/03/2003");
        f.w->txtZodiacDegree->setText("7.25");
        // The file also selects mode 1, which ticks "Ignore duplicates" whatever line 77 says.
        QVERIFY(write_file(f.path("fav1.opt"), f.settings_with({{1, "01/01/1999"}, {2, "02/02/1999"}, {3, "300"},
                                                               {4, "05/06/1970"}, {6, "-1"}, {25, "1 - Sun"},
                                                               {77, "0 - Ignore duplicates"}, {78, "False"},
                                                               {79, "True"}})));
        f.w->opt_folder = f.w->last_folder = "/earlier";
        f.w->mnuFileLoadFav1->trigger();
        QCOMPARE(f.w->txtStartdate->text() + "|" + f.w->txtEndDate->text() + "|" + f.w->txtZodiacDegree->text(),
                 QString("03/03/2003|12/31/2005|7.25"));
        QCOMPARE(f.w->txtNatalDate->text() + "|" + f.w->txtTZ->text(), QString("05/06/1970|-1"));
        QVERIFY(f.w->chkP1Planets[0]->isChecked());
        QCOMPARE(f.w->mode_group->checkedId(), 1);
        QVERIFY(f.w->chkIgnoreDups->isChecked());
        // No dialog, and the dialogs' memory is untouched.
        QVERIFY(f.dialogs->requests.empty());
        QCOMPARE(f.w->opt_folder + f.w->last_folder + f.w->opt_file_path, QString("/earlier/earlier"));

        // fav2.opt is not there: nothing happens and nothing is said.
        const std::string before = f.state();
        f.w->mnuFileLoadFav2->trigger();
        QCOMPARE(f.state(), before);
        QVERIFY(f.dialogs->failures.isEmpty());
    }

    void cancelledDialogsAndMissingFilesChangeNothing() {
        Fixture f;
        f.w->opt_file_path = f.path("kept.opt");
        f.w->dat_file_path = f.path("kept.dat");
        f.w->last_folder = "/last";
        change_everything(*f.w);
        const std::string before = f.state();
        for (auto command : {&frmTavrolin::mnuFileLoadSettings_Click, &frmTavrolin::mnuFileSaveSettings_Click,
                             &frmTavrolin::cmdOpen_Click, &frmTavrolin::cmdSave_Click}) {
            f.dialogs->cancel();
            (f.w.get()->*command)();
            QCOMPARE(f.w->dialog_cancelled, 0);
        }
        QCOMPARE(f.w->opt_file_path + f.w->dat_file_path + f.w->last_folder,
                 f.path("kept.opt") + f.path("kept.dat") + "/last");
        // A chosen file that is not there (or a folder): silently nothing.
        f.dialogs->answer(f.path("gone.opt"));
        f.w->mnuFileLoadSettings_Click();
        f.dialogs->answer(f.dir.path());
        f.w->cmdOpen_Click();
        QCOMPARE(f.state(), before);
        QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files), QStringList());
        QVERIFY(f.dialogs->failures.isEmpty());
    }

    void dialogsRememberTheirOwnFolderAndFile() {
        Fixture f;
        QVERIFY(QDir(f.dir.path()).mkpath("settings") && QDir(f.dir.path()).mkpath("people"));
        const QString opt = f.path("settings/mine.opt");
        const QString dat = f.path("people/ann.dat");
        for (const QString& answer : {opt, opt, dat, opt, dat}) f.dialogs->answer(answer);
        f.w->mnuFileSaveSettings->trigger();
        f.w->mnuFileLoadSettings->trigger();
        f.w->cmdSave->click();
        QCOMPARE(f.w->last_folder, f.path("people"));
        f.w->mnuFileLoadSettings->trigger();
        f.w->cmdOpen->click();

        // "save|title|filter|suffix|initial folder|initial file" of each dialog shown.
        const QString settings = "|Settings Files (*.opt) | *.opt|opt|";
        const QString natal = "|Natal Data Files (*.dat) | *.dat|dat|";
        const QStringList expected = {
            "1|Save settings file" + settings + f.dir.path() + "|",
            "0|Load settings file" + settings + f.path("settings") + "|" + opt,
            "1|Save natal data file" + natal + f.dir.path() + "|",
            "0|Load settings file" + settings + f.path("settings") + "|" + opt,
            "0|Load natal data file" + natal + f.path("people") + "|" + dat,
        };
        QStringList actual;
        for (const auto& r : f.dialogs->requests) {
            actual << QStringList({r.save ? "1" : "0", r.title, r.filter, r.default_suffix, r.initial_folder,
                                   r.initial_file}).join('|');
        }
        QCOMPARE(actual, expected);
        QVERIFY2(f.dialogs->failures.isEmpty(), qPrintable(f.dialogs->failures.join('\n')));
    }

    void shortOrUnreadableFilesChangeNothing_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("complaint");
        QTest::newRow("settings: 80 lines") << "bad.opt" << QByteArray("1\r\n").repeated(80)
                                            << "has 80 lines; a settings file has 81";
        QTest::newRow("settings: too large") << "bad.opt" << QByteArray(2 << 20, '1') << "is too large";
        QTest::newRow("natal: two lines") << "bad.dat" << QByteArray("01/01/1999\n12.00\n") << "has 2 lines";
    }
    void shortOrUnreadableFilesChangeNothing() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, complaint);
        Fixture f;
        QVERIFY(write_file(f.path(name), content));
        const std::string before = f.state();
        f.dialogs->answer(f.path(name));
        if (name.endsWith(".opt")) f.w->mnuFileLoadSettings->trigger();
        else f.w->cmdOpen->click();
        QCOMPARE(f.state(), before);
        QCOMPARE(f.dialogs->failures.size(), 1);
        QVERIFY2(f.dialogs->failures.value(0).startsWith(f.path(name) + ": " + complaint), qPrintable(f.dialogs->failures.value(0)));
    }

    void failedSaveSaysWhereAndWhy() {
        Fixture f;
        // A file in the way of the folder: the write fails even for root.
        QVERIFY(write_file(f.path("plain"), "x"));
        f.dialogs->answer(f.path("plain/new.opt"));
        f.w->mnuFileSaveSettings->trigger();
        f.dialogs->answer(f.path("plain/new.dat"));
        f.w->cmdSave->click();
        QCOMPARE(f.dialogs->failures.size(), 2);
        for (const QString name : {"new.opt", "new.dat"}) {
            const QString message = f.dialogs->failures.filter(name).value(0);
            QVERIFY2(message.contains(f.path("plain/" + name)) && message.contains("Not a directory"), qPrintable(message));
        }
        QCOMPARE(read_file(f.path("plain")), QByteArray("x"));
    }

    void natalDataRoundTrip() {
        Fixture f;
        f.w->txtNatalDate->setText("31/31/31 not a date");
        f.w->txtNatalTime->setText("x.y");
        f.w->txtTZ->setText("");
        f.dialogs->answer(f.path("person.dat"));
        f.w->cmdSave->click();
        QCOMPARE(read_file(f.path("person.dat")), QByteArray("31/31/31 not a date\r\nx.y\r\n\r\n"));
        change_everything(*f.w);
        const std::string others = f.w->control_values().start_date + f.w->control_values().zodiac_degree;
        f.dialogs->answer(f.path("person.dat"));
        f.w->cmdOpen->click();
        QCOMPARE(f.w->txtNatalDate->text() + "|" + f.w->txtNatalTime->text() + "|" + f.w->txtTZ->text(),
                 QString("31/31/31 not a date|x.y|"));
        QCOMPARE(f.w->control_values().start_date + f.w->control_values().zodiac_degree, others);

        // A day-first file in a month-first window, with a fourth line: the first three as written.
        QVERIFY(write_file(f.path("uk.dat"), "22/09/1949\n16.43\n-1\nremarks\n"));
        f.dialogs->answer(f.path("uk.dat"));
        f.w->cmdOpen->click();
        QCOMPARE(f.w->txtNatalDate->text() + "|" + f.w->txtNatalTime->text() + "|" + f.w->txtTZ->text(),
                 QString("22/09/1949|16.43|-1"));
    }

    void keysReachTheCommands() {
        Fixture f(1);
        f.w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.w.get()));
        f.w->txtStartdate->setText("15/12/2005");
        f.w->txtEndDate->setText("20/12/2005");
        const std::tuple<Qt::Key, const char*, const char*> keys[] = {
            {Qt::Key_F1, "14/12/2005", "20/12/2005"}, {Qt::Key_F2, "15/12/2005", "20/12/2005"},
            {Qt::Key_F3, "15/12/2005", "19/12/2005"}, {Qt::Key_F4, "15/12/2005", "20/12/2005"},
            {Qt::Key_F6, "01/01/2006", "31/01/2006"}, {Qt::Key_F5, "01/12/2005", "31/12/2005"}};
        for (const auto& [key, start, end] : keys) {
            QTest::keyClick(f.w.get(), key);
            QCOMPARE(f.w->txtStartdate->text() + "|" + f.w->txtEndDate->text(), QString(start) + "|" + end);
        }
        // A date that is not one stays as typed, and the status bar says so.
        f.w->txtEndDate->setText("30/02/2006");
        QTest::keyClick(f.w.get(), Qt::Key_F3);
        QCOMPARE(f.w->txtEndDate->text(), QString("30/02/2006"));
        QCOMPARE(f.w->statusBar()->currentMessage(), QString("End Date: \"30/02/2006\" is not a date"));

        QVERIFY(write_file(f.path("fav2.opt"), f.settings_with({{5, "9.99"}})));
        QTest::keyClick(f.w.get(), Qt::Key_F2, Qt::ControlModifier);
        QCOMPARE(f.w->txtNatalTime->text(), QString("9.99"));
        f.dialogs->cancel();
        f.dialogs->cancel();
        QTest::keyClick(f.w.get(), Qt::Key_L, Qt::ControlModifier);
        QTest::keyClick(f.w.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(f.dialogs->requests.size(), std::size_t(2));
        QCOMPARE(f.dialogs->requests[0].title + "|" + f.dialogs->requests[1].title,
                 QString("Load settings file|Save settings file"));
    }
};

QTEST_MAIN(FileCommandsTest)
#include "file_commands_test.moc"
