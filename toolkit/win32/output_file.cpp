// The output file on Windows: a new file beside the target (made with a fresh name), moved over
// it when complete; a device (NUL, CON, a serial port, a pipe) is written through.
#include "toolkit/output_file.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <sys/stat.h>
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

struct OutputFile {
    int fd = -1;
    bool standard = false; // standard output, which stays open
    std::string target;    // empty when written through
    std::string temp;      // the new file beside the target
};

namespace {

// Creates and opens a file of a new name made from `name` (ending in XXXXXX), which it
// receives; -1 and errno when that fails.  Its permissions are a new file's.
int create_new(std::string& name) {
    const std::string pattern = name;
    for (int attempt = 0; attempt < 32; ++attempt) {
        name = pattern;
        if (!_mktemp(name.data())) { // every name taken (or a device name: "CON.x" is CON)
            errno = EEXIST;
            return -1;
        }
        const int fd =
            _open(name.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (fd < 0 && errno == EEXIST) continue;
        return fd;
    }
    errno = EEXIST;
    return -1;
}

// A device (NUL, CON, a serial port, a pipe) is written through, never replaced; anything
// else gets a new file beside it.
int open_new(const std::string& path, OutputFile& out) {
    const HANDLE handle =
        CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        if (GetFileType(handle) != FILE_TYPE_DISK) {
            const int fd =
                _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
            if (fd < 0) CloseHandle(handle);
            return fd;
        }
        CloseHandle(handle);
    }
    out.target = path;
    out.temp = path + ".XXXXXX";
    const int fd = create_new(out.temp);
    if (fd < 0) out.temp.clear();
    return fd;
}

// std::rename does not replace an existing file on Windows.
bool replace(const std::string& from, const std::string& to) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        errno = ENOENT;
    else if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
        errno = EACCES;
    else
        errno = EIO;
    return false;
}

volatile std::sig_atomic_t interrupted = 0;

BOOL WINAPI on_console_control(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    interrupted = 1;
    return TRUE;
}

} // namespace

OutputFile* output_open(const char* path) {
    auto* out = new OutputFile;
    if (std::strcmp(path, "-") == 0) {
        // The C runtime's text mode would write every 0x0A byte as 0x0D 0x0A.
        _setmode(_fileno(stdout), _O_BINARY);
        out->fd = _fileno(stdout);
        out->standard = true;
        return out;
    }
    out->fd = open_new(path, *out);
    if (out->fd >= 0) return out;
    delete out;
    return nullptr;
}

bool output_write(OutputFile* out, const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const int n = _write(out->fd, bytes, unsigned(std::min<size_t>(size, size_t(1) << 30)));
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
    int error = out->standard || _close(out->fd) == 0 ? 0 : errno;
    if (!out->temp.empty()) {
        if (keep && !error && replace(out->temp, out->target)) {
            delete out;
            return 0;
        }
        if (keep && !error) error = errno;
        std::remove(out->temp.c_str());
    }
    delete out;
    return error;
}

void interrupt_catch() {
    SetConsoleCtrlHandler(on_console_control, TRUE);
}

bool interrupt_caught() {
    return interrupted != 0;
}
