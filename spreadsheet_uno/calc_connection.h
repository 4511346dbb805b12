// The spreadsheet the user has open in a running LibreOffice Calc, reached over UNO through a named
// pipe. Calc must have been started to accept connections on that pipe:
//     soffice --calc --accept="pipe,name=tavrolin;urp;"
// A build without the LibreOffice SDK has the same functions; they find no spreadsheet.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include <unistd.h>

#include "output/spreadsheet.h"

namespace tavrolin {

inline constexpr std::string_view default_calc_pipe = "tavrolin";

// false when the program was built without the LibreOffice SDK.
bool spreadsheet_back_end_built_in();

// The back end is a module of its own (tavrolin-calc.so), loaded with LibreOffice's libraries when
// it is first needed: the program starts without them, and they are loaded from the office's own
// folder, where they find the rest of the office. `path` names the module; without it the module
// is looked for beside the executable. A build without the back end ignores it.
void set_calc_module_path(std::string path);

// The Unix socket behind the pipe: /tmp/OSL_PIPE_<uid>_<name>, where the office makes it
// (whatever TMPDIR says).
inline std::string calc_pipe_path(std::string_view pipe_name) {
    return "/tmp/OSL_PIPE_" + std::to_string(::getuid()) + "_" + std::string(pipe_name);
}

// How long the office may take to answer, and how a caller follows the wait and ends it early.
struct CalcConnectOptions {
    // For making the connection, and again for every single call into the office afterwards: an
    // office that has stopped answering ends the connection or the export with a message.
    std::chrono::milliseconds timeout = std::chrono::seconds(10);
    // Set from any thread to give up: a connection being made is abandoned at once
    // (SpreadsheetConnection::Status::refused, detail "cancelled"), and a call into the office that
    // waits for its answer at that moment, or any later one, throws SpreadsheetUnusable.
    std::shared_ptr<std::atomic<bool>> cancel;
    // Called on the calling thread about every 50 ms while the connection is being made, with the
    // time waited so far; a window shows progress here and handles its events (its Cancel button
    // sets `cancel`).
    std::function<void(std::chrono::milliseconds waited)> progress;
};

// Connects to the office on the pipe; "connected" when a spreadsheet document is the office's
// current document, whose active sheet is then the one returned. "refused" when the pipe's socket
// is not the user's own (another user could pose as the office and receive the data), or the
// office did not answer within the time-out, or the wait was cancelled: nothing is sent then.
// "no_back_end" when the module or the office's libraries cannot be loaded. detail says why.
SpreadsheetConnection connect_to_running_calc(std::string_view pipe_name = default_calc_pipe,
                                              const CalcConnectOptions& options = {});

}  // namespace tavrolin
