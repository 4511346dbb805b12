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
#include "files/settings_file.h"

namespace tavrolin::testing {

struct ProgramRun { int status = -1; std::string out, err; };

inline std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream s(text);
    for (std::string line; std::getline(s, line);) lines.push_back(line);
    return lines;
}

class BatchProgramTest : public TempFolderTest {
protected:
    // Runs `program` with the arguments (quoted as for the shell), its output collected in the folder.
    ProgramRun run(const std::string& args,
                   const std::filesystem::path& program = std::filesystem::path(TAVROLIN_BIN_DIR) / "tavrolin-batch") {
        const std::string command = "'" + program.string() + "' " + args + " >'" + path("stdout") + "' 2>'" + path("stderr") + "'";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(dir / "stdout"), read_file(dir / "stderr")};
    }
    // Saves a settings file into the folder and gives its quoted path for the command line.
    std::string settings(const std::string& name, const ControlValues& cv) {
        EXPECT_TRUE(save_settings_file(path(name), cv));
        return "'" + path(name) + "'";
    }
};

}  // namespace tavrolin::testing
