// The main window's controls: the initial state and the values they stand for, the key filters
// of the boxes, the mode buttons, the two layouts, the INI file across a restart and the regional
// settings.
#include <QAbstractButton>
#include <QApplication>
#include <QAccessible>
#include <QScrollArea>
#include <QScrollBar>

#include <clocale>
#include <cstdlib>
#include <tuple>

#include "engine/text_rules.h"
#include "files/ini_file.h"
#include "files/settings_file.h"
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

    // Larger than its layout (maximised), the window gives the room to the results boxes both
    // ways: a third of the width to the left one, the rest to the main one, the height to both.
    // The controls beside and below them follow, all stay in view and overlap nothing; back at
    // the first size every control is where it was.
    void layoutGrowsWithTheWindow() {
        for (int screen_width : {12000, 12001}) {
            WindowFixture f(screen_width);
            auto* area = f.w->findChild<QScrollArea*>("clientArea");
            QWidget* canvas = area->widget();
            QList<QWidget*> controls = canvas->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
            controls.removeIf([](const QWidget* c) { return c->isHidden(); });
            QHash<QString, QRect> first;
            for (QWidget* c : controls) first.insert(c->objectName(), c->geometry());
            // The test screen may be smaller than the layout: the first size scrolls then.
            const QSize first_size = f.w->size(), layout = canvas->size();
            QCOMPARE(layout, QSize(f.w->twips_to_px_x(f.w->width_twips()), layout.height()));

            f.w->resize(first_size + layout - area->size() + QSize(600, 450));
            QTRY_COMPARE(canvas->size(), area->viewport()->size());
            QVERIFY(!area->horizontalScrollBar()->isVisible() && !area->verticalScrollBar()->isVisible());
            auto moved = [&](const char* name) {
                const QRect now = f.get<QWidget>(name)->geometry(), was = first.value(name);
                return QString("%1 %2 %3 %4").arg(now.x() - was.x()).arg(now.y() - was.y())
                    .arg(now.width() - was.width()).arg(now.height() - was.height());
            };
            const std::pair<const char*, const char*> cases[] = {  // dx dy dw dh
                {"txtStartdate", "0 0 0 0"},       {"txtResults_0", "0 0 200 450"},
                {"txtZodiacDegree", "0 450 0 0"},  {"cmdCalculate_T_to_Point", "0 450 200 0"},
                {"txtResults_1", "200 0 400 450"}, {"cmdTavrolin", "400 450 0 0"},
                {"txtNatalDate", "200 450 0 0"},   {"cmdSave", "600 450 0 0"},
                {"chkDateOnly", "200 450 0 0"},    {"chkAspects_0", "600 0 0 0"},
                {"chkP2Planets_G_or_H", "600 0 0 0"}, {"optNatal_Transit_Progressed_3", "600 0 0 0"},
            };
            for (const auto& [name, change] : cases) QCOMPARE(moved(name), QString(change));
            for (int i = 0; i < controls.size(); ++i) {
                QVERIFY2(canvas->rect().contains(controls[i]->geometry()), qPrintable(controls[i]->objectName()));
                for (int j = i + 1; j < controls.size(); ++j)
                    QVERIFY2(!controls[i]->geometry().intersects(controls[j]->geometry()),
                             qPrintable(controls[i]->objectName() + " / " + controls[j]->objectName()));
            }

            f.w->resize(first_size);
            QTRY_COMPARE(canvas->size(), layout);
            for (QWidget* c : controls) QCOMPARE(c->geometry(), first.value(c->objectName()));
        }
    }

    void iniFileKeepsSixBoxesAcrossARestart() {
        QTemporaryDir dir;
        const QStringList texts = {"01/02/2003", "04/05/2006", "07/08/1990", "-1.25", "359.5", "-5.5"};
        const char* boxes[] = {"txtStartdate", "txtEndDate", "txtNatalDate", "txtNatalTime", "txtZodiacDegree", "txtTZ"};
        auto w = make_window(dir.path());
        for (int i = 0; i < texts.size(); ++i) control(*w, boxes[i])->setText(texts[i]);
        control(*w, "txtYearsBack")->setText("3");  // kept with the set-up
        QVERIFY(w->close());
        QVERIFY(w->ini_save_error().isEmpty());
        w = make_window(dir.path());
        for (int i = 0; i < texts.size(); ++i) QCOMPARE(control(*w, boxes[i])->text(), texts[i]);
        QCOMPARE(control(*w, "txtYearsBack")->text(), QString("3"));

        // A folder that cannot hold the file: the window still closes and says why.
        QVERIFY(write_file(dir.filePath("plain"), "x"));
        w = make_window(dir.filePath("plain/sub"));
        QVERIFY(w->close());
        const QString error = w->ini_save_error();
        QVERIFY2(error.contains(dir.filePath("plain/sub/Tavrolin.ini")) && error.contains("Not a directory"), qPrintable(error));
        QCOMPARE(w->statusBar()->currentMessage(), error);
    }

    // The ticks, options, mode, angle, "Yrs back" and listing style come back after a restart,
    // set through the controls themselves; the INI of an older copy (six boxes only) gives the
    // initial state around its boxes.
    void iniFileKeepsTheSetUpAcrossARestart() {
        QTemporaryDir dir;
        auto w = make_window(dir.path());
        for (const char* name : {"chkAspects_0", "chkAspects_3", "chkP1Planets_5", "chkP1Planets_0", "chkP2Planets_15",
                                 "chkP2Planets_G_or_H", "chkApparentPos", "chkUse_ET", "chkHelio", "chkSortOutput",
                                 "chkDateOnly"})
            QTest::mouseClick(control<QCheckBox>(*w, name), Qt::LeftButton, Qt::NoModifier, QPoint(6, 6));
        QTest::mouseClick(control<QRadioButton>(*w, "optNatal_Transit_Progressed_2"), Qt::LeftButton, Qt::NoModifier,
                          QPoint(6, 6));
        control(*w, "txtUserDefinedAngle")->setText("72");
        control(*w, "txtYearsBack")->setText("7");
        w->findChild<QAction*>("mnuUseQuillDisplaySettings")->trigger();
        const tavrolin::ControlValues before = w->control_values();
        QVERIFY(before.mode == 2 && before.aspects[3] == 1 && before.aspects[0] == 0 && before.p2_helio == 1);
        QVERIFY(w->close());
        w = make_window(dir.path());
        const tavrolin::ControlValues after = w->control_values();
        QCOMPARE(tavrolin::settings_file_text(after), tavrolin::settings_file_text(before));
        QCOMPARE(tavrolin::ini_setup_text(after), tavrolin::ini_setup_text(before));
        QVERIFY(after.style == tavrolin::ListingStyle::Quill);
        QCOMPARE(control<QCheckBox>(*w, "chkAspects_15")->text(), QString("72"));

        const QByteArray old_ini = "[Tavrolin] - Do NOT change the order of these variables.\r\nstart_date=01/02/2003\r\n"
                                   "end_date=04/05/2006\r\nnatal_date=07/08/1990\r\nnatal_time=1.25\r\n"
                                   "zodiac_degree=12\r\ntime_zone=-1\r\n";
        w.reset();
        QVERIFY(write_file(dir.filePath("Tavrolin.ini"), old_ini));
        w = make_window(dir.path());
        tavrolin::ControlValues expected = tavrolin::testing::initial_state();
        tavrolin::apply_ini_text(old_ini.toStdString(), expected);
        QCOMPARE(expected.start_date, std::string("01/02/2003"));
        QCOMPARE(tavrolin::settings_file_text(w->control_values()), tavrolin::settings_file_text(expected));
        QCOMPARE(tavrolin::ini_setup_text(w->control_values()), tavrolin::ini_setup_text(tavrolin::testing::initial_state()));
    }

    // Tab goes through the window in reading order, a group of ticks and the mode buttons being
    // one stop each (the group's stop is the tick that had the focus last); inside a group the
    // arrow keys move and Space ticks.
    void tabOrderAndTickGroups() {
        WindowFixture f;
        f.w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.w.get()));
        auto tab_cycle = [&](const QString& first) {
            QStringList seen;
            f.get<QWidget>(first)->setFocus(Qt::TabFocusReason);
            do {
                seen << QApplication::focusWidget()->objectName();
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            } while (QApplication::focusWidget()->objectName() != first && seen.size() < 200);
            return seen.join(" ");
        };
        QCOMPARE(tab_cycle("txtStartdate"),
                 QString("txtStartdate txtEndDate txtTZ txtResults_0 txtZodiacDegree cmdCalculate_T_to_Point "
                         "txtResults_1 cmdTavrolin txtNatalDate cmdOpen txtNatalTime cmdSave cmdCopy_to_Excel "
                         "chkDateOnly chkAspects_0 txtUserDefinedAngle chkP1Planets_G_or_H chkP2Planets_G_or_H "
                         "chkApparentPos txtYearsBack optNatal_Transit_Progressed_0"));

        struct Case { const char* start; std::vector<Qt::Key> keys; const char* focus; const char* ticked; };
        const Case cases[] = {  // the last box is the one Space toggled, if any
            {"chkAspects_0", {Qt::Key_Down, Qt::Key_Down, Qt::Key_Space}, "chkAspects_2", "chkAspects_2"},
            {"chkAspects_16", {Qt::Key_Right, Qt::Key_Down}, "chkAspects_17", ""},  // the group's end: stays
            {"chkP1Planets_G_or_H", {Qt::Key_Down, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down, Qt::Key_Space},
             "chkP1Planets_1", "chkP1Planets_1"},
            {"chkApparentPos", {Qt::Key_Up, Qt::Key_Right, Qt::Key_Right, Qt::Key_Space}, "chkHelio", "chkHelio"},
        };
        for (const auto& c : cases) {
            f.get<QCheckBox>(c.start)->setFocus(Qt::TabFocusReason);
            const std::string before = tavrolin::settings_file_text(f.w->control_values());
            const bool was_ticked = *c.ticked && f.get<QCheckBox>(c.ticked)->isChecked();
            for (Qt::Key key : c.keys) QTest::keyClick(QApplication::focusWidget(), key);
            QCOMPARE(QApplication::focusWidget()->objectName(), QString(c.focus));
            if (*c.ticked) {
                QVERIFY2(f.get<QCheckBox>(c.ticked)->isChecked() != was_ticked, c.ticked);
                f.get<QCheckBox>(c.ticked)->toggle();
            }
            QCOMPARE(tavrolin::settings_file_text(f.w->control_values()), before);  // nothing else changed
        }
        // The group's stop is now the tick last focused: Tab leaves the group, Shift+Tab comes back to it.
        f.get<QCheckBox>("chkAspects_3")->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QString("txtUserDefinedAngle"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget()->objectName(), QString("chkAspects_3"));
    }

    // F1 to F6 step the dates from any box; no F-key opens the help.
    void functionKeysStepTheDates() {
        WindowFixture f;
        f.w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.w.get()));
        const std::tuple<Qt::Key, const char*, const char*> cases[] = {
            {Qt::Key_F1, "11/30/2005", "12/31/2005"}, {Qt::Key_F2, "12/02/2005", "12/31/2005"},
            {Qt::Key_F3, "12/01/2005", "12/30/2005"}, {Qt::Key_F4, "12/01/2005", "01/01/2006"},
            {Qt::Key_F5, "11/01/2005", "11/30/2005"}, {Qt::Key_F6, "01/01/2006", "01/31/2006"},
        };
        for (const auto& [key, start, end] : cases) {
            f.get("txtStartdate")->setText("12/01/2005");
            f.get("txtEndDate")->setText("12/31/2005");
            f.get("txtNatalTime")->setFocus();
            QTest::keyClick(f.get("txtNatalTime"), key);
            QCOMPARE(f.get("txtStartdate")->text() + " " + f.get("txtEndDate")->text(), QString(start) + " " + end);
        }
        for (QAction* action : f.w->findChildren<QAction*>()) {
            const QString keys = action->shortcut().toString();
            QVERIFY2(!(action->objectName() == "mnuHelp" && !keys.isEmpty()), qPrintable(keys));
        }
        QTest::keyClick(f.get("txtNatalTime"), Qt::Key_F1);
        QVERIFY(f.w->help_window() == nullptr);
    }

    // What a screen reader says for each box of the window, read through the accessibility
    // interface; every button and tick has a name too.
    void accessibleNames() {
        WindowFixture f;
        const std::pair<const char*, const char*> names[] = {
            {"txtStartdate", "Start Date"},        {"txtEndDate", "End Date"},
            {"txtTZ", "Time Zone"},                {"txtZodiacDegree", "Zodiac decimal degree"},
            {"txtNatalDate", "Natal date"},        {"txtNatalTime", "Natal time (GMT)"},
            {"txtYearsBack", "Yrs back"},          {"txtUserDefinedAngle", "User-defined angle"},
            {"txtResults_0", "Zodiac degree results"}, {"txtResults_1", "Aspects results"},
        };
        auto name_of = [](QWidget* w) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            return a != nullptr ? a->text(QAccessible::Name) : QString("<no interface>");
        };
        QStringList boxes;
        for (QWidget* box : f.w->findChildren<QLineEdit*>()) boxes << box->objectName();
        for (QWidget* box : f.w->findChildren<QPlainTextEdit*>()) boxes << box->objectName();
        boxes.removeIf([](const QString& n) { return n.startsWith("qt_"); });  // a spin box's inner edit, none here
        QCOMPARE(boxes.size(), 10);
        for (const auto& [box, name] : names) {
            QVERIFY2(boxes.contains(box), box);
            QCOMPARE(name_of(f.w->findChild<QWidget*>(box)), QString(name));
        }
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
