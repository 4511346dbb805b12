#include "window/files/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tavrolin {

namespace {

bool fail(std::string* error, const std::string& path, const char* step, int err) {
    if (error != nullptr) *error = "Could not write " + path + " (" + step + "): " + std::strerror(err);
    return false;
}

// Permissions of the new file: those of the file it replaces, else the usual ones under umask.
mode_t mode_for(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

bool write_file_atomically(const std::string& path, std::string_view content, std::string* error) {
    std::string temp_name = path + ".XXXXXX";
    std::vector<char> temp(temp_name.begin(), temp_name.end());
    temp.push_back('\0');
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return fail(error, path, "create", errno);
    temp_name = temp.data();

    auto abandon = [&](const char* step, int err) {
        ::close(fd);
        ::unlink(temp_name.c_str());
        return fail(error, path, step, err);
    };

    if (::fchmod(fd, mode_for(path)) != 0) return abandon("permissions", errno);
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return abandon("write", errno);
        }
        done += static_cast<std::size_t>(n);
    }
    // The data must be on disk before the rename makes it the file, or a crash could leave an
    // empty file under the old name.
    if (::fsync(fd) != 0) return abandon("sync", errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp_name.c_str());
        return fail(error, path, "close", err);
    }
    if (::rename(temp_name.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp_name.c_str());
        return fail(error, path, "rename", err);
    }
    return true;
}

}  // namespace tavrolin
