#include "window/calc_progress.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QLayout>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <exception>
#include <thread>

#include "engine/swe_api.h"

namespace tavrolin {

CalcProgress::CalcProgress(QMainWindow* window)
    : QObject(window), window_(window), bar_(new QProgressBar(window->statusBar())),
      cancel_(new QPushButton("Cancel", window->statusBar())), poll_(new QTimer(this)) {
    setObjectName("calcProgress");
    bar_->setObjectName("prgCalc");
    bar_->setRange(0, 1000);
    bar_->setTextVisible(false);
    cancel_->setObjectName("cmdCancelCalc");
    window->statusBar()->addPermanentWidget(bar_);
    window->statusBar()->addPermanentWidget(cancel_);
    // The status bar keeps the height it has with the panel shown, so that showing the panel
    // takes no room from the window's controls.
    QStatusBar* status = window->statusBar();
    status->layout()->invalidate();
    status->setMinimumHeight(std::max(status->minimumHeight(), status->sizeHint().height()));
    bar_->hide();
    cancel_->hide();
    connect(cancel_, &QPushButton::clicked, this, [this] {
        cancel_requested_ = true;
        cancel_->setEnabled(false);
    });
    poll_->setInterval(100);
    connect(poll_, &QTimer::timeout, this, &CalcProgress::update_bar);
}

void CalcProgress::run(SweApi& api, const std::function<void(ScanControl&)>& work) {
    running_ = true;
    close_requested_ = false;
    cancel_requested_ = false;
    permille_ = 0;
    cancel_->setEnabled(true);

    ScanControl control;
    control.cancel = &cancel_requested_;
    control.progress = [this](double done) { permille_ = static_cast<int>(done * 1000.0); };

    QEventLoop loop;
    QTimer show_timer;
    show_timer.setSingleShot(true);
    connect(&show_timer, &QTimer::timeout, this, &CalcProgress::show_panel);
    qApp->installEventFilter(this);
    show_timer.start(show_after_ms);

    std::exception_ptr failure;
    std::thread thread([&] {
        {
            LibraryThreadScope scope(api);
            try {
                work(control);
            } catch (...) {
                failure = std::current_exception();
            }
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    thread.join();

    qApp->removeEventFilter(this);
    show_timer.stop();
    poll_->stop();
    bar_->hide();
    cancel_->hide();
    running_ = false;
    if (close_requested_) QMetaObject::invokeMethod(window_, &QWidget::close, Qt::QueuedConnection);
    if (failure) std::rethrow_exception(failure);
}

void CalcProgress::on_window_thread(const std::function<void()>& f) {
    if (QThread::currentThread() == thread()) {
        f();
        return;
    }
    QMetaObject::invokeMethod(this, [&f] { f(); }, Qt::BlockingQueuedConnection);
}

void CalcProgress::show_panel() {
    if (!running_) return;
    update_bar();
    bar_->show();
    cancel_->show();
    // Still busy, but the Cancel button takes a click.
    if (QApplication::overrideCursor()) QApplication::changeOverrideCursor(Qt::BusyCursor);
    poll_->start();
}

void CalcProgress::update_bar() { bar_->setValue(permille_.load()); }

bool is_user_input(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::InputMethod:
            return true;
        default:
            return false;
    }
}

bool CalcProgress::eventFilter(QObject* watched, QEvent* event) {
    if (!running_) return false;
    if (event->type() == QEvent::Close) {
        // The run is cancelled and the window closes when it has ended.
        if (watched != window_) return false;
        close_requested_ = true;
        cancel_requested_ = true;
        event->ignore();
        return true;
    }
    // Input reaches the top-level windows, which hand it to their widgets: only the Cancel button
    // takes it.
    if (!is_user_input(event->type()) || watched->isWindowType()) return false;
    return !(watched == cancel_ && cancel_->isVisible());
}

}  // namespace tavrolin
