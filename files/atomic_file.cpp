#include "files/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tavrolin {

namespace {

constexpr std::size_t buffer_size = 1 << 20;

// Permissions of the new file: those of the file it replaces, else the usual ones under umask.
mode_t mode_for(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {}

AtomicFile::~AtomicFile() { abandon(); }

bool AtomicFile::fail(const char* step, int err) {
    if (error_.empty()) error_ = "Could not write " + path_ + " (" + step + "): " + std::strerror(err);
    abandon();
    return false;
}

void AtomicFile::abandon() {
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(temp_name_.c_str());
        fd_ = -1;
    }
}

bool AtomicFile::open(std::string* error) {
    std::string name = path_ + ".XXXXXX";
    std::vector<char> temp(name.begin(), name.end());
    temp.push_back('\0');
    fd_ = ::mkstemp(temp.data());
    if (fd_ < 0) {
        fail("create", errno);
    } else {
        temp_name_ = temp.data();
        if (::fchmod(fd_, mode_for(path_)) != 0) fail("permissions", errno);
    }
    if (error != nullptr) *error = error_;
    return error_.empty();
}

bool AtomicFile::flush() {
    std::size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail("write", errno);
        }
        done += static_cast<std::size_t>(n);
    }
    buffer_.clear();
    return true;
}

bool AtomicFile::write(std::string_view data) {
    if (fd_ < 0) return false;
    buffer_ += data;
    return buffer_.size() < buffer_size || flush();
}

bool AtomicFile::commit(std::string* error) {
    bool ok = fd_ >= 0 && flush();
    // The data must be on disk before the rename makes it the file, or a crash could leave an
    // empty file under the old name.
    if (ok && ::fsync(fd_) != 0) ok = fail("sync", errno);
    if (ok) {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) {
            const int err = errno;
            ::unlink(temp_name_.c_str());
            ok = fail("close", err);
        } else if (::rename(temp_name_.c_str(), path_.c_str()) != 0) {
            const int err = errno;
            ::unlink(temp_name_.c_str());
            ok = fail("rename", err);
        }
    }
    if (!ok && error_.empty()) error_ = "Could not write " + path_;
    if (error != nullptr) *error = error_;
    return ok;
}

bool write_file_atomically(const std::string& path, std::string_view content, std::string* error) {
    AtomicFile file(path);
    if (!file.open(error)) return false;
    file.write(content);
    return file.commit(error);
}

}  // namespace tavrolin
