// The INI reader under each date order, then the file it would write.
#include "tests/fuzz/fuzz_input.h"
#include "window/files/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavrolin;
    const std::string text = fuzzing::text_of(data, size);
    for (int order = 0; order <= 3; ++order) {
        ControlValues cv;
        cv.date_order = order;
        apply_ini_defaults(cv);
        apply_ini_text(text, cv);
        ini_file_text(cv);
    }
    return 0;
}
