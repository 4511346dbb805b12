// Loads the LibreOffice back end module (TAVROLIN_CALC_MODULE) on first use and hands the connection over to it.
#include "spreadsheet_uno/calc_connection.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <mutex>
#include <system_error>

#ifndef TAVROLIN_LO_PROGRAM_DIR
#error "TAVROLIN_LO_PROGRAM_DIR must name LibreOffice's program folder"
#endif

namespace tavrolin {

namespace {

using Entry = void (*)(const char*, std::size_t, const CalcConnectOptions*, SpreadsheetConnection*);

std::mutex module_mutex;
std::string module_path;  // empty: beside the executable
Entry entry = nullptr;
std::string load_error;

std::string dl_error() {
    const char* e = ::dlerror();
    return e != nullptr ? e : "unknown error";
}

std::string default_module_path() {
    std::error_code ec;
    return (std::filesystem::read_symlink("/proc/self/exe", ec).parent_path() / TAVROLIN_CALC_MODULE).string();
}

// Loads once; a failure is kept and reported at every try, as nothing has changed.
void load_module() {
    if (entry != nullptr || !load_error.empty()) return;
    // Loaded by their full path, the office's libraries find the libraries they need beside
    // themselves; loaded through the system's links to them, they would not.
    const std::string program = TAVROLIN_LO_PROGRAM_DIR;
    for (const char* library : {"libuno_sal.so.3", "libuno_cppu.so.3", "libuno_cppuhelpergcc3.so.3"}) {
        if (::dlopen((program + "/" + library).c_str(), RTLD_NOW | RTLD_GLOBAL) == nullptr) {
            load_error = "the LibreOffice libraries could not be loaded (is LibreOffice installed?): " + dl_error();
            return;
        }
    }
    const std::string path = module_path.empty() ? default_module_path() : module_path;
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        load_error = "the spreadsheet back end could not be loaded: " + dl_error();
        return;
    }
    entry = reinterpret_cast<Entry>(::dlsym(module, "tavrolin_calc_connect"));
    if (entry == nullptr) load_error = "the spreadsheet back end " + path + " is not this program's: " + dl_error();
}

// Any user may create a socket under the pipe's name in /tmp before the office does, pose as
// the office and receive the data. Only the user's own socket is used; /tmp's sticky bit keeps
// others from replacing it afterwards. A pipe that does not exist is not connected to either, so
// that nobody can make it between this look and the connection.
bool pipe_is_usable(std::string_view pipe_name, SpreadsheetConnection& connection) {
    const std::string path = calc_pipe_path(pipe_name);
    const std::string refusal = ": nothing is sent to it";
    connection.status = SpreadsheetConnection::Status::refused;
    struct stat st {};
    if (pipe_name.find('/') != std::string_view::npos) {
        connection.detail = "\"" + std::string(pipe_name) + "\" is no pipe name (it contains a /)";
    } else if (::lstat(path.c_str(), &st) != 0) {
        connection.status = SpreadsheetConnection::Status::none_open;
        connection.detail = "nothing accepts connections on the pipe \"" + std::string(pipe_name) + "\" (" + path +
                            " does not exist)";
    } else if (S_ISLNK(st.st_mode)) {
        connection.detail = path + " is a symbolic link, not the office's pipe" + refusal;
    } else if (!S_ISSOCK(st.st_mode)) {
        connection.detail = path + " is not a socket, not the office's pipe" + refusal;
    } else if (st.st_uid != ::getuid()) {
        connection.detail = path + " belongs to another user (uid " + std::to_string(st.st_uid) +
                            "), not to an office of yours" + refusal;
    } else {
        connection.status = SpreadsheetConnection::Status::none_open;
        return true;
    }
    return false;
}

}  // namespace

bool spreadsheet_back_end_built_in() { return true; }


void set_calc_module_path(std::string path) {
    std::lock_guard<std::mutex> lock(module_mutex);
    module_path = std::move(path);
}

SpreadsheetConnection connect_to_running_calc(std::string_view pipe_name, const CalcConnectOptions& options) {
    SpreadsheetConnection connection;
    {
        std::lock_guard<std::mutex> lock(module_mutex);
        load_module();
    }
    if (entry == nullptr) {
        connection.status = SpreadsheetConnection::Status::no_back_end;
        connection.detail = load_error;
        return connection;
    }
    if (!pipe_is_usable(pipe_name, connection)) return connection;
    entry(pipe_name.data(), pipe_name.size(), &options, &connection);
    return connection;
}

}  // namespace tavrolin
