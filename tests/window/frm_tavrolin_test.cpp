#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QSet>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

#include "engine/text_rules.h"
#include "window/frm_tavrolin.h"

// glibc keeps the search path of a locale loaded through LOCPATH for the life of the process;
// the leak checker of sanitizer builds would count that as a leak of the tests.
extern "C" const char* __lsan_default_suppressions() { return "leak:__argz_add_sep\n"; }

namespace {

constexpr int narrow_screen = 12000;  // twips: the widest screen that keeps the narrow layout

std::unique_ptr<frmTavrolin> make_window(const QString& folder, int screen_width_twips = narrow_screen,
                                         int date_order = 0) {
    tavrolin::WindowSetup setup;
    setup.program_folder = folder;
    setup.screen_size_twips = QSize(screen_width_twips, 12000);
    setup.date_order = date_order;
    return std::make_unique<frmTavrolin>(setup);
}

QString read_file(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QString();
    return QString::fromLatin1(f.readAll());
}

bool write_file(const QString& path, const QByteArray& content) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

// Collects what the code under test writes to stderr.
class StderrCapture {
public:
    StderrCapture() {
        std::fflush(stderr);
        saved_ = ::dup(2);
        const int fd = ::open(file_.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
        ::dup2(fd, 2);
        ::close(fd);
    }
    ~StderrCapture() { restore(); ::unlink(file_.c_str()); }
    QString text() {
        restore();
        return read_file(QString::fromStdString(file_));
    }

private:
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        ::dup2(saved_, 2);
        ::close(saved_);
        saved_ = -1;
    }
    std::string file_ = "/tmp/tavrolin-stderr-" + std::to_string(::getpid());
    int saved_ = -1;
};

}  // namespace

class FrmTavrolinTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString folder() const { return dir_.path(); }

private slots:
    void init() { QFile::remove(dir_.filePath("Tavrolin.ini")); }

    void initialTexts_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("max_length");
        const int none = QLineEdit().maxLength();
        QTest::newRow("start") << "txtStartdate" << "12/01/2005" << 12;
        QTest::newRow("end") << "txtEndDate" << "12/31/2005" << 12;
        QTest::newRow("tz") << "txtTZ" << "8" << 6;
        QTest::newRow("degree") << "txtZodiacDegree" << "179.331227" << 12;
        QTest::newRow("natal date") << "txtNatalDate" << "09/22/1949" << none;
        QTest::newRow("natal time") << "txtNatalTime" << "16.43" << 5;
        QTest::newRow("years back") << "txtYearsBack" << "1" << 2;
        QTest::newRow("angle") << "txtUserDefinedAngle" << "51.7" << none;
    }
    void initialTexts() {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(int, max_length);
        auto w = make_window(folder());
        auto* edit = w->findChild<QLineEdit*>(box);
        QVERIFY(edit != nullptr);
        QCOMPARE(edit->text(), text);
        QCOMPARE(edit->maxLength(), max_length);
    }

    void natalDateDefaultFollowsDateOrder_data() {
        QTest::addColumn<int>("order");
        QTest::addColumn<QString>("natal_date");
        QTest::newRow("month first") << 0 << "09/22/1949";
        QTest::newRow("day first") << 1 << "22/09/1949";
        QTest::newRow("year first") << 2 << "1949/09/22";
        QTest::newRow("no pattern") << 7 << "";
    }
    void natalDateDefaultFollowsDateOrder() {
        QFETCH(int, order);
        QFETCH(QString, natal_date);
        auto w = make_window(folder(), narrow_screen, order);
        QCOMPARE(w->txtNatalDate->text(), natal_date);
        QCOMPARE(w->DateOrder(), order);
        QCOMPARE(w->control_values().date_order, order);
    }

    // Captions and ticks of every array, as "caption+" (ticked) or "caption-", in index order.
    static QString column(const frmTavrolin& w, const QString& name, int count) {
        QStringList items;
        for (int i = 0; i < count; ++i) {
            auto* box = w.findChild<QAbstractButton*>(QString("%1_%2").arg(name).arg(i));
            items << (box ? box->text() + (box->isChecked() ? "+" : "-") : "MISSING");
        }
        return items.join(",");
    }

    void initialTicksCaptionsAndNames() {
        auto w = make_window(folder());
        QCOMPARE(w->windowTitle(), QString("Tavrolin"));
        const QString bodies =
            "Sun-,Moon-,Mercury-,Venus-,Mars-,Jupiter+,Saturn+,Uranus+,Neptune+,Pluto+,Mean Node-,True Node-,"
            "Mean Apogee-,Oscu Apogee-,Earth-,Chiron+,Pholus-,Ceres-,Pallas-,Juno-,Vesta-,Eris-,Sedna-";
        QCOMPARE(column(*w, "chkP1Planets", 23), bodies);
        QCOMPARE(column(*w, "chkP2Planets", 23), bodies);
        QCOMPARE(column(*w, "chkAspects", 18),
                 QString("000+,030-,036-,040-,045-,060+,072-,090+,108-,120+,135-,144-,150+,165-,180+,51.7-,par+,c.p+"));
        QCOMPARE(column(*w, "optNatal_Transit_Progressed", 4),
                 QString("Transit to natal planets+,Transit to transit planets-,Progressed to natal planets-,"
                         "Solar arc to natal planets-"));
        // Single controls: "name=text" plus the tick of a check box.
        const QStringList singles = {
            "chkP1Planets_G_or_H=Helio-", "chkP2Planets_G_or_H=Helio-", "chkApparentPos=Apparent pos.?+",
            "chkUse_ET=Use ET+", "chkSortOutput=Sort Output+", "chkIgnoreDups=Ignore duplicates-",
            "chkDateOnly=Copy date only+", "chkHelio=Helio-", "cmdTavrolin=Calculate tavrolin",
            "cmdCalculate_T_to_Point=Calculate transit to a Zodiac degree (longitude or decl.)",
            "cmdCopy_to_Excel=Copy to Excel", "cmdOpen=Open", "cmdSave=Save", "lblStartDate=Start Date: ",
            "lblEndDate=End Date: ", "lblTZ=Time Zone: ", "lblZodiacDegree=Zodiac decimal degree: ",
            "lblNatalDate=Natal date: ", "lblNatalTime=Natal time (GMT): ", "lblYearsBack=Yrs back ",
            "lblAspects=Aspects", "lblP1Planets=P1 Planets", "lblP2Planets=P2 Planets"};
        for (const QString& expected : singles) {
            const QString name = expected.section('=', 0, 0);
            QString actual = "MISSING";
            if (auto* check = w->findChild<QCheckBox*>(name)) actual = check->text() + (check->isChecked() ? "+" : "-");
            else if (auto* button = w->findChild<QPushButton*>(name)) actual = button->text();
            else if (auto* label = w->findChild<QLabel*>(name)) actual = label->text();
            QCOMPARE(name + "=" + actual, expected);
        }
        for (int i = 0; i < 2; ++i) {
            auto* box = w->findChild<QPlainTextEdit*>(QString("txtResults_%1").arg(i));
            QVERIFY(box != nullptr);
            QVERIFY(box->toPlainText().isEmpty());
            QVERIFY(!box->isReadOnly());
            QCOMPARE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        }
    }

    void menus() {
        auto w = make_window(folder());
        // "menu|entry|caption|shortcut" for every entry of the three menus.
        const QStringList expected = {
            "&File|mnuFileLoadSettings|&Load settings|Ctrl+L", "&File|mnuFileSaveSettings|&Save settings|Ctrl+S",
            "&File|mnuFileLoadFav1|Load fav&1.opt|Ctrl+F1", "&File|mnuFileLoadFav2|Load fav&2.opt|Ctrl+F2",
            "&File|mnuNatalPlanetPositionsLongitude|&Natal planet positions - longitude|F11",
            "&File|mnuNatalPlanetPositionsDecl_Lat|Natal &planet positions - decl/lat|F12",
            "&File|mnuNatalPlanetPositionsLongitude_SIDEREAL|Natal sidereal (Lahiri) planet positions - longitude|Ctrl+F11",
            "&Adjust Dates|mnuPreviousStartDate|&Previous start date|F1",
            "&Adjust Dates|mnuNextStartDate|&Next start date|F2",
            "&Adjust Dates|mnuPreviousEndDate|Previous &end date|F3", "&Adjust Dates|mnuNextEndDate|Next end &date|F4",
            "&Adjust Dates|mnuPreviousMonth|Previous month|F5", "&Adjust Dates|mnuNextMonth|Next month|F6",
            "&Options|mnuUseQuillDisplaySettings|Use &Quill's display settings|F7",
            "&Options|mnuUseLunettaDisplaySettings|Use &Lunetta's display settings|F8"};
        QStringList actual;
        for (QAction* top : w->menuBar()->actions()) {
            if (top->menu() == nullptr) continue;
            for (QAction* a : top->menu()->actions()) {
                if (a->isSeparator()) continue;
                actual << QStringList({top->text(), a->objectName(), a->text(), a->shortcut().toString()}).join("|");
            }
        }
        QCOMPARE(actual, expected);
    }

    void menuBarOrderAndSeparators() {
        auto w = make_window(folder());
        QStringList top;
        for (QAction* a : w->menuBar()->actions()) top << a->text();
        QCOMPARE(top, QStringList({"&File", "&Adjust Dates", "&Options", "&Help"}));
        QAction* help = w->menuBar()->actions().last();
        QCOMPARE(help->objectName(), QString("mnuHelp"));
        QVERIFY(help->menu() == nullptr);
        QStringList file;
        for (QAction* a : w->mnuFile->actions()) file << a->objectName() + (a->isSeparator() ? "-" : "");
        QCOMPARE(file, QStringList({"mnuFileLoadSettings", "mnuFileSaveSettings", "mnuSplit2-", "mnuFileLoadFav1",
                                    "mnuFileLoadFav2", "mnuSplit17-", "mnuNatalPlanetPositionsLongitude",
                                    "mnuNatalPlanetPositionsDecl_Lat", "mnuSplit4158-",
                                    "mnuNatalPlanetPositionsLongitude_SIDEREAL"}));
        QVERIFY(w->mnuUseQuillDisplaySettings->isCheckable());
        QVERIFY(w->mnuUseLunettaDisplaySettings->isCheckable());
    }

    void typedKeys_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("time: letter slash comma") << "txtNatalTime" << "a/,x" << "";
        QTest::newRow("time: minus one point five") << "txtNatalTime" << "-1.5" << "-1.5";
        QTest::newRow("time: any mix of signs") << "txtNatalTime" << "1-.-5" << "1-.-5";
        QTest::newRow("time: five at most") << "txtNatalTime" << "123456" << "12345";
        QTest::newRow("tz: filtered") << "txtTZ" << "-1a0+" << "-10";
        QTest::newRow("tz: six at most") << "txtTZ" << "1234567" << "123456";
        QTest::newRow("years: filtered") << "txtYearsBack" << "x3" << "3";
        QTest::newRow("years: two at most") << "txtYearsBack" << "123" << "12";
        QTest::newRow("angle: filtered") << "txtUserDefinedAngle" << "3e3.5" << "33.5";
        QTest::newRow("date: point rejected") << "txtNatalDate" << "." << "";
        QTest::newRow("date: slashes and digits") << "txtNatalDate" << "22/09/1949" << "22/09/1949";
        QTest::newRow("date: minus and letters") << "txtNatalDate" << "22-09-1949x" << "22091949";
        QTest::newRow("start: anything") << "txtStartdate" << "1.2-3/a b" << "1.2-3/a b";
        QTest::newRow("start: twelve at most") << "txtStartdate" << "1234567890123" << "123456789012";
        QTest::newRow("degree: anything, twelve") << "txtZodiacDegree" << "12,5 Aries xyz" << "12,5 Aries x";
    }
    void typedKeys() {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        auto w = make_window(folder());
        auto* edit = w->findChild<QLineEdit*>(box);
        QVERIFY(edit != nullptr);
        edit->clear();
        QTest::keyClicks(edit, typed);
        QCOMPARE(edit->text(), expected);
    }

    void backspaceAndEditingKeysPassTheFilters() {
        auto w = make_window(folder());
        for (QLineEdit* edit : {w->txtNatalTime, w->txtNatalDate}) {
            edit->setText("123");
            edit->setCursorPosition(3);
            QTest::keyClick(edit, Qt::Key_Backspace);
            QCOMPARE(edit->text(), QString("12"));
            QTest::keyClick(edit, Qt::Key_Home);
            QTest::keyClick(edit, Qt::Key_Delete);
            QCOMPARE(edit->text(), QString("2"));
            QTest::keyClick(edit, Qt::Key_Return);
            QTest::keyClick(edit, Qt::Key_Escape);
            QCOMPARE(edit->text(), QString("2"));
        }
    }

    void selectAllOnFocus() {
        auto w = make_window(folder());
        const QList<QLineEdit*> boxes = {w->txtStartdate, w->txtEndDate,   w->txtNatalDate,        w->txtNatalTime,
                                         w->txtTZ,        w->txtYearsBack, w->txtUserDefinedAngle, w->txtZodiacDegree};
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        for (QLineEdit* box : boxes) {
            w->txtResults[0]->setFocus();
            box->deselect();
            QVERIFY(!box->hasSelectedText());
            box->setFocus(Qt::OtherFocusReason);
            QCOMPARE(box->selectedText(), box->text());
            // Typing replaces the whole old value.
            QTest::keyClicks(box, "7");
            QCOMPARE(box->text(), QString("7"));
        }
        // Also when a mouse click brings the focus, although the click places the caret.
        w->txtStartdate->setFocus();
        QTest::mouseClick(w->txtEndDate, Qt::LeftButton, Qt::NoModifier, QPoint(5, w->txtEndDate->height() / 2));
        QVERIFY(w->txtEndDate->hasFocus());
        QTRY_COMPARE(w->txtEndDate->selectedText(), w->txtEndDate->text());
        // The results boxes keep their caret where it was.
        w->txtResults[1]->setPlainText("abc");
        w->txtStartdate->setFocus();
        w->txtResults[1]->setFocus();
        QVERIFY(!w->txtResults[1]->textCursor().hasSelection());
    }

    void startDateHasTheFocusWithItsTextSelected() {
        auto w = make_window(folder());
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->txtStartdate));
        QCOMPARE(w->txtStartdate->selectedText(), QString("12/01/2005"));
    }

    void tabOrder() {
        auto w = make_window(folder());
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->txtStartdate->setFocus();
        // The calculate buttons come between the results boxes and the aspects; they stay out of
        // the way while disabled.
        QStringList expected = {"txtEndDate", "txtTZ", "txtZodiacDegree", "txtNatalDate", "txtNatalTime",
                                "txtResults_0", "txtResults_1"};
        if (w->cmdCalculate_T_to_Point->isEnabled()) expected << "cmdCalculate_T_to_Point";
        if (w->cmdTavrolin->isEnabled()) expected << "cmdTavrolin";
        for (int a = 0; a < 15; ++a) expected << QString("chkAspects_%1").arg(a);
        expected << "txtUserDefinedAngle" << "chkAspects_15" << "chkAspects_16" << "chkAspects_17";
        for (const QString& name : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), name);
        }
    }

    void doubleClickSelectsAllOfAResultsBox() {
        auto w = make_window(folder());
        for (QPlainTextEdit* box : w->txtResults) {
            box->setPlainText("first line\nsecond line\nthird");
            QTest::mouseDClick(box->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
            const QTextCursor cursor = box->textCursor();
            QCOMPARE(cursor.selectionStart(), 0);
            QCOMPARE(cursor.selectionEnd(), box->document()->characterCount() - 1);
        }
    }

    void modeButtonsSetIgnoreDuplicates_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("ticked_before");
        QTest::addColumn<bool>("ticked_after");
        for (bool before : {false, true}) {
            const char* state = before ? "ticked" : "clear";
            QTest::addRow("natal, %s", state) << 0 << before << false;
            QTest::addRow("transit, %s", state) << 1 << before << true;
            QTest::addRow("progressed, %s", state) << 2 << before << false;
            QTest::addRow("solar arc, %s", state) << 3 << before << false;
        }
    }
    void modeButtonsSetIgnoreDuplicates() {
        QFETCH(int, mode);
        QFETCH(bool, ticked_before);
        QFETCH(bool, ticked_after);
        auto w = make_window(folder());
        w->chkIgnoreDups->setChecked(ticked_before);
        QRadioButton* option = w->optNatal_Transit_Progressed[static_cast<std::size_t>(mode)];
        QTest::mouseClick(option, Qt::LeftButton, Qt::NoModifier, QPoint(6, option->height() / 2));
        QVERIFY(option->isChecked());
        QCOMPARE(w->chkIgnoreDups->isChecked(), ticked_after);
        QCOMPARE(w->control_values().mode, mode);
    }

    void modeSetFromCode() {
        auto w = make_window(folder());
        // Selecting another button runs its click rule.
        w->set_mode_value(1, true);
        QCOMPARE(w->mode_group->checkedId(), 1);
        QVERIFY(w->chkIgnoreDups->isChecked());
        // Selecting the selected one again changes nothing.
        w->chkIgnoreDups->setChecked(false);
        w->set_mode_value(1, true);
        QVERIFY(!w->chkIgnoreDups->isChecked());
        // Clearing the selected one leaves none selected; clearing another one is no change.
        w->set_mode_value(0, false);
        QCOMPARE(w->mode_group->checkedId(), 1);
        w->set_mode_value(1, false);
        QCOMPARE(w->mode_group->checkedId(), -1);
        QCOMPARE(w->control_values().mode, -1);
        w->set_mode_value(3, true);
        QCOMPARE(w->mode_group->checkedId(), 3);
    }

    void userDefinedCaptionFollowsTheAngle() {
        auto w = make_window(folder());
        QCheckBox* box15 = w->chkAspects[15];
        w->txtUserDefinedAngle->selectAll();
        QTest::keyClick(w->txtUserDefinedAngle, Qt::Key_3);
        QCOMPARE(box15->text(), QString("3"));
        QTest::keyClicks(w->txtUserDefinedAngle, "3.5");
        QCOMPARE(box15->text(), QString("33.5"));
        w->txtUserDefinedAngle->clear();
        QCOMPARE(box15->text(), QString(""));
        w->txtUserDefinedAngle->setText("abc");  // from code the filter does not apply
        QCOMPARE(box15->text(), QString("abc"));
        tavrolin::ControlValues cv = w->control_values();
        cv.user_defined_angle = "12.25";
        w->apply_control_values(cv);
        QCOMPARE(box15->text(), QString("12.25"));
        QCOMPARE(w->control_values().aspect_caption(15), std::string("12.25"));
        // The other aspect captions do not move.
        QCOMPARE(w->chkAspects[14]->text(), QString("180"));
        QCOMPARE(w->chkAspects[16]->text(), QString("par"));
    }

    void layoutPositions() {
        auto w = make_window(folder());
        QCOMPARE(w->geometry_twips(w->chkAspects[0]).left(), 8430);
        QCOMPARE(w->geometry_twips(w->chkP1Planets[0]).left(), 9210);
        QCOMPARE(w->geometry_twips(w->chkP2Planets[0]).left(), 10830);
        QCOMPARE(w->geometry_twips(w->txtResults[1]), QRect(3465, 120, 4800, 6750));
        for (int b = 1; b < 23; ++b) {
            QCOMPARE(w->geometry_twips(w->chkP1Planets[b]).top() - w->geometry_twips(w->chkP1Planets[b - 1]).top(),
                     300);
            QCOMPARE(w->geometry_twips(w->chkP2Planets[b]).top(), w->geometry_twips(w->chkP1Planets[b]).top());
        }
        // The user-defined angle's box sits just above its check box.
        const QRect angle = w->geometry_twips(w->txtUserDefinedAngle);
        const QRect box15 = w->geometry_twips(w->chkAspects[15]);
        QVERIFY(angle.bottom() < box15.top() + 30);
        QVERIFY(angle.top() > w->geometry_twips(w->chkAspects[14]).top());
        QCOMPARE(w->width_twips(), 12600);
    }

    void wideScreenRule_data() {
        QTest::addColumn<int>("screen_width");
        QTest::addColumn<bool>("wide");
        QTest::newRow("12000 twips") << 12000 << false;
        QTest::newRow("12001 twips") << 12001 << true;
        QTest::newRow("1280 px at 96 dpi") << 19200 << true;
    }
    void wideScreenRule() {
        QFETCH(int, screen_width);
        QFETCH(bool, wide);
        auto narrow = make_window(folder(), narrow_screen);
        auto w = make_window(folder(), screen_width);
        const int shift = wide ? 800 : 0;
        QCOMPARE(w->width_twips(), wide ? 13400 : 12600);
        QCOMPARE(w->findChild<QScrollArea*>()->widget()->width(), w->twips_to_px_x(w->width_twips()));

        QList<QWidget*> moved = {w->lblAspects, w->lblP1Planets, w->lblP2Planets, w->chkHelio, w->chkUse_ET,
                                 w->chkSortOutput, w->chkApparentPos, w->chkIgnoreDups, w->cmdCopy_to_Excel,
                                 w->chkDateOnly, w->cmdOpen, w->cmdSave, w->lblNatalDate, w->txtNatalDate,
                                 w->lblNatalTime, w->txtNatalTime, w->lblYearsBack, w->txtYearsBack};
        for (auto* box : w->chkAspects) moved << box;
        for (auto* box : w->optNatal_Transit_Progressed) moved << box;
        for (auto* box : w->chkP1Planets) moved << box;
        for (auto* box : w->chkP2Planets) moved << box;
        const QList<QWidget*> kept = {w->chkP1Planets_G_or_H, w->chkP2Planets_G_or_H, w->lblStartDate,
                                      w->txtStartdate,        w->lblEndDate,          w->txtEndDate,
                                      w->lblTZ,               w->txtTZ,               w->lblZodiacDegree,
                                      w->txtZodiacDegree,     w->cmdCalculate_T_to_Point, w->txtResults[0]};
        auto twin = [&](QWidget* control) { return narrow->findChild<QWidget*>(control->objectName()); };
        for (QWidget* control : moved) {
            const QRect before = narrow->geometry_twips(twin(control));
            const QRect after = w->geometry_twips(control);
            QCOMPARE(after, before.translated(shift, 0));
            QCOMPARE(control->x(), w->twips_to_px_x(after.left()));
        }
        for (QWidget* control : kept) QCOMPARE(w->geometry_twips(control), narrow->geometry_twips(twin(control)));
        QCOMPARE(w->geometry_twips(w->txtUserDefinedAngle).left(), w->geometry_twips(w->chkAspects[0]).left());
        const QRect results = w->geometry_twips(w->txtResults[1]);
        QCOMPARE(results, QRect(3465, 120, 4800 + shift, 6750));
        QCOMPARE(w->txtResults[1]->width(), w->twips_to_px_x(3465 + 4800 + shift) - w->twips_to_px_x(3465));
        QCOMPARE(w->geometry_twips(w->cmdTavrolin), narrow->geometry_twips(narrow->cmdTavrolin).translated(shift / 2, 0));
    }

    // Tidiness: in both layouts no two controls overlap and every one lies inside the client area.
    void noControlsOverlap_data() {
        QTest::addColumn<int>("screen_width");
        QTest::newRow("narrow") << 12000;
        QTest::newRow("wide") << 12001;
    }
    void noControlsOverlap() {
        QFETCH(int, screen_width);
        auto w = make_window(folder(), screen_width);
        QWidget* canvas = w->findChild<QScrollArea*>()->widget();
        QList<QWidget*> controls;
        for (QObject* child : canvas->children())
            if (auto* widget = qobject_cast<QWidget*>(child); widget && !widget->isHidden()) controls << widget;
        QVERIFY(controls.size() > 100);
        for (int i = 0; i < controls.size(); ++i) {
            QVERIFY2(canvas->rect().contains(controls[i]->geometry()), qPrintable(controls[i]->objectName()));
            for (int j = i + 1; j < controls.size(); ++j) {
                QVERIFY2(!controls[i]->geometry().intersects(controls[j]->geometry()),
                         qPrintable(controls[i]->objectName() + " / " + controls[j]->objectName()));
            }
        }
    }

    void placedAtTheLeftEdgeCentredVertically() {
        tavrolin::WindowSetup setup;
        setup.program_folder = folder();
        setup.screen_size_twips = QSize(19200, 15360);  // 1280 x 1024 pixels
        setup.date_order = 0;
        frmTavrolin w(setup);
        const QRect screen = w.screen()->geometry();
        QCOMPARE(w.frameGeometry().left(), screen.left());
        QCOMPARE(w.frameGeometry().top(), screen.top() + (1024 - w.frameGeometry().height()) / 2);
    }

    void iniRoundTripThroughTheWindow() {
        {
            auto w = make_window(folder());
            w->txtStartdate->setText("01/02/2003");
            w->txtEndDate->setText("04/05/2006");
            w->txtNatalDate->setText("07/08/1990");
            w->txtNatalTime->setText("-1.25");
            w->txtZodiacDegree->setText("359.5");
            w->txtTZ->setText("-5.5");
            w->txtYearsBack->setText("3");  // not kept in the INI file
            QVERIFY(w->close());
            QVERIFY(w->ini_save_error().isEmpty());
        }
        QCOMPARE(read_file(QDir(folder()).filePath("Tavrolin.ini")),
                 QString("[Tavrolin] - Do NOT change the order of these variables.\r\nstart_date=01/02/2003\r\n"
                         "end_date=04/05/2006\r\nnatal_date=07/08/1990\r\nnatal_time=-1.25\r\n"
                         "zodiac_degree=359.5\r\ntime_zone=-5.5\r\n"));
        auto w = make_window(folder());
        QCOMPARE(w->txtStartdate->text(), QString("01/02/2003"));
        QCOMPARE(w->txtEndDate->text(), QString("04/05/2006"));
        QCOMPARE(w->txtNatalDate->text(), QString("07/08/1990"));
        QCOMPARE(w->txtNatalTime->text(), QString("-1.25"));
        QCOMPARE(w->txtZodiacDegree->text(), QString("359.5"));
        QCOMPARE(w->txtTZ->text(), QString("-5.5"));
        QCOMPARE(w->txtYearsBack->text(), QString("1"));
    }

    void iniTextsAreCutToTheBoxes() {
        QVERIFY(write_file(QDir(folder()).filePath("Tavrolin.ini"),
                           "time_zone=1234567\nnatal_time=12.3456\nstart_date=01/02/2003 and more\n"
                           "natal_date=a very long natal date text\n"));
        auto w = make_window(folder());
        QCOMPARE(w->txtTZ->text(), QString("123456"));
        QCOMPARE(w->txtNatalTime->text(), QString("12.34"));
        QCOMPARE(w->txtStartdate->text(), QString("01/02/2003 a"));
        QCOMPARE(w->txtNatalDate->text(), QString("a very long natal date text"));
        QCOMPARE(w->txtEndDate->text(), QString("12/31/2005"));
    }

    void closingWithAnUnwritableFolderStillCloses() {
        QVERIFY(write_file(QDir(folder()).filePath("plain"), "x"));
        const QString bad = QDir(folder()).filePath("plain/sub");
        auto w = make_window(bad);
        StderrCapture capture;
        QVERIFY(w->close());
        const QString reported = capture.text();
        QVERIFY(!w->isVisible());
        QVERIFY2(w->ini_save_error().contains(bad + "/Tavrolin.ini"), qPrintable(w->ini_save_error()));
        QVERIFY2(reported.contains(bad + "/Tavrolin.ini"), qPrintable(reported));
        QVERIFY2(reported.contains("Not a directory"), qPrintable(reported));
    }

    // A user whose region writes day first and uses a decimal comma: the date order comes from
    // the locale although the toolkit has already set it for the whole process, and the engine's
    // numbers keep their decimal point.
    void regionalSettingsFromTheEnvironment() {
        QTemporaryDir locales;
        const QString command =
            QString("localedef -i de_DE -f UTF-8 '%1/de_DE.UTF-8' >/dev/null 2>&1").arg(locales.path());
        if (std::system(command.toLocal8Bit().constData()) != 0) QSKIP("localedef cannot build a test locale here");
        const QByteArray old_all = qgetenv("LC_ALL");
        qputenv("LOCPATH", locales.path().toLocal8Bit());
        qputenv("LC_ALL", "de_DE.UTF-8");
        QVERIFY(std::setlocale(LC_ALL, "") != nullptr);  // what the toolkit does at start-up

        tavrolin::WindowSetup setup;
        setup.program_folder = folder();
        setup.screen_size_twips = QSize(narrow_screen, 12000);
        frmTavrolin w(setup);
        const int order = w.DateOrder();
        const QString natal_date = w.txtNatalDate->text();
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

    void controlValuesRoundTrip() {
        auto w = make_window(folder());
        tavrolin::ControlValues cv;
        cv.date_order = 0;
        cv.start_date = "1234567890123456";  // cut to twelve
        cv.end_date = "e";
        cv.tz = "-12";
        cv.zodiac_degree = "1";
        cv.natal_date = "n";
        cv.natal_time = "2";
        cv.years_back = "123";  // cut to two
        cv.user_defined_angle = "7";
        for (int b = 0; b < 23; ++b) {
            cv.p1_planets[static_cast<std::size_t>(b)] = b % 2;
            cv.p2_planets[static_cast<std::size_t>(b)] = b % 3 == 0;
        }
        for (int a = 0; a < 18; ++a) cv.aspects[static_cast<std::size_t>(a)] = a % 2 == 0;
        cv.p1_helio = 1;
        cv.p2_helio = 0;
        cv.helio = 1;
        cv.apparent_pos = 0;
        cv.use_et = 0;
        cv.sort_output = 0;
        cv.ignore_dups = 0;  // set as given, although mode 1 would tick it when clicked
        cv.date_only = 0;
        cv.mode = 1;
        cv.style = tavrolin::ListingStyle::Lunetta;
        w->apply_control_values(cv);
        const tavrolin::ControlValues back = w->control_values();
        QCOMPARE(back.start_date, std::string("123456789012"));
        QCOMPARE(back.years_back, std::string("12"));
        QCOMPARE(back.end_date, cv.end_date);
        QCOMPARE(back.tz, cv.tz);
        QCOMPARE(back.zodiac_degree, cv.zodiac_degree);
        QCOMPARE(back.natal_date, cv.natal_date);
        QCOMPARE(back.natal_time, cv.natal_time);
        QCOMPARE(back.user_defined_angle, cv.user_defined_angle);
        QVERIFY(back.p1_planets == cv.p1_planets);
        QVERIFY(back.p2_planets == cv.p2_planets);
        QVERIFY(back.aspects == cv.aspects);
        QCOMPARE(back.p1_helio, 1);
        QCOMPARE(back.p2_helio, 0);
        QCOMPARE(back.helio, 1);
        QCOMPARE(back.apparent_pos, 0);
        QCOMPARE(back.use_et, 0);
        QCOMPARE(back.sort_output, 0);
        QCOMPARE(back.ignore_dups, 0);
        QCOMPARE(back.date_only, 0);
        QCOMPARE(back.mode, 1);
        QVERIFY(back.style == tavrolin::ListingStyle::Lunetta);
        // No mode selected, and the Quill style.
        cv.mode = -1;
        cv.style = tavrolin::ListingStyle::Quill;
        w->apply_control_values(cv);
        QCOMPARE(w->control_values().mode, -1);
        QVERIFY(w->control_values().style == tavrolin::ListingStyle::Quill);
        QVERIFY(!w->mnuUseLunettaDisplaySettings->isChecked());
    }
};

QTEST_MAIN(FrmTavrolinTest)
#include "frm_tavrolin_test.moc"
