#include "files/file_places.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "engine/swe_api.h"

namespace tavrolin {

namespace {

bool is_folder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string without_trailing_slashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// An XDG base directory or HOME: only an absolute path counts.
std::string absolute_or_empty(const char* value) {
    if (value == nullptr || value[0] != '/') return {};
    return without_trailing_slashes(value);
}

std::string home_folder(const Environment& env) {
    std::string home = absolute_or_empty(env("HOME"));
    if (!home.empty()) return home;
    std::vector<char> buf(16384);
    struct passwd pw {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found != nullptr)
        home = absolute_or_empty(found->pw_dir);
    return home.empty() ? "/" : home;
}

// $VARIABLE, else HOME followed by `fallback`.
std::string base_folder(const Environment& env, const char* variable, const std::string& home, const char* fallback) {
    const std::string set = absolute_or_empty(env(variable));
    return set.empty() ? (home == "/" ? "" : home) + fallback : set;
}

}  // namespace

const char* process_environment(const char* name) { return std::getenv(name); }

FilePlaces portable_places(const std::string& program_folder) {
    FilePlaces places;
    places.layout = Layout::portable;
    places.program_folder = without_trailing_slashes(program_folder);
    places.config_folder = places.program_folder;
    places.user_help_file = places.program_folder + "/help.txt";
    // The build copies the shipped help text into data/ beside the program.
    places.shipped_help_file = places.program_folder + "/data/help.txt";
    places.dialog_folder = places.program_folder;
    places.ephemeris_path = ephemeris_path_for(places.program_folder);
    places.calc_module = places.program_folder + "/" TAVROLIN_CALC_MODULE;
    return places;
}

FilePlaces find_file_places(const std::string& program_folder, const Environment& env) {
    const std::string folder = without_trailing_slashes(program_folder);
    const std::filesystem::path program(folder);
    const std::string prefix = program.parent_path().string();
    const std::string share = (prefix == "/" ? "" : prefix) + "/share/tavrolin";
    if (is_folder(folder + "/ephe") || program.filename() != "bin" || !is_folder(share)) return portable_places(folder);

    FilePlaces places;
    places.layout = Layout::installed;
    places.program_folder = folder;
    const std::string home = home_folder(env);
    places.config_folder = base_folder(env, "XDG_CONFIG_HOME", home, "/.config") + "/tavrolin";
    places.user_help_file = base_folder(env, "XDG_DATA_HOME", home, "/.local/share") + "/tavrolin/help.txt";
    places.shipped_help_file = share + "/help.txt";
    places.dialog_folder = home;
    places.ephemeris_path = share + "/ephe:/usr/share/libswe/ephe";
    places.calc_module = (prefix == "/" ? "" : prefix) + "/" TAVROLIN_MODULE_DIR "/" TAVROLIN_CALC_MODULE;
    return places;
}

std::string executable_folder(const char* argv0) {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) exe = std::filesystem::absolute(argv0 != nullptr ? argv0 : "", ec);
    return exe.parent_path().string();
}

bool prepare_folder(const FilePlaces& places, const std::string& folder, std::string* error) {
    if (places.layout == Layout::portable || is_folder(folder)) return true;
    // Each missing folder on the way is created private to the user, as the XDG rules ask.
    std::string path;
    std::size_t start = 0;
    while (start <= folder.size()) {
        std::size_t end = folder.find('/', start);
        if (end == std::string::npos) end = folder.size();
        path = folder.substr(0, end);
        start = end + 1;
        if (path.empty() || is_folder(path)) continue;
        struct stat st {};
        // Something other than a folder in the way: say so rather than "File exists".
        const int err = ::stat(path.c_str(), &st) == 0 ? ENOTDIR : ::mkdir(path.c_str(), 0700) == 0 ? 0 : errno;
        if (err != 0 && !(err == EEXIST && is_folder(path))) {
            if (error != nullptr) *error = "Could not create the folder " + folder + ": " + std::strerror(err);
            return false;
        }
    }
    return true;
}

}  // namespace tavrolin
