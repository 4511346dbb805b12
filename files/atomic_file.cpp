#include "files/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrolin {

namespace {

constexpr std::size_t buffer_size = 1 << 20;
// As many links as the kernel follows in one path before it gives up (ELOOP).
constexpr int max_link_hops = 40;

// The temporary files being written, for the signal handler to remove. A fixed table of plain
// buffers, because a handler may neither allocate nor take a lock; a slot's state says whether
// its path may be read.
enum SlotState : int { free_slot, claimed, armed };
struct TempSlot {
    std::atomic<int> state{free_slot};
    char path[PATH_MAX];
};
constexpr int slot_count = 16;
TempSlot temp_slots[slot_count];
constexpr int cleanup_signals[] = {SIGINT, SIGTERM, SIGHUP};

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the slots' states");

int arm_slot(const std::string& path) {
    if (path.size() >= PATH_MAX) return -1;
    for (int i = 0; i < slot_count; ++i) {
        int expected = free_slot;
        if (temp_slots[i].state.compare_exchange_strong(expected, claimed)) {
            std::memcpy(temp_slots[i].path, path.c_str(), path.size() + 1);
            temp_slots[i].state.store(armed);
            return i;
        }
    }
    return -1;  // more writes at once than slots: this one is just not cleaned up on a signal
}

void release_slot(int slot) {
    if (slot >= 0) temp_slots[slot].state.store(free_slot);
}

extern "C" void remove_temp_files(int signal_number) {
    for (TempSlot& slot : temp_slots)
        if (slot.state.load() == armed) ::unlink(slot.path);
    // Ends the program as the signal would have without this handler: it is delivered again,
    // with the default action, as soon as the handler returns.
    ::signal(signal_number, SIG_DFL);
    ::raise(signal_number);
}

// Holds back the cleanup signals while a temporary file is created and entered in the table, so
// that no signal finds it created but not yet entered.
class CleanupSignalsBlocked {
public:
    CleanupSignalsBlocked() {
        sigset_t set;
        sigemptyset(&set);
        for (int s : cleanup_signals) sigaddset(&set, s);
        pthread_sigmask(SIG_BLOCK, &set, &old_);
    }
    ~CleanupSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
    CleanupSignalsBlocked(const CleanupSignalsBlocked&) = delete;
    CleanupSignalsBlocked& operator=(const CleanupSignalsBlocked&) = delete;

private:
    sigset_t old_;
};

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The file that `path` leads to through any symbolic links (which need not exist yet), and its
// status when it does. Returns 0 or an errno value.
int resolve_links(const std::string& path, std::string& target, struct stat& st, bool& exists) {
    std::string p = path;
    for (int hop = 0; hop <= max_link_hops; ++hop) {
        if (::lstat(p.c_str(), &st) != 0) {
            if (errno != ENOENT) return errno;
            target = p;
            exists = false;
            return 0;
        }
        if (!S_ISLNK(st.st_mode)) {
            target = p;
            exists = true;
            return 0;
        }
        char link[PATH_MAX];
        const ssize_t n = ::readlink(p.c_str(), link, sizeof link);
        if (n < 0) return errno;
        if (static_cast<std::size_t>(n) == sizeof link) return ENAMETOOLONG;
        const std::string next(link, static_cast<std::size_t>(n));
        p = next.front() == '/' ? next : folder_of(p) + next;
    }
    return ELOOP;
}

// A new, empty file with a short name of its own in `folder`: a name derived from the target's
// could pass the system's limit of 255 bytes for a long file name. Made with the usual
// permissions under the umask.
int create_temp_file(const std::string& folder, std::string& name) {
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned char random[6];
        if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) return -1;
        name = folder + ".tavrolin-";
        for (unsigned char r : random) name += letters[r % (sizeof letters - 1)];
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// Makes the rename itself survive a crash: the new name is in the folder's own data.
void sync_folder(const std::string& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    // The file is in place already; a file system that cannot sync folders is no reason to say
    // that the write failed.
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

void install_temp_file_cleanup() {
    for (int s : cleanup_signals) {
        struct sigaction old {};
        if (::sigaction(s, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) continue;  // ignored or taken
        struct sigaction action {};
        action.sa_handler = remove_temp_files;
        sigemptyset(&action.sa_mask);
        for (int other : cleanup_signals) sigaddset(&action.sa_mask, other);
        ::sigaction(s, &action, nullptr);
    }
}

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
    release_slot(slot_);
    slot_ = -1;
}

bool AtomicFile::open(std::string* error) {
    struct stat st {};
    bool exists = false;
    if (const int err = resolve_links(path_, target_, st, exists); err != 0) {
        fail("links", err);
    } else if (exists && !S_ISREG(st.st_mode)) {
        error_ = "Could not write " + path_ + ": not a regular file";
    } else if (exists && ((st.st_mode & 0222) == 0 || (::access(target_.c_str(), W_OK) != 0 && errno != ENOENT))) {
        // The permission bits, not a failing open, decide: the rename would replace the file even
        // where it may not be written, and root may write any file.
        error_ = path_ + " is read-only";
    } else {
        const CleanupSignalsBlocked blocked;
        fd_ = create_temp_file(folder_of(target_), temp_name_);
        if (fd_ < 0) {
            fail("create", errno);
        } else {
            slot_ = arm_slot(temp_name_);
            // Only the permission bits of the file really replaced; set-id and sticky bits of a
            // file are never given to a new one.
            if (exists && ::fchmod(fd_, st.st_mode & 0777) != 0) fail("permissions", errno);
        }
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
        } else if (::rename(temp_name_.c_str(), target_.c_str()) != 0) {
            const int err = errno;
            ::unlink(temp_name_.c_str());
            ok = fail("rename", err);
        } else {
            sync_folder(folder_of(target_));
        }
        release_slot(slot_);
        slot_ = -1;
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
