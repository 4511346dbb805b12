#include "engine/input_field.h"

namespace tavrolin {

std::string refusal_message(InputField field, std::string_view text, std::string_view problem) {
    return std::string(caption_of(field)) + ": \"" + std::string(text) + "\" " + std::string(problem);
}

}  // namespace tavrolin
