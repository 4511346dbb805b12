// The INI reader under each date order, then the file it would write.
#include "tests/fuzz/fuzz_input.h"
#include "files/ini_file.h"

void tavrolin::fuzzing::fuzz_one(const std::string& input) {
    for (int order = 0; order <= 3; ++order) {
        ControlValues cv;
        cv.date_order = order;
        apply_ini_defaults(cv);
        apply_ini_text(input, cv);
        ini_file_text(cv);
    }
}
