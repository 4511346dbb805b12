// File dialogs answered by the test: each dialog takes the next scripted answer (a path, or
// nothing for a cancel) and is recorded; failure messages are collected instead of shown.
#pragma once

#include <QStringList>

#include <deque>
#include <optional>
#include <vector>

#include "window/file_dialogs.h"

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
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
    void report_failure(QWidget*, const QString& text) override { failures << text; }
};
