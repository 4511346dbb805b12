// The window of an installed program: run from the unpacked package (TAVROLIN_UNPACKED_ROOT),
// with the user's XDG folders in a temporary home. The user's files go there and nothing of the
// installation changes.
#include <QDirIterator>
#include <QFileInfo>

#include "support/window_test_support.h"
#include "window/frm_help_files.h"

namespace {

// Every file and folder below `root` with its size and time of change.
QStringList snapshot(const QString& root) {
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        entries << info.filePath() + ' ' + QString::number(info.size()) + ' ' +
                       QString::number(info.lastModified().toMSecsSinceEpoch());
    }
    entries.sort();
    return entries;
}

const QFile::Permissions private_folder(0x7700);  // read, write and enter: the owner alone

}  // namespace

class InstalledLayoutTest : public QObject {
    Q_OBJECT

    QString root = qEnvironmentVariable("TAVROLIN_UNPACKED_ROOT");
    QTemporaryDir home;
    std::shared_ptr<ScriptedDialogs> dialogs;

    QString config(const QString& name = {}) const { return home.filePath("config/tavrolin/" + name); }

    std::unique_ptr<frmTavrolin> start() {
        dialogs = std::make_shared<ScriptedDialogs>();
        // The rule of the programs' start-up, on the unpacked program's folder.
        return std::make_unique<frmTavrolin>(tavrolin::WindowSetup{
            tavrolin::find_file_places(QFile::encodeName(root + "/usr/bin").toStdString()), QSize(12000, 12000), 0, dialogs});
    }

private slots:
    void initTestCase() {
        QVERIFY2(QFileInfo(root + "/usr/share/tavrolin/help.txt").isFile(), "TAVROLIN_UNPACKED_ROOT holds no installation");
        qputenv("HOME", home.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", home.filePath("config").toLocal8Bit());
        qputenv("XDG_DATA_HOME", home.filePath("data").toLocal8Bit());
    }

    void settingsFavouritesAndHelpLiveInTheUsersFolders() {
        const QStringList installation = snapshot(root);
        auto w = start();
        QCOMPARE(w->places().layout, tavrolin::Layout::installed);
        const QList<QSize> icon_sizes = w->windowIcon().availableSizes();
        QVERIFY(icon_sizes.contains(QSize(48, 48)) && icon_sizes.contains(QSize(256, 256)));
        control(*w, "txtNatalTime")->setText("10.30");
        control(*w, "txtTZ")->setText("-5");
        QVERIFY(w->close());
        QVERIFY2(w->ini_save_error().isEmpty(), qPrintable(w->ini_save_error()));
        QVERIFY(read_file(config("Tavrolin.ini")).contains("\r\nnatal_time=10.30\r\n"));
        QCOMPARE(QFile::permissions(config()) & 0x7777, private_folder);
        QCOMPARE(snapshot(root), installation);

        // A second start reads them back; fav1.opt of the config folder loads with Ctrl+F1.
        w = start();
        QCOMPARE(control(*w, "txtNatalTime")->text() + "|" + control(*w, "txtTZ")->text(), QString("10.30|-5"));
        tavrolin::ControlValues fav = w->control_values();
        fav.natal_date = "07/04/1976";
        QVERIFY(tavrolin::save_settings_file(config("fav1.opt").toStdString(), fav));
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::keyClick(w.get(), Qt::Key_F1, Qt::ControlModifier);
        QCOMPARE(control(*w, "txtNatalDate")->text(), QString("07/04/1976"));

        // The shipped help text is shown until the user saves a copy of their own, which then comes first.
        control<QAction>(*w, "mnuHelp")->trigger();
        frmHelpFiles* h = w->help_window();
        QCOMPARE(h->help_file_path, root + "/usr/share/tavrolin/help.txt");
        QVERIFY(h->RichText1->toPlainText().startsWith("TAVROLIN HELP"));
        const QString own = home.filePath("data/tavrolin/help.txt");
        dialogs->answer(own);
        h->RichText1->setPlainText("my notes");
        QTest::mouseClick(h->cmdSaveAsFile, Qt::LeftButton);
        QCOMPARE(dialogs->requests.back().initial_file + "|" + dialogs->requests.back().initial_folder, own + "|" + home.path());
        QCOMPARE(QFile::permissions(home.filePath("data/tavrolin")) & 0x7777, private_folder);
        QCOMPARE(read_file(own), QByteArray("my notes"));
        QVERIFY(dialogs->failures.isEmpty());
        control<QAction>(*w, "mnuHelp")->trigger();
        QCOMPARE(w->help_window()->help_file_path + "|" + w->help_window()->RichText1->toPlainText(), own + "|my notes");
        // Settings dialogs start in the home folder too.
        dialogs->cancel();
        control<QAction>(*w, "mnuFileLoadSettings")->trigger();
        QCOMPARE(dialogs->requests.back().initial_folder, home.path());
        w.reset();
        QCOMPARE(snapshot(root), installation);
    }
};

QTEST_MAIN(InstalledLayoutTest)
#include "installed_layout_test.moc"
