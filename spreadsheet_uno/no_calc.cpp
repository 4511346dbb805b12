// Built instead of the UNO back end when the LibreOffice SDK is not available.
#include "spreadsheet_uno/calc_connection.h"

namespace tavrolin {

bool spreadsheet_back_end_built_in() { return false; }

void set_calc_module_path(std::string) {}


SpreadsheetConnection connect_to_running_calc(std::string_view, const CalcConnectOptions&) {
    SpreadsheetConnection connection;
    connection.status = SpreadsheetConnection::Status::no_back_end;
    connection.detail = "this build of Tavrolin has no spreadsheet back end (it was built without the LibreOffice SDK)";
    return connection;
}

}  // namespace tavrolin
