// The settings file reader, as Load settings and the favourites use it, then the file it would save.
#include "tests/fuzz/fuzz_input.h"
#include "files/settings_file.h"

void tavrolin::fuzzing::fuzz_one(const std::string& input) {
    const std::string path = file_of(input);
    for (SettingsScope scope : {SettingsScope::Everything, SettingsScope::KeepRangeAndDegree}) {
        ControlValues cv;
        std::string error;
        if (load_settings_file(path, cv, &error, scope)) settings_file_text(cv);
    }
}
