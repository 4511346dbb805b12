// Helpers shared by the window tests: files in a temporary folder, a main window whose program
// folder is that folder, and its file dialogs answered by the test.
#pragma once

#include <QByteArray>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <memory>
#include <optional>
#include <vector>

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

// File dialogs answered by the test: each dialog takes the next scripted answer (a path, or
// nothing for a cancel) and is recorded; failure messages are collected instead of shown.
class ScriptedDialogs : public tavrolin::FileDialogs {
public:
    std::deque<std::optional<QString>> answers;
    std::vector<tavrolin::FileDialogRequest> requests;
    QStringList failures;

    void answer(const QString& path) { answers.emplace_back(path); }
    void cancel() { answers.emplace_back(std::nullopt); }

    std::optional<QString> choose_file(QWidget*, const tavrolin::FileDialogRequest& request) override {
        requests.push_back(request);
        if (answers.empty()) {
            failures << "unexpected dialog: " + request.title;
            return std::nullopt;
        }
        // The path is moved out on its own: copying the optional makes GCC's optimiser warn.
        const bool cancelled = !answers.front().has_value();
        QString path = cancelled ? QString() : std::move(*answers.front());
        answers.pop_front();
        if (cancelled) return std::nullopt;
        return path;
    }
    void report_failure(QWidget*, const QString& text) override { failures << text; }
};

inline std::unique_ptr<frmTavrolin> make_window(const QString& folder, int screen_width_twips = 12000,
                                                int date_order = 0,
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

    // Ticks exactly one P1 body, one P2 body (-1: none) and one aspect.
    void tick_only(int p1, int p2, int aspect) const {
        for (int i = 0; i <= tavrolin::last_body_index; ++i) {
            w->chkP1Planets[static_cast<std::size_t>(i)]->setChecked(i == p1);
            w->chkP2Planets[static_cast<std::size_t>(i)]->setChecked(i == p2);
        }
        for (int a = 0; a <= tavrolin::last_aspect_index; ++a) w->chkAspects[static_cast<std::size_t>(a)]->setChecked(a == aspect);
    }
    // Transits of December 2020 to each other, Jupiter and Saturn only: their conjunction of the 21st.
    void great_conjunction() const {
        w->txtStartdate->setText("12/01/2020");
        w->txtEndDate->setText("12/31/2020");
        w->txtTZ->setText("0");
        w->optNatal_Transit_Progressed[1]->click();
        tick_only(5, 6, 0);
    }
};
