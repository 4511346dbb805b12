// Loads the LibreOffice back end module (TAVROLIN_CALC_MODULE) on first use and hands the connection over to it.
#include "spreadsheet_uno/calc_connection.h"

#include <dlfcn.h>

#include <filesystem>
#include <mutex>
#include <system_error>

#ifndef TAVROLIN_LO_PROGRAM_DIR
#error "TAVROLIN_LO_PROGRAM_DIR must name LibreOffice's program folder"
#endif

namespace tavrolin {

namespace {

using Entry = void (*)(const char*, std::size_t, SpreadsheetConnection*);

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

}  // namespace

bool spreadsheet_back_end_built_in() { return true; }

void set_calc_module_path(std::string path) {
    std::lock_guard<std::mutex> lock(module_mutex);
    module_path = std::move(path);
}

SpreadsheetConnection connect_to_running_calc(std::string_view pipe_name) {
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
    entry(pipe_name.data(), pipe_name.size(), &connection);
    return connection;
}

}  // namespace tavrolin
