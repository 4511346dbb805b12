#include "files/file_names.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrolin {

std::string ParseFilenameOnly(const std::string& full_path, std::string& last_folder) {
    const std::size_t slash = full_path.rfind('/');
    if (slash == std::string::npos) return full_path;
    // Everything before the last separator, except that a file in the root folder has "/" as its
    // folder rather than an empty text (which would mean "no folder chosen yet").
    last_folder = slash == 0 ? std::string("/") : full_path.substr(0, slash);
    return full_path.substr(slash + 1);
}

bool FileExists(const std::string& Path) {
    if (Path.empty()) return false;
    // Non-blocking, so that a named pipe without a writer cannot hang the window.
    const int fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    const bool readable_file = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
    ::close(fd);
    return readable_file;
}

}  // namespace tavrolin
