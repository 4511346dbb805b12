#include "files/text_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrolin {

namespace {

std::optional<std::string> fail(std::string* error, const std::string& message) {
    if (error != nullptr) *error = message;
    return std::nullopt;
}

std::string cannot_read(const std::string& path, int err) { return path + ": cannot be read: " + std::strerror(err); }

}  // namespace

std::optional<std::string> read_whole_file(const std::string& path, std::size_t max_size, std::string_view what,
                                           std::string* error) {
    // Opened without waiting, so that a named pipe chosen by mistake cannot hang the window; only
    // regular files are read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return fail(error, cannot_read(path, errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(error, S_ISDIR(st.st_mode) ? cannot_read(path, EISDIR) : path + ": cannot be read: not a regular file");
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        const int err = errno;
        ::close(fd);
        return fail(error, cannot_read(path, err));
    }
    errno = 0;
    std::string text;
    char buffer[8192];
    bool too_large = false;
    int read_error = 0;
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file);
        text.append(buffer, got);
        if (text.size() > max_size) {
            too_large = true;
            break;
        }
        if (got < sizeof buffer) {
            if (std::ferror(file)) read_error = errno != 0 ? errno : EIO;
            break;
        }
    }
    std::fclose(file);
    if (read_error != 0) return fail(error, cannot_read(path, read_error));
    if (too_large) return fail(error, path + ": is too large to be " + std::string(what));
    return text;
}

bool is_valid_utf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        // Lead byte: how many continuation bytes follow, the smallest code point of that length,
        // and the lead byte's share of the bits.
        std::size_t extra = 0;
        unsigned min = 0;
        unsigned code = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            min = 0x80;
            code = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            min = 0x800;
            code = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            min = 0x10000;
            code = c & 0x07u;
        } else {
            return false;
        }
        if (i + extra >= text.size()) return false;  // cut off at the end
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto d = static_cast<unsigned char>(text[i + k]);
            if ((d & 0xC0u) != 0x80u) return false;
            code = (code << 6) | (d & 0x3Fu);
        }
        // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
        if (code < min || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return false;
        i += extra + 1;
    }
    return true;
}

std::string utf8_from_8bit(std::string text) {
    if (is_valid_utf8(text)) return text;
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string with_crlf_line_ends(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += text[i];
    }
    return out;
}

}  // namespace tavrolin
