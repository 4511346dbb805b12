// The natal data file reader, then the file it would save.
#include "tests/fuzz/fuzz_input.h"
#include "window/files/natal_data_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavrolin;
    ControlValues cv;
    std::string error;
    if (load_natal_data_file(fuzzing::file_of(data, size), cv, &error)) natal_data_file_text(cv);
    return 0;
}
