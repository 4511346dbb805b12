// The spreadsheet the user has open in a running LibreOffice Calc, reached over UNO through a named
// pipe. Calc must have been started to accept connections on that pipe:
//     soffice --calc --accept="pipe,name=tavrolin;urp;"
// A build without the LibreOffice SDK has the same functions; they find no spreadsheet.
#pragma once

#include <string>
#include <string_view>

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

// Connects to the office on the pipe; "connected" when a spreadsheet document is the office's
// current document, whose active sheet is then the one returned. "no_back_end" when the module or
// the office's libraries cannot be loaded (detail says why).
SpreadsheetConnection connect_to_running_calc(std::string_view pipe_name = default_calc_pipe);

}  // namespace tavrolin
