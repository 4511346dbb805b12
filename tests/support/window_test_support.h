// Helpers shared by the window tests: files in a temporary folder, a main window whose program
// folder is that folder, and its file dialogs answered by the test.
#pragma once

// The main window's controls and QtTest, which every window test drives.
#include <QAction>
#include <QByteArray>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSize>
#include <QStatusBar>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <deque>
#include <memory>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "support/control_values.h"
#include "window/file_dialogs.h"
#include "window/frm_tavrolin.h"

inline QByteArray read_file(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

inline bool write_file(const QString& path, const QByteArray& content) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

// File dialogs and questions answered by the test: each dialog takes the next scripted answer (a
// path, or nothing for a cancel) and is recorded, each question the next scripted choice (none
// left: cancelled); failure messages are collected instead of shown.
class ScriptedDialogs : public tavrolin::FileDialogs {
public:
    std::deque<QString> answers;  // a null string for a cancel
    std::deque<std::optional<int>> choices;
    std::vector<tavrolin::FileDialogRequest> requests;
    QStringList failures;

    void answer(const QString& path) { answers.push_back(path); }
    void cancel() { answers.push_back(QString()); }

    std::optional<QString> choose_file(QWidget*, const tavrolin::FileDialogRequest& request) override {
        requests.push_back(request);
        if (answers.empty()) {
            failures << "unexpected dialog: " + request.title;
            return std::nullopt;
        }
        const QString path = answers.front();
        answers.pop_front();
        if (path.isNull()) return std::nullopt;
        return path;
    }
    std::optional<int> ask(QWidget*, const QString&, const QString&, const QStringList&) override {
        const std::optional<int> choice = choices.empty() ? std::nullopt : choices.front();
        if (!choices.empty()) choices.pop_front();
        return choice;
    }
    void report_failure(QWidget*, const QString& text) override { failures << text; }
};

// A control of the main window by its object name ("txtStartdate", "txtResults_1", "mnuHelp").
template <class T = QLineEdit> T* control(const QWidget& w, const QString& name) { return w.findChild<T*>(name); }

inline std::unique_ptr<frmTavrolin> make_window(const QString& folder, int screen_width_twips = 12000,
                                                std::optional<int> date_order = 0,
                                                std::shared_ptr<tavrolin::FileDialogs> dialogs = nullptr) {
    tavrolin::WindowSetup setup;
    setup.places = tavrolin::portable_places(QFile::encodeName(folder).toStdString());
    setup.screen_size_twips = QSize(screen_width_twips, 12000);
    setup.date_order = date_order;
    setup.file_dialogs = std::move(dialogs);
    return std::make_unique<frmTavrolin>(setup);
}

struct WindowFixture {
    QTemporaryDir dir;
    std::shared_ptr<ScriptedDialogs> dialogs = std::make_shared<ScriptedDialogs>();
    std::unique_ptr<frmTavrolin> w;

    // On a 12000-twip screen (the widest that keeps the narrow layout), month-first dates unless
    // told; with the build's asteroid files beside the program unless told.
    explicit WindowFixture(int screen_width_twips = 12000, int date_order = 0, bool with_asteroids = true) {
        if (with_asteroids) QFile::link(QDir::current().absoluteFilePath("ephe"), dir.filePath("ephe"));
        w = make_window(dir.path(), screen_width_twips, date_order, dialogs);
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    template <class T = QLineEdit> T* get(const QString& name) const { return control<T>(*w, name); }

    // A run from `start` to `end` in UT, in mode `mode`, of exactly the ticks given.
    void set_run(const std::string& start, const std::string& end, int mode, const std::vector<int>& p1,
                 const std::vector<int>& p2, const std::vector<int>& aspects) const {
        tavrolin::ControlValues cv = w->control_values();
        cv.start_date = start;
        cv.end_date = end;
        cv.tz = "0";
        cv.select_mode(mode);
        tavrolin::testing::tick_only(cv, p1, p2, aspects);
        w->apply_control_values(cv);
    }
    // Transits of December 2020 to each other, Jupiter and Saturn only: their conjunction of the 21st.
    void great_conjunction() const { set_run("12/01/2020", "12/31/2020", 1, {5}, {6}, {0}); }
    // Every body with its data in the system's files, all aspects, transits to natal over 80 years:
    // minutes of work, far longer than the progress panel's delay.
    void long_run() const {
        std::vector<int> bodies(21), aspects(tavrolin::aspect_count);
        std::iota(bodies.begin(), bodies.end(), 0);
        std::iota(aspects.begin(), aspects.end(), 0);
        bodies.erase(bodies.begin() + tavrolin::earth_index);
        set_run("01/01/1950", "12/31/2029", 0, bodies, bodies, aspects);
    }
};
