// The output file on Linux.
//
// The new contents go to a file beside the target that has no name while it is written:
// O_TMPFILE makes one that vanishes with the process however it ends (a kill, SIGKILL
// included, or a crash), which no signal handler can promise.  Complete, it is linked to a
// fresh name through /proc/self/fd (linkat, AT_SYMLINK_FOLLOW) and renamed over the target,
// with SIGINT, SIGTERM and SIGHUP held back over those two calls (the renderer's worker
// threads have ended by then, so this thread's signal mask is the process's).  Where the
// file system or kernel has no O_TMPFILE, or /proc is not mounted, a mkstemp file takes its
// place and those signals remove it before the process ends; only SIGKILL can leave that one.
#include "toolkit/output_file.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

struct OutputFile {
    int fd = -1;
    bool standard = false; // standard output, which stays open
    std::string target;    // the path with its symbolic links followed; empty when written through
    std::string temp;      // the named new file, while there is one
    int unnamed = -1;      // the O_TMPFILE file, for linkat
};

namespace {

constexpr int STOP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};
char pending[PATH_MAX]; // the named new file, for the signal handlers

// Holds the stop signals back while it lives.
class HoldSignals {
  public:
    HoldSignals() {
        sigset_t set;
        sigemptyset(&set);
        for (const int signal : STOP_SIGNALS)
            sigaddset(&set, signal);
        sigprocmask(SIG_BLOCK, &set, &old_);
    }
    ~HoldSignals() { sigprocmask(SIG_SETMASK, &old_, nullptr); }

  private:
    sigset_t old_;
};

extern "C" void remove_pending_and_stop(int signal) {
    if (pending[0] != '\0') unlink(pending);
    std::signal(signal, SIG_DFL);
    raise(signal); // delivered when the handler returns: ends the process as the signal would
}

// Stop signals remove the named new file first; those ignored (nohup) stay ignored.
void remove_pending_on_stop() {
    struct sigaction action = {};
    action.sa_handler = remove_pending_and_stop;
    sigemptyset(&action.sa_mask);
    for (const int signal : STOP_SIGNALS)
        sigaddset(&action.sa_mask, signal);
    for (const int signal : STOP_SIGNALS) {
        struct sigaction old = {};
        if (sigaction(signal, nullptr, &old) == 0 && old.sa_handler != SIG_IGN)
            sigaction(signal, &action, nullptr);
    }
}

// Follows symbolic links at the end of `path`, so that a link stays a link and its target
// gets the new contents (made if it does not exist yet); false and ELOOP on a loop.
bool follow_links(std::string& path) {
    for (int hops = 0; hops < 40; ++hops) {
        char to[PATH_MAX];
        const ssize_t size = readlink(path.c_str(), to, sizeof to);
        if (size <= 0) return true;
        const std::string link(to, size_t(size));
        const size_t slash = path.rfind('/');
        path =
            link[0] == '/' || slash == std::string::npos ? link : path.substr(0, slash + 1) + link;
    }
    errno = ELOOP;
    return false;
}

std::string folder_of(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

int create_named(OutputFile& out) {
    std::string name = out.target + ".XXXXXX";
    if (name.size() >= sizeof pending) {
        errno = ENAMETOOLONG;
        return -1;
    }
    remove_pending_on_stop();
    HoldSignals hold;
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) {
        out.temp = name;
        std::memcpy(pending, name.c_str(), name.size() + 1);
    }
    return fd;
}

// Removes the new file, if it is still there, and lets go of it.
void discard(OutputFile& out) {
    HoldSignals hold;
    if (!out.temp.empty()) unlink(out.temp.c_str());
    out.temp.clear();
    pending[0] = '\0';
    if (out.unnamed >= 0) close(out.unnamed);
    out.unnamed = -1;
}

// An existing target that is no regular file (a device, a FIFO; a folder fails to open) is
// written through, never replaced.  Otherwise a new file beside it: a new target gets the
// umask's mode (0666 less the umask), an existing one keeps its mode and, where allowed, its
// owner and group.
int open_new(const std::string& path, OutputFile& out) {
    struct stat old;
    if (stat(path.c_str(), &old) == 0 && !S_ISREG(old.st_mode))
        return open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    out.target = path;
    if (!follow_links(out.target)) return -1;
    const bool exists = stat(out.target.c_str(), &old) == 0;
    const bool unnamed = access("/proc/self/fd", X_OK) == 0;
    int fd =
        unnamed ? open(folder_of(out.target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666) : -1;
    if (fd >= 0) {
        out.unnamed = fd;
        fd = dup(fd);
    } else if (!unnamed || errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
        // No O_TMPFILE here (EINVAL: a layer that does not know the flag, as node's)
        fd = create_named(out);
        if (fd >= 0 && !exists) {
            const mode_t mask = umask(0); // mkstemp made it 0600
            umask(mask);
            fchmod(fd, 0666 & ~mask);
        }
    }
    if (fd >= 0 && exists) {
        // Only root may give a file away; anyone else's new file stays their own.
        if (fchown(fd, old.st_uid, old.st_gid) != 0) errno = 0;
        fchmod(fd, old.st_mode & 07777);
    }
    if (fd < 0) {
        const int saved = errno;
        discard(out);
        errno = saved;
    }
    return fd;
}

// Names the complete new file: links the unnamed one to a fresh name beside the target, then
// renames that over the target, the stop signals waiting until both are done.
int put_in_place(OutputFile& out) {
    HoldSignals hold;
    if (out.unnamed >= 0) {
        const std::string self = "/proc/self/fd/" + std::to_string(out.unnamed);
        for (int attempt = 0; out.temp.empty(); ++attempt) {
            const std::string name =
                out.target + "." + std::to_string(getpid()) + "." + std::to_string(attempt);
            if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
                out.temp = name;
            else if (errno != EEXIST || attempt == 99)
                return errno;
        }
    }
    if (std::rename(out.temp.c_str(), out.target.c_str()) != 0) return errno;
    out.temp.clear();
    pending[0] = '\0';
    return 0;
}

// Set when the user asks to stop (Ctrl-C).
volatile std::sig_atomic_t interrupted = 0;
extern "C" void on_interrupt(int) {
    interrupted = 1;
}

} // namespace

OutputFile* output_open(const char* path) {
    // A file size limit (ulimit -f) then fails the write with EFBIG, which is reported and
    // cleaned up like a full disk, instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    auto* out = new OutputFile;
    if (std::strcmp(path, "-") == 0) {
        out->fd = STDOUT_FILENO;
        out->standard = true;
        return out;
    }
    out->fd = open_new(path, *out);
    if (out->fd >= 0) return out;
    delete out;
    return nullptr;
}

// Straight to the descriptor: the pieces are large.
bool output_write(OutputFile* out, const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = write(out->fd, bytes, std::min<size_t>(size, size_t(1) << 30));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        bytes += n;
        size -= size_t(n);
    }
    return true;
}

int output_close(OutputFile* out, bool keep) {
    int error = out->standard || close(out->fd) == 0 ? 0 : errno;
    if (keep && !error && !out->target.empty()) error = put_in_place(*out);
    discard(*out);
    delete out;
    return error;
}

void interrupt_catch() {
    struct sigaction action = {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

bool interrupt_caught() {
    return interrupted != 0;
}
