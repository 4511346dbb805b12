// The settings file reader, as Load settings and the favourites use it, then the file it would save.
#include "tests/fuzz/fuzz_input.h"
#include "window/files/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavrolin;
    const std::string path = fuzzing::file_of(data, size);
    for (SettingsScope scope : {SettingsScope::Everything, SettingsScope::KeepRangeAndDegree}) {
        ControlValues cv;
        std::string error;
        if (load_settings_file(path, cv, &error, scope)) settings_file_text(cv);
    }
    return 0;
}
