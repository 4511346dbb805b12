#include "engine/result_row.h"

#include <limits>
#include <stdexcept>

namespace tavrolin {

namespace {

void check_length(std::size_t length) {
    if (length > std::numeric_limits<std::uint16_t>::max()) throw std::length_error("result row too long");
}

}  // namespace

ResultRow::ResultRow(std::initializer_list<std::string_view> texts) {
    if (texts.size() > static_cast<std::size_t>(columns)) throw std::length_error("result row has too many columns");
    std::size_t length = 0;
    for (const std::string_view text : texts) length += text.size();
    check_length(length);
    // Sized once: a string grown by appending could keep up to twice the room it needs.
    text_.reserve(length);
    std::size_t c = 0;
    for (const std::string_view text : texts) {
        text_ += text;
        end_[c++] = static_cast<std::uint16_t>(text_.size());
    }
    for (; c < end_.size(); ++c) end_[c] = static_cast<std::uint16_t>(text_.size());
}

void ResultRow::set(int column, std::string_view text) {
    const auto c = static_cast<std::size_t>(column);
    const std::size_t begin = c == 0 ? 0 : end_[c - 1];
    const std::size_t old_length = end_[c] - begin;
    check_length(text_.size() - old_length + text.size());
    text_.replace(begin, old_length, text);
    for (std::size_t k = c; k < end_.size(); ++k)
        end_[k] = static_cast<std::uint16_t>(end_[k] - old_length + text.size());
}

}  // namespace tavrolin
