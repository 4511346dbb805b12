// A LibreOffice of its own for one test: a fresh profile in a temporary folder, a pipe name nobody
// else uses, and stopped again (killed if need be, also when the test process dies) when the
// object goes.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>

#include "spreadsheet_uno/uno_runtime.h"

namespace tavrolin::testing {

namespace css = com::sun::star;

class TestOffice {
public:
    TestOffice();
    ~TestOffice();
    TestOffice(const TestOffice&) = delete;
    TestOffice& operator=(const TestOffice&) = delete;

    // Empty when the office runs and accepts connections; otherwise what went wrong.
    const std::string& start_error() const { return start_error_; }
    const std::string& pipe() const { return pipe_; }

    // A new spreadsheet document, made the office's current document, with `cell` (e.g. "D10")
    // selected. Hidden: a visible document cannot be shown by a headless office.
    css::uno::Reference<css::frame::XModel> new_spreadsheet(const std::string& cell);
    static css::uno::Reference<css::sheet::XSpreadsheet> active_sheet(const css::uno::Reference<css::frame::XModel>& model);

    // Ends the office at once, as a crash would.
    void kill_now();

private:
    std::string start_error_, pipe_;
    std::filesystem::path profile_;
    pid_t pid_ = -1;
    css::uno::Reference<css::frame::XDesktop2> desktop_;
};

}  // namespace tavrolin::testing
