// A calculation run off the window's thread. While it runs the program takes no input (as when
// the window computed on its own thread) but keeps repainting; a run that takes longer than half
// a second shows a progress bar and a Cancel button in the main window's status bar. Closing the
// window during a run cancels it and closes the window once the run has ended.
#pragma once

#include <QEvent>
#include <QObject>

#include <atomic>
#include <functional>

#include "engine/parallel_scan.h"

class QMainWindow;
class QProgressBar;
class QPushButton;
class QTimer;

namespace tavrolin {

class SweApi;

// Whether an event is the user's input (keys, pointer, touch, drops, input methods): what the window
// holds back while a long task of its own runs.
bool is_user_input(QEvent::Type type);

class CalcProgress : public QObject {
    Q_OBJECT

public:
    static constexpr int show_after_ms = 500;

    // The bar and the button live in the window's status bar ("prgCalc", "cmdCancelCalc"),
    // hidden between runs.
    explicit CalcProgress(QMainWindow* window);

    // Runs `work` on a thread of its own, set up for the library, and returns once it has ended.
    // `work` passes the control it is given to the scan, for the progress and the cancel.
    void run(SweApi& api, const std::function<void(ScanControl&)>& work);
    bool running() const { return running_; }

    // For `work`: runs `f` on the window's thread and waits until it is done.
    void on_window_thread(const std::function<void()>& f);

    QProgressBar* bar() const { return bar_; }
    QPushButton* cancel_button() const { return cancel_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void show_panel();
    void update_bar();

    QMainWindow* window_;
    QProgressBar* bar_;
    QPushButton* cancel_;
    QTimer* poll_;
    bool running_ = false;
    bool close_requested_ = false;
    std::atomic<bool> cancel_requested_{false};
    std::atomic<int> permille_{0};
};

}  // namespace tavrolin
