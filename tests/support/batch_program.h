// Runs the real tavrolin-batch program in a folder of the test's own and collects what it prints.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "engine/control_values.h"
#include "support/temp_folder.h"
#include "window/files/settings_file.h"

namespace tavrolin::testing {

namespace fs = std::filesystem;

struct ProgramRun { int status = -1; std::string out, err; };

inline std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream s(text);
    for (std::string line; std::getline(s, line);) lines.push_back(line);
    return lines;
}

// Runs `program` with the arguments (quoted as for the shell), its output collected through `dir`.
inline ProgramRun run_program(const fs::path& dir, const std::string& args,
                              const fs::path& program = fs::path(TAVROLIN_BIN_DIR) / "tavrolin-batch") {
    const fs::path out = dir / "stdout", err = dir / "stderr";
    const std::string command = "'" + program.string() + "' " + args + " >'" + out.string() + "' 2>'" + err.string() + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(out), read_file(err)};
}

// Runs the program with its output and files in the test's own folder.
class BatchProgramTest : public TempFolderTest {
protected:
    ProgramRun run(const std::string& args, const fs::path& program = fs::path(TAVROLIN_BIN_DIR) / "tavrolin-batch") {
        return run_program(dir, args, program);
    }
    // Saves a settings file into the folder and gives its quoted path for the command line.
    std::string settings(const std::string& name, const ControlValues& cv) {
        const auto path = (dir / name).string();
        EXPECT_TRUE(save_settings_file(path, cv));
        return "'" + path + "'";
    }
};

}  // namespace tavrolin::testing
