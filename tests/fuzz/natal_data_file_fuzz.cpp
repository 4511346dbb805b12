// The natal data file reader, then the file it would save.
#include "tests/fuzz/fuzz_input.h"
#include "files/natal_data_file.h"

void tavrolin::fuzzing::fuzz_one(const std::string& input) {
    ControlValues cv;
    std::string error;
    if (load_natal_data_file(file_of(input), cv, &error)) natal_data_file_text(cv);
}
