#include "engine/input_field.h"

namespace tavrolin {

std::string quoted_input(std::string_view text) {
    if (text.size() <= max_quoted_length) return std::string(text);
    // Cut at the start of a character, not inside a UTF-8 sequence.
    std::size_t cut = max_quoted_length;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return std::string(text.substr(0, cut)) + "...";
}

std::string refusal_message(InputField field, std::string_view text, std::string_view problem) {
    return std::string(caption_of(field)) + ": \"" + quoted_input(text) + "\" " + std::string(problem);
}

}  // namespace tavrolin
