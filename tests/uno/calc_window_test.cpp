// The window's "Copy to Excel" with a real LibreOffice: no spreadsheet on the pipe gives the offer
// to start Calc (declined: the old message; accepted: Calc is started on the pipe and the copy
// arrives), and Cancel ends the wait for an office that has stopped answering at once.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include <signal.h>

#include <chrono>
#include <fstream>
#include <thread>

#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/text/XTextRange.hpp>

#include "output/memory_sheet.h"
#include "support/window_test_support.h"
#include "test_office.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }
QT_END_NAMESPACE

namespace tavrolin {
namespace {

using namespace com::sun::star;
using testing::TestOffice;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// Clicks "Copy to Excel"; each message box met meanwhile is closed and given as
// "title|text|informative text"; `meanwhile` runs every 100 ms until the copy returns.
QStringList copy(frmTavrolin& w, const std::function<void()>& meanwhile = {}) {
    QStringList seen;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen << box->windowTitle() + "|" + box->text() + "|" + box->informativeText();
            box->done(QMessageBox::Ok);
        } else if (meanwhile) {
            meanwhile();
        }
    });
    timer.start(100);
    QTest::mouseClick(control<QPushButton>(w, "cmdCopy_to_Excel"), Qt::LeftButton);
    return seen;
}

const QString old_message = "No spreadsheet open|Please open an Excel spreadsheet before performing this operation.|";

// The processes whose command line names `text` (the offices started with a test's own profile).
std::vector<pid_t> processes_naming(const std::string& text) {
    std::vector<pid_t> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::string cmdline = testing::read_file(entry.path() / "cmdline");
        if (cmdline.find(text) != std::string::npos) found.push_back(std::stoi(name));
    }
    return found;
}

class CalcWindow : public testing::TempFolderTest {
protected:
    WindowFixture f;
    std::string pipe = "tavrolin-window-test-" + std::to_string(::getpid());

    void SetUp() override {
        TempFolderTest::SetUp();
        ::setenv("LC_ALL", "C.UTF-8", 1);
        f.great_conjunction();
        QTest::mouseClick(f.get<QPushButton>("cmdTavrolin"), Qt::LeftButton);
        ASSERT_EQ(f.w->engine().result_count, 1);
        f.w->export_command().pipe_name = pipe;
        // The window's folder is the test's: the back end is the build's, beside this program.
        set_calc_module_path((QCoreApplication::applicationDirPath() + "/tavrolin-calc.so").toStdString());
    }
};

TEST_F(CalcWindow, NoSpreadsheetOnThePipeOffersToStartCalc) {
    ExportCommand& command = f.w->export_command();
    // Not installed: the old message, and which package brings Calc.
    command.office_program = QString::fromStdString(path("no-office/soffice"));
    EXPECT_EQ(copy(*f.w), QStringList(old_message + "LibreOffice Calc is not installed. Install the package libreoffice-calc "
                                                    "(sudo apt install libreoffice-calc); \"Copy to Excel\" then offers to start it."));
    // Installed, the offer declined (or its box closed): the old message as it was.
    command.office_program.clear();
    for (const std::optional<int> answer : {std::optional<int>(1), std::optional<int>()}) {
        f.dialogs->choices.push_back(answer);
        EXPECT_EQ(copy(*f.w), QStringList(old_message));
        EXPECT_TRUE(f.dialogs->choices.empty());
    }
    EXPECT_EQ(command.started_office_pid, 0);

    // Accepted: Calc is started on the pipe with a profile of the test's own. An office without
    // a display opens no spreadsheet by itself, so the test opens one, as the desktop's Calc does
    // at start, once the office answers on the pipe.
    const std::string profile = from_ou(file_url(path("profile")));
    command.office_arguments = {"--headless", "--norestore", "--nologo", "--nolockcheck",
                                QString::fromStdString("-env:UserInstallation=" + profile)};
    f.dialogs->choices.push_back(0);
    uno::Reference<frame::XModel> doc;
    bool progress_shown = false;
    const auto resolver = bridge::UnoUrlResolver::create(local_context());
    const QStringList seen = copy(*f.w, [&] {
        if (auto* d = f.w->findChild<QProgressDialog*>("dlgCopyProgress"); d && d->isVisible()) progress_shown = true;
        if (doc.is() || !fs::exists(calc_pipe_path(pipe))) return;
        try {
            const uno::Reference<uno::XComponentContext> remote(
                resolver->resolve(to_ou("uno:pipe,name=" + pipe + ";urp;StarOffice.ComponentContext")), uno::UNO_QUERY_THROW);
            const auto desktop = frame::Desktop::create(remote);
            const beans::PropertyValue hidden("Hidden", 0, uno::Any(true), beans::PropertyState_DIRECT_VALUE);
            doc.set(desktop->loadComponentFromURL("private:factory/scalc", "_blank", 0, {&hidden, 1}), uno::UNO_QUERY_THROW);
            desktop->setActiveFrame(doc->getCurrentController()->getFrame());
        } catch (const uno::Exception&) {
        }
    });
    const std::vector<pid_t> started = processes_naming(profile);
    EXPECT_EQ(seen, QStringList());
    EXPECT_NE(command.started_office_pid, 0);
    EXPECT_FALSE(started.empty());
    EXPECT_TRUE(progress_shown);
    ASSERT_TRUE(doc.is()) << "the started office never answered";
    const auto cell = TestOffice::active_sheet(doc)->getCellByPosition(1, 0);
    EXPECT_EQ(from_ou(uno::Reference<text::XTextRange>(cell, uno::UNO_QUERY_THROW)->getString()), "Jupiter");
    doc.clear();
    for (const auto& bridge : bridge::BridgeFactory::create(local_context())->getExistingBridges())
        uno::Reference<lang::XComponent>(bridge, uno::UNO_QUERY_THROW)->dispose();
    for (const pid_t pid : started) ::kill(pid, SIGKILL);
    ::unlink(calc_pipe_path(pipe).c_str());
}

// Cancel in the progress dialog ends the copy at once: the wait for an office that has stopped
// answering (its time-out is 10 s), and a copy into a sheet that takes a while over each cell, as a
// busy office does. The dialog is reached while the copy runs: the window handles its events.
TEST_F(CalcWindow, CancelEndsTheWaitForAStoppedOfficeAndASlowCopyAtOnce) {
    struct SlowSheet : MemorySheet {
        void set_cell_text(int column, int row, const std::string& text) override {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            MemorySheet::set_cell_text(column, row, text);
        }
    };
    TestOffice office(dir);
    ASSERT_EQ(office.start_error(), "");
    office.new_spreadsheet("A1");
    office.let_go();
    ASSERT_EQ(::kill(-office.process_group(), SIGSTOP), 0);
    const std::pair<SpreadsheetSource, QString> cases[] = {
        {{}, "Copy to Excel cancelled."},
        {[] { return SpreadsheetConnection{SpreadsheetConnection::Status::connected, std::make_unique<SlowSheet>(), ""}; },
         "Copy to Excel cancelled after 0 rows."}};
    f.w->export_command().pipe_name = office.pipe();
    for (const auto& [source, message] : cases) {
        SCOPED_TRACE(message.toStdString());
        f.w->export_command().spreadsheet_source = source;
        Clock::time_point clicked{};
        const auto start = Clock::now();
        const QStringList seen = copy(*f.w, [&] {
            auto* d = f.w->findChild<QProgressDialog*>("dlgCopyProgress");
            if (!d || !d->isVisible() || clicked != Clock::time_point{}) return;
            clicked = Clock::now();
            QTest::mouseClick(d->findChild<QPushButton*>(), Qt::LeftButton);
        });
        EXPECT_EQ(seen, QStringList());
        ASSERT_NE(clicked, Clock::time_point{}) << "no progress was shown";
        EXPECT_LT(clicked - start, std::chrono::milliseconds(2000));
        EXPECT_LT(Clock::now() - clicked, std::chrono::milliseconds(1000));
        EXPECT_EQ(f.w->statusBar()->currentMessage(), message);
        EXPECT_TRUE(f.get<QPushButton>("cmdCopy_to_Excel")->isEnabled());
    }
    ::kill(-office.process_group(), SIGCONT);
}

}  // namespace
}  // namespace tavrolin

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
