#include "window/export_command.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <exception>
#include <limits>
#include <memory>
#include <thread>

#include "files/atomic_file.h"
#include "output/results_export.h"
#include "output/spreadsheet_export.h"
#include "spreadsheet_uno/calc_connection.h"
#include "window/calc_progress.h"
#include "window/file_commands.h"
#include "window/file_dialogs.h"

namespace tavrolin {

namespace {

QString sentence(const std::string& text) {
    QString s = QString::fromStdString(text);
    if (!s.isEmpty()) s[0] = s[0].toUpper();
    return s + ".";
}

QString q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// Every write first looks at the Cancel flag: a copy into any sheet ends at the next cell.
class CancellableSheet : public Spreadsheet {
public:
    CancellableSheet(Spreadsheet& sheet, std::shared_ptr<std::atomic<bool>> cancel) : sheet_(sheet), cancel_(std::move(cancel)) {}
    CellPosition active_cell() override { return check().active_cell(); }
    void set_column_width(int column, double characters) override { check().set_column_width(column, characters); }
    void centre_column(int column) override { check().centre_column(column); }
    void set_column_number_format(int column, const std::string& pattern) override {
        check().set_column_number_format(column, pattern);
    }
    void set_cell_text(int column, int row, const std::string& text) override { check().set_cell_text(column, row, text); }

private:
    Spreadsheet& check() {
        if (cancel_->load()) throw SpreadsheetUnusable("cancelled");
        return sheet_;
    }
    Spreadsheet& sheet_;
    std::shared_ptr<std::atomic<bool>> cancel_;
};

// LibreOffice's program, where it is installed; empty when it is not.
QString find_office_program() {
    for (const QString& candidate : {QString("/usr/lib/libreoffice/program/soffice"), QStandardPaths::findExecutable("soffice"),
                                     QStandardPaths::findExecutable("libreoffice")}) {
        if (!candidate.isEmpty() && QFileInfo(candidate).isExecutable()) return candidate;
    }
    return {};
}

// Whether the office beside `program` has its spreadsheet part (the libreoffice-calc package).
bool calc_installed(const QString& program) {
    const QFileInfo real(QFileInfo(program).canonicalFilePath());
    return real.exists() && QFileInfo::exists(real.dir().filePath("libsclo.so"));
}

}  // namespace

// The progress and the Cancel of a copy that waits for the office: a dialog shown after half a
// second. While it lasts, the program's windows take no input but the dialog's and keep
// repainting; its Cancel sets the flag that the connection and the copy watch.
class ExportCommand::Wait : public QObject {
public:
    static constexpr int show_after_ms = 500;

    explicit Wait(QWidget* parent)
        : window_(parent), dialog_(parent), cancel_(std::make_shared<std::atomic<bool>>(false)) {
        dialog_.setObjectName("dlgCopyProgress");
        dialog_.setWindowTitle(copy_caption);
        dialog_.setWindowModality(Qt::WindowModal);
        dialog_.setAutoReset(false);
        dialog_.setAutoClose(false);
        // Shown by its own timer, which a question or a message in between can stop.
        dialog_.setMinimumDuration(std::numeric_limits<int>::max());
        dialog_.setRange(0, 0);
        dialog_.setLabelText("Connecting to LibreOffice Calc...");
        QObject::connect(&dialog_, &QProgressDialog::canceled, this, [this] { cancel_->store(true); });
        show_timer_.setSingleShot(true);
        QObject::connect(&show_timer_, &QTimer::timeout, &dialog_, &QWidget::show);
        resume();
    }
    ~Wait() override { hold(); }

    // No progress while the user answers a question or reads a message; then again.
    void hold() {
        if (!active_) return;
        active_ = false;
        show_timer_.stop();
        qApp->removeEventFilter(this);
        dialog_.hide();
    }
    void resume(int show_after = show_after_ms) {
        if (active_) return;
        active_ = true;
        qApp->installEventFilter(this);
        show_timer_.start(show_after);
    }

    const std::shared_ptr<std::atomic<bool>>& cancel_flag() const { return cancel_; }
    bool cancelled() const { return cancel_->load(); }
    QProgressDialog& dialog() { return dialog_; }

    // Shows where the wait stands and handles the events meanwhile.
    void step(const QString& label, int value = 0, int maximum = 0) {
        if (dialog_.labelText() != label) dialog_.setLabelText(label);
        if (dialog_.maximum() != maximum) dialog_.setRange(0, maximum);
        dialog_.setValue(std::min(value, maximum));
        QCoreApplication::processEvents();
    }
    // Waits about `ms` milliseconds, handling events.
    void pause(int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close) {
            if (watched != window_) return false;
            event->ignore();  // the window cannot go while the copy uses its tables
            return true;
        }
        // Only the progress dialog takes input meanwhile.
        if (!is_user_input(event->type()) || watched->isWindowType()) return false;
        const auto* widget = qobject_cast<QWidget*>(watched);
        return !(widget && (widget == &dialog_ || dialog_.isAncestorOf(widget)));
    }

private:
    QWidget* window_;
    QProgressDialog dialog_;
    QTimer show_timer_;
    bool active_ = false;
    std::shared_ptr<std::atomic<bool>> cancel_;
};

void ExportCommand::mnuFileExportResults_Click() {
    if (engine_.result_count <= 0 && (engine_.near_misses.empty() || engine_.last_run.calc_kind == 0)) {
        host_.show_status("Nothing to export: the last calculation found no aspects.");
        return;
    }
    files_.GetExportFileFilename();
    if (files_.take_cancel()) return;
    const QString path = files_.export_file_path;
    const auto format = export_format_for(native_path(path));
    if (!format) {
        host_.show_status("Not exported: " + path + " must end in .ics (iCalendar) or .csv.");
        return;
    }
    AtomicFile file(native_path(path));
    std::string error;
    ExportOutcome outcome;
    if (file.open(&error)) {
        outcome = export_results(engine_, *format, [&](std::string_view text) { return file.write(text); },
                                 QDateTime::currentSecsSinceEpoch());
        if (outcome.ok && !file.commit(&error)) outcome.ok = false;
        if (!outcome.ok && outcome.error.empty() && error.empty()) file.commit(&error);  // says why the write failed
    }
    if (!outcome.ok) {
        const std::string why = outcome.error.empty() ? error : outcome.error;
        host_.show_status("Not exported: " + QString::fromLocal8Bit(why.c_str()));
        return;
    }
    host_.show_status(QString("Exported %1 %2 to %3").arg(outcome.events).arg(outcome.events == 1 ? "event" : "events").arg(path));
}

SpreadsheetConnection ExportCommand::connect_once(Wait& wait) {
    if (spreadsheet_source) return spreadsheet_source();
    CalcConnectOptions options;
    options.timeout = office_timeout;
    options.cancel = wait.cancel_flag();
    options.progress = [&](std::chrono::milliseconds) { wait.step(wait.dialog().labelText()); };
    return connect_to_running_calc(pipe_name, options);
}

SpreadsheetConnection ExportCommand::find_spreadsheet(Wait& wait) {
    SpreadsheetConnection connection = connect_once(wait);
    if (connection.status != SpreadsheetConnection::Status::none_open || wait.cancelled()) return connection;

    // No spreadsheet on the pipe: the office can be started listening on it, with a new one.
    QWidget* parent = host_.parent_widget();
    const QString program = office_program.isEmpty() ? find_office_program() : office_program;
    const QString pipe = QString::fromStdString(pipe_name);
    if (program.isEmpty() || !calc_installed(program)) {
        connection.detail = "not installed";
        return connection;
    }
    wait.hold();
    const auto answer = host_.file_dialogs().ask(
        parent, copy_caption,
        "No LibreOffice Calc with a spreadsheet open is listening on the pipe \"" + pipe +
            "\".\n\nStart LibreOffice Calc now, and copy once it is ready?",
        {"Start Calc", "Cancel"});
    if (answer != 0) return connection;
    QStringList arguments = {"--calc", "--accept=pipe,name=" + pipe + ";urp;"};
    arguments += office_arguments;
    if (!QProcess::startDetached(program, arguments, QString(), &started_office_pid)) {
        connection.status = SpreadsheetConnection::Status::refused;
        connection.detail = "LibreOffice Calc could not be started (" + program.toStdString() + ")";
        wait.resume();
        return connection;
    }
    const auto deadline = std::chrono::steady_clock::now() + office_start_timeout;
    const QString label = "Starting LibreOffice Calc...";
    wait.resume(0);  // the wait is known to be long
    while (!wait.cancelled()) {
        wait.step(label);
        connection = connect_once(wait);
        if (connection.status != SpreadsheetConnection::Status::none_open) break;
        if (std::chrono::steady_clock::now() >= deadline) {
            connection.status = SpreadsheetConnection::Status::refused;
            connection.detail = "LibreOffice Calc was started but had no spreadsheet open within " +
                                std::to_string(office_start_timeout.count() / 1000) + " s";
            break;
        }
        wait.pause(250);
    }
    return connection;
}

void ExportCommand::cmdCopy_to_Excel_Click() {
    QWidget* parent = host_.parent_widget();
    Wait wait(parent);
    SpreadsheetConnection connection = find_spreadsheet(wait);
    if (wait.cancelled()) {
        host_.show_status("Copy to Excel cancelled.");
        return;
    }
    if (connection.status == SpreadsheetConnection::Status::no_back_end ||
        connection.status == SpreadsheetConnection::Status::refused) {
        wait.hold();
        QMessageBox::critical(parent, copy_caption, sentence(connection.detail));
        return;
    }
    if (!connection.sheet) {
        wait.hold();
        QMessageBox box(QMessageBox::Critical, q(no_spreadsheet_title), q(no_spreadsheet_message), QMessageBox::Ok, parent);
        if (connection.detail == "not installed") {
            box.setInformativeText("LibreOffice Calc is not installed. Install the package libreoffice-calc "
                                   "(sudo apt install libreoffice-calc); \"Copy to Excel\" then offers to start it.");
        }
        box.exec();
        return;
    }

    // The mode, "Copy date only", the captions and the style marks as they are now, not as they
    // were for the run that made the table.
    const ControlValues cv = host_.control_values();
    ExportSettings settings;
    settings.marks = style_marks(cv.style);
    settings.month_names = locale_month_abbreviations();
    std::atomic<int> rows{0};
    settings.between_rows = [&] { ++rows; };
    ExportReport report;
    CancellableSheet sheet(*connection.sheet, wait.cancel_flag());
    // The copy runs on a thread of its own while the window handles its events: nothing may
    // replace the result table or the natal tables being copied, nor start a second copy.
    host_.with_commands_disabled([&] {
        QEventLoop loop;
        QTimer poll;
        const int total = std::max(1, engine_.result_count);
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] { wait.step("Copying to the spreadsheet...", rows.load(), total); });
        poll.start(100);
        std::exception_ptr failure;
        std::thread worker([&] {
            try {
                report = Copy_to_Spreadsheet(sheet, engine_, cv, settings);
            } catch (...) {
                failure = std::current_exception();
            }
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec();
        worker.join();
        if (failure) std::rethrow_exception(failure);
    });
    wait.hold();
    if (report.stopped && wait.cancelled()) {
        host_.show_status(QString("Copy to Excel cancelled after %1 rows.").arg(report.rows_written));
    } else if (report.stopped) {
        QMessageBox::warning(parent, copy_caption,
                             QString("The copy stopped after %1 rows: %2.")
                                 .arg(report.rows_written)
                                 .arg(QString::fromStdString(report.stop_reason)));
    }
}

}  // namespace tavrolin
