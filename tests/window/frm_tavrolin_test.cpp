// The main window's controls: the initial state and the values they stand for, the key filters
// of the boxes, the mode buttons, the two layouts, the INI file across a restart and the regional
// settings.
#include <QAbstractButton>
#include <QApplication>
#include <QAccessible>
#include <QScrollArea>

#include <clocale>
#include <cstdlib>
#include <tuple>

#include "engine/text_rules.h"
#include "files/ini_file.h"
#include "support/window_test_support.h"

// glibc keeps the search path of a locale loaded through LOCPATH for the life of the process;
// the leak checker of sanitizer builds would count that as a leak of the tests.
extern "C" const char* __lsan_default_suppressions() { return "leak:__argz_add_sep\n"; }

class FrmTavrolinTest : public QObject {
    Q_OBJECT

private slots:
    void initialStateControlValuesAndModeButtons() {
        WindowFixture f;
        tavrolin::ControlValues cv = tavrolin::testing::initial_state();  // what the example settings file holds
        QCOMPARE(tavrolin::settings_file_text(f.w->control_values()), tavrolin::settings_file_text(cv));
        QCOMPARE(f.w->control_values().date_only, 1);

        // Every control set from values and read back: a control wired to the wrong value shows.
        cv.start_date = "1234567890123456";  // cut to twelve
        cv.years_back = "123";               // cut to two
        cv.tz = "-12";
        cv.user_defined_angle = "7";
        for (int b = 0; b <= tavrolin::last_body_index; ++b) {
            cv.p1_planets[static_cast<std::size_t>(b)] = b % 2;
            cv.p2_planets[static_cast<std::size_t>(b)] = b % 3 == 0;
        }
        for (int a = 0; a <= tavrolin::last_aspect_index; ++a) cv.aspects[static_cast<std::size_t>(a)] = a % 2 == 0;
        cv.p1_helio = cv.helio = 1;
        cv.apparent_pos = cv.use_et = cv.sort_output = cv.date_only = 0;
        cv.mode = 1;
        cv.ignore_dups = 0;  // as given, although clicking mode 1 would tick it
        cv.style = tavrolin::ListingStyle::Lunetta;
        f.w->apply_control_values(cv);
        const tavrolin::ControlValues back = f.w->control_values();
        cv.start_date = "123456789012";
        QCOMPARE(tavrolin::settings_file_text(back), tavrolin::settings_file_text(cv));
        QVERIFY(back.years_back == "12" && back.date_only == 0 && back.style == tavrolin::ListingStyle::Lunetta);
        QCOMPARE(f.get<QCheckBox>("chkAspects_15")->text(), QString("7"));

        // A click on a mode button ticks "Ignore duplicates" for transits to transits only.
        for (bool ticked_before : {false, true}) {
            for (int mode : {0, 1, 3, 2}) {  // each click selects another button
                f.get<QCheckBox>("chkIgnoreDups")->setChecked(ticked_before);
                QTest::mouseClick(f.get<QRadioButton>(QString("optNatal_Transit_Progressed_%1").arg(mode)), Qt::LeftButton,
                                  Qt::NoModifier, QPoint(6, 6));
                QCOMPARE(f.w->control_values().mode, mode);
                QCOMPARE(f.get<QCheckBox>("chkIgnoreDups")->isChecked(), mode == 1);
            }
        }
    }

    void typedKeysAreFilteredAndCut() {
        WindowFixture f;
        const std::tuple<const char*, QString, QString> cases[] = {  // box, typed, what it holds
            {"txtNatalTime", "a/,x1-.-5", "1-.-5"},  // no letters, slash or comma
            {"txtNatalTime", "12\b34567", "13456"},  // five at most, backspace
            {"txtTZ", "-1a0+2,3 Europe/Isle_of_Man*", "-1a0+23Europe/Isle_of_Man"},
            {"txtTZ", QString(45, 'x'), QString(40, 'x')},
            {"txtYearsBack", "x3a45", "34"},
            {"txtNatalDate", "22-09.1949x/\b", "22091949"},
            {"txtStartdate", "1.2-3/a b,xyz", "1.2-3/a b,xy"},  // anything, twelve at most
            {"txtUserDefinedAngle", "3e3.5", "33.5"},
        };
        for (const auto& [box, typed, expected] : cases) {
            auto* edit = f.w->findChild<QLineEdit*>(box);
            edit->clear();
            QTest::keyClicks(edit, typed);
            QCOMPARE(edit->text(), expected);
        }
        // The user-defined aspect's caption follows its angle as typed.
        QCOMPARE(f.get<QCheckBox>("chkAspects_15")->text(), QString("33.5"));
    }

    // A screen wider than 12000 twips widens the window and the results box by 800 twips; in both
    // layouts no two controls overlap and all lie inside the window.
    void layouts() {
        for (int screen_width : {12000, 12001}) {
            WindowFixture f(screen_width);
            const int shift = screen_width > 12000 ? 800 : 0;
            QCOMPARE(f.w->width_twips(), 12600 + shift);
            QCOMPARE(f.w->geometry_twips(f.get<QPlainTextEdit>("txtResults_1")), QRect(3465, 120, 4800 + shift, 6750));
            QWidget* canvas = f.w->findChild<QScrollArea*>()->widget();
            QList<QWidget*> controls = canvas->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
            controls.removeIf([](const QWidget* c) { return c->isHidden(); });
            QVERIFY(controls.size() > 100);
            for (int i = 0; i < controls.size(); ++i) {
                QVERIFY2(canvas->rect().contains(controls[i]->geometry()), qPrintable(controls[i]->objectName()));
                for (int j = i + 1; j < controls.size(); ++j) {
                    QVERIFY2(!controls[i]->geometry().intersects(controls[j]->geometry()),
                             qPrintable(controls[i]->objectName() + " / " + controls[j]->objectName()));
                }
            }
        }
    }

    // Larger than its layout, the results boxes take the room; the rest follows, all in view, then as before.
    void layoutGrowsWithTheWindow() {
        WindowFixture f;
        auto* area = f.w->findChild<QScrollArea*>("clientArea");
        QWidget* canvas = area->widget();
        QList<QWidget*> controls = canvas->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        QHash<QWidget*, QRect> first;
        for (QWidget* c : controls) first.insert(c, c->geometry());
        const QSize first_size = f.w->size(), layout = canvas->size();  // the test screen may be smaller
        f.w->resize(first_size + layout - area->size() + QSize(600, 450));
        QTRY_COMPARE(canvas->size(), area->viewport()->size());
        const std::pair<const char*, QRect> cases[] = {  // dx, dy, dw, dh
            {"txtStartdate", {0, 0, 0, 0}},       {"txtResults_0", {0, 0, 200, 450}}, {"txtZodiacDegree", {0, 450, 0, 0}},
            {"txtResults_1", {200, 0, 400, 450}}, {"cmdTavrolin", {400, 450, 0, 0}},  {"cmdSave", {600, 450, 0, 0}},
            {"chkDateOnly", {200, 450, 0, 0}},    {"chkP2Planets_G_or_H", {600, 0, 0, 0}}};
        for (const auto& [name, d] : cases)
            QCOMPARE(f.get<QWidget>(name)->geometry(), first.value(f.get<QWidget>(name)).adjusted(d.x(), d.y(), d.right() + 1, d.bottom() + 1));
        for (QWidget* c : controls) QVERIFY2(area->viewport()->rect().contains(c->geometry()), qPrintable(c->objectName()));
        f.w->resize(first_size);
        QTRY_COMPARE(canvas->size(), layout);
        for (QWidget* c : controls) QCOMPARE(c->geometry(), first.value(c));
    }

    void iniFileKeepsBoxesAndSetUpAcrossARestart() {
        QTemporaryDir dir;
        const QStringList texts = {"01/02/2003", "04/05/2006", "07/08/1990", "-1.25", "359.5", "-5.5"};
        const char* boxes[] = {"txtStartdate", "txtEndDate", "txtNatalDate", "txtNatalTime", "txtZodiacDegree", "txtTZ"};
        QVERIFY(write_file(dir.filePath("Tavrolin.ini"), QByteArray::fromStdString(tavrolin::ini_file_text(tavrolin::testing::initial_state()))));
        auto w = make_window(dir.path());
        QCOMPARE(tavrolin::ini_setup_text(w->control_values()), tavrolin::ini_setup_text(tavrolin::testing::initial_state()));
        for (int i = 0; i < texts.size(); ++i) control(*w, boxes[i])->setText(texts[i]);
        control(*w, "txtYearsBack")->setText("3");  // kept with the set-up
        tavrolin::ControlValues set_up = w->control_values();
        tavrolin::testing::tick_only(set_up, {1, 21}, {0}, {3, 15});
        set_up.select_mode(2);
        std::tie(set_up.user_defined_angle, set_up.p2_helio, set_up.dates_in_life) = std::tuple("72", 1, 1);
        set_up.style = tavrolin::ListingStyle::Quill;
        w->apply_control_values(set_up);
        QVERIFY(w->close());
        QVERIFY(w->ini_save_error().isEmpty());
        w = make_window(dir.path());
        for (int i = 0; i < texts.size(); ++i) QCOMPARE(control(*w, boxes[i])->text(), texts[i]);
        QCOMPARE(control(*w, "txtYearsBack")->text(), QString("3"));
        QCOMPARE(tavrolin::ini_setup_text(w->control_values()), tavrolin::ini_setup_text(set_up));

        // A folder that cannot hold the file: the window says why and, told to, closes all the same.
        QVERIFY(write_file(dir.filePath("plain"), "x"));
        auto dialogs = std::make_shared<ScriptedDialogs>();
        dialogs->choices.push_back(1);  // "Close anyway"
        w = make_window(dir.filePath("plain/sub"), 12000, 0, dialogs);
        QVERIFY(w->close());
        const QString error = w->ini_save_error();
        QVERIFY2(error.contains(dir.filePath("plain/sub/Tavrolin.ini")) && error.contains("Not a directory"), qPrintable(error));
        QCOMPARE(w->statusBar()->currentMessage(), error);
    }

    // The house system chosen in the menu (its entries exclusive) and an event ticked come back after a restart.
    void houseSystemAndEventsAcrossARestart() {
        QTemporaryDir dir;
        auto w = make_window(dir.path());
        control<QAction>(*w, "mnuHouseSystem_1")->trigger();  // Koch
        QTest::mouseClick(control<QCheckBox>(*w, "chkEvents_3"), Qt::LeftButton);
        QVERIFY(!control<QAction>(*w, "mnuHouseSystem_0")->isChecked() && w->close());
        w = make_window(dir.path());
        QCOMPARE(QString::fromStdString(w->control_values().house_system) + control<QAction>(*w, "mnuHouseSystem_1")->text(), QString("KKoch"));
        QCOMPARE(w->control_values().event_tick_values(), (std::array<bool, 5>{false, false, false, true, false}));
    }

    // Tab in reading order, a group of ticks one stop; Return, Ctrl+Return; arrows and Space in a group.
    void keyboard() {
        WindowFixture f;
        f.w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.w.get()));
        QStringList seen;
        for (f.get("txtStartdate")->setFocus(); seen.size() < 200 && (seen.isEmpty() || seen.last() != "txtStartdate");)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab), seen << QApplication::focusWidget()->objectName();
        QCOMPARE(seen.join(' '), QString("txtEndDate txtTZ txtResults_0 txtZodiacDegree cmdCalculate_T_to_Point chkEvents_0 "
                                         "txtResults_1 cmdTavrolin txtNatalDate cmdOpen txtNatalTime cmdSave txtBirthPlace "
                                         "txtLatitude txtLongitude cmdCopy_to_Excel chkDateOnly chkAspects_0 txtUserDefinedAngle chkP1Planets_G_or_H chkP2Planets_G_or_H "
                                         "chkApparentPos txtYearsBack optNatal_Transit_Progressed_0 txtStartdate"));
        const std::tuple<const char*, std::vector<QKeyCombination>, const char*> cases[] = {  // what changed, the focus
            {"txtStartdate", {Qt::Key_Return}, "aspects txtResults_1"},
            {"txtZodiacDegree", {Qt::Key_Return}, "degree txtZodiacDegree"},
            {"chkAspects_3", {Qt::CTRL | Qt::Key_Return}, "aspects txtResults_1"},
            {"chkAspects_3", {Qt::Key_Return}, "chkAspects_3"},
            {"txtNatalTime", {Qt::Key_F1, Qt::Key_F4, Qt::Key_Enter}, "11/30/2020 01/01/2021 aspects txtResults_1"},
            {"chkAspects_16", {Qt::Key_Right, Qt::Key_Down, Qt::Key_Tab, Qt::SHIFT | Qt::Key_Backtab}, "chkAspects_17"},
            {"chkApparentPos", {Qt::Key_Up, Qt::Key_Right, Qt::Key_Right, Qt::Key_Space}, "ticked chkHelio"},
        };
        for (const auto& [start, keys, expected] : cases) {
            f.great_conjunction();  // 12/01/2020 - 12/31/2020, Jupiter to Saturn, only "000" ticked
            for (const char* box : {"txtResults_0", "txtResults_1"}) f.get<QPlainTextEdit>(box)->clear();
            f.get<QWidget>(start)->setFocus();
            for (QKeyCombination key : keys) QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
            QStringList changed;
            if (QString d = f.get("txtStartdate")->text() + " " + f.get("txtEndDate")->text(); d != "12/01/2020 12/31/2020") changed << d;
            if (f.get<QPlainTextEdit>("txtResults_0")->toPlainText().startsWith("Aspects found:")) changed << "degree";
            if (f.get<QPlainTextEdit>("txtResults_1")->toPlainText().contains("Jupiter 000 Saturn")) changed << "aspects";
            QWidget* focus = QApplication::focusWidget();
            if (auto* tick = qobject_cast<QCheckBox*>(focus); tick && tick->isChecked()) changed << "ticked";
            QCOMPARE((changed << focus->objectName()).join(' '), QString(expected));
        }
        QVERIFY(f.w->help_window() == nullptr && f.w->findChild<QAction*>("mnuHelp")->shortcut().isEmpty());
    }

    // The names of the ten boxes and every button for screen readers.
    void accessibleNames() {
        WindowFixture f;
        auto name_of = [](QWidget* w) { return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name); };
        QStringList names;
        for (const char* box : {"txtStartdate", "txtEndDate", "txtTZ", "txtZodiacDegree", "txtNatalDate", "txtNatalTime",
                                "txtYearsBack", "txtUserDefinedAngle", "txtResults_0", "txtResults_1"})
            names << name_of(f.get<QWidget>(box));
        QCOMPARE(names.join('|'), QString("Start Date|End Date|Time Zone|Zodiac decimal degree|Natal date|Natal time (GMT)|"
                                          "Yrs back|User-defined angle|Zodiac degree results|Aspects results"));
        for (QAbstractButton* button : f.w->findChildren<QAbstractButton*>())
            QVERIFY2(!name_of(button).trimmed().isEmpty(), qPrintable(button->objectName()));
    }

    // A user whose region writes day first and uses a decimal comma: the date order comes from
    // the locale although the toolkit has already set it for the whole process, and the engine's
    // numbers keep their decimal point.
    void regionalSettingsFromTheEnvironment() {
        QTemporaryDir locales, dir;
        const QString command = QString("localedef -i de_DE -f UTF-8 '%1/de_DE.UTF-8' >/dev/null 2>&1").arg(locales.path());
        if (std::system(command.toLocal8Bit().constData()) != 0) QSKIP("localedef cannot build a test locale here");
        const QByteArray old_all = qgetenv("LC_ALL");
        qputenv("LOCPATH", locales.path().toLocal8Bit());
        qputenv("LC_ALL", "de_DE.UTF-8");
        QVERIFY(std::setlocale(LC_ALL, "") != nullptr);  // what the toolkit does at start-up
        const auto w = make_window(dir.path(), 12000, std::nullopt);
        const int order = w->DateOrder();
        const QString natal_date = control(*w, "txtNatalDate")->text();
        const double natal_time = tavrolin::val("16.43");
        const std::string rounded = tavrolin::format_fixed(2.675, 2);
        qputenv("LC_ALL", old_all);
        qunsetenv("LOCPATH");
        std::setlocale(LC_ALL, "");
        QCOMPARE(order, 1);
        QCOMPARE(natal_date, QString("22/09/1949"));
        QCOMPARE(natal_time, 16.43);
        QCOMPARE(rounded, std::string("2.68"));
    }
};

QTEST_MAIN(FrmTavrolinTest)
#include "frm_tavrolin_test.moc"
