// Where the program's own files live. Decided once at start-up, for both programs, by one rule:
// - portable: `ephe/` stands beside the program (a build folder, an unpacked copy). Everything the
//   program reads and writes is in its own folder, as it always was;
// - installed: the program runs from <prefix>/bin and <prefix>/share/tavrolin/ exists. The folder
//   of the program belongs to root then, so each user's files go into the user's XDG folders.
// A program that fits neither rule is treated as portable.
#pragma once

#include <functional>
#include <string>

namespace tavrolin {

enum class Layout { portable, installed };

struct FilePlaces {
    Layout layout = Layout::portable;
    std::string program_folder;     // the folder of the executable
    std::string config_folder;      // Tavrolin.ini, fav1.opt and fav2.opt
    std::string user_help_file;     // the user's own help text, shown first and offered by "Save help file"
    std::string shipped_help_file;  // the help text that comes with the program
    std::string dialog_folder;      // where a file dialog opens before a file of its kind was chosen
    std::string ephemeris_path;     // the library's search path, folders separated by ":"
    std::string calc_module;        // the spreadsheet back end's module
};

// Reads an environment variable; nullptr when it is not set.
using Environment = std::function<const char*(const char*)>;
const char* process_environment(const char* name);

// The portable places of a program in `program_folder`.
FilePlaces portable_places(const std::string& program_folder);

// Applies the rule to a program in `program_folder`. In the installed layout the user's folders
// come from XDG_CONFIG_HOME and XDG_DATA_HOME, else from HOME (else the password database);
// values that are empty or not absolute are ignored, as the XDG base-directory rules say.
FilePlaces find_file_places(const std::string& program_folder, const Environment& env = process_environment);

// The folder of the running executable (links resolved); `argv0` serves where /proc is missing.
std::string executable_folder(const char* argv0);

// Makes sure that `folder` can be written into: in the installed layout a missing folder (and
// any missing parent) is created with mode 0700; in the portable layout nothing is created, so
// that a missing program folder is reported by the write itself. On failure `error` names the
// folder and the reason.
bool prepare_folder(const FilePlaces& places, const std::string& folder, std::string* error = nullptr);

}  // namespace tavrolin
