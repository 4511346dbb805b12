// Writing a whole file so that readers see either the old content or the new one, never a part.
#pragma once

#include <string>
#include <string_view>

namespace tavrolin {

// A file written piece by piece into a new file beside the one it replaces, which commit()
// renames over it. `path` may be a symbolic link (or a chain of them): the file it leads to is
// replaced and the link stays. Until the commit the old file (if any) stays as it was; destroyed
// without a commit, after a failure, or when the program is ended by SIGINT, SIGTERM or SIGHUP
// (once install_temp_file_cleanup() has run), nothing is left behind. Errors name `path`.
// A file that is read-only is refused ("<path> is read-only"), as is anything but a regular file.
// A replaced file keeps its permission bits (never set-id or sticky ones); a new file gets the
// usual ones under the umask.
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

    std::string path_, target_, temp_name_, buffer_, error_;
    int fd_ = -1;
    int slot_ = -1;  // in the registry of files the signal handler removes
};

// The whole content at once.
bool write_file_atomically(const std::string& path, std::string_view content, std::string* error = nullptr);

// Makes SIGINT, SIGTERM and SIGHUP remove the temporary files of unfinished writes before the
// program ends as the signal asks. Signals the program ignores stay ignored. Call it once, early
// in main.
void install_temp_file_cleanup();

}  // namespace tavrolin
