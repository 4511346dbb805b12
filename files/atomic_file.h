// Writing a whole file so that readers see either the old content or the new one, never a part.
#pragma once

#include <string>
#include <string_view>

namespace tavrolin {

// A file written piece by piece into a new file beside `path`, which commit() renames over
// `path`. Until then the old file (if any) stays as it was; destroyed without a commit, or after
// a failure, nothing is left behind. Errors name `path`. An existing file's permissions are kept.
class AtomicFile {
public:
    explicit AtomicFile(std::string path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool open(std::string* error = nullptr);
    // False once anything has failed; the error is told by commit().
    bool write(std::string_view data);
    bool commit(std::string* error = nullptr);

private:
    bool flush();
    bool fail(const char* step, int err);
    void abandon();

    std::string path_, temp_name_, buffer_, error_;
    int fd_ = -1;
};

// The whole content at once.
bool write_file_atomically(const std::string& path, std::string_view content, std::string* error = nullptr);

}  // namespace tavrolin
