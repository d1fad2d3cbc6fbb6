// varnok-render: renders one tone exactly as the program does and writes the whole WAV image
// (header, data and pad byte) to a file or to standard output.
#include "synth/sound_format.h"
#include "synth/tone.h"
#include "synth/wav_image.h"
#include "toolkit/toolkit.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#endif

// What the operating systems do differently, all of it here: opening the output (a device
// directly, anything else as a new file beside the target), putting the new file in the
// target's place once complete, and standard output in binary.
namespace platform {
FILE* as_file(int fd) {
    FILE* file = fd < 0 ? nullptr : fdopen(fd, "wb");
    if (fd >= 0 && !file) {
        const int saved = errno;
        close(fd);
        errno = saved;
    }
    return file;
}

// Set when the user asks to stop (Ctrl-C) while a tone plays.
volatile std::sig_atomic_t interrupted = 0;

#if defined(_WIN32)
void prepare() {}

BOOL WINAPI on_console_control(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    interrupted = 1;
    return TRUE;
}
void catch_interrupt() {
    SetConsoleCtrlHandler(on_console_control, TRUE);
}

void pause_ms(int milliseconds) {
    Sleep(DWORD(milliseconds));
}

// The C runtime's text mode would write every 0x0A byte of the image as 0x0D 0x0A.
void binary_stdout() {
    _setmode(_fileno(stdout), _O_BINARY);
}

struct Output {
    std::string target; // empty when written through
    std::string temp;   // the new file beside the target
};

// Creates and opens a file of a new name made from `name` (ending in XXXXXX), which it
// receives; nullptr and errno when that fails.  Its permissions are a new file's.
FILE* create_new(std::string& name) {
    const std::string pattern = name;
    for (int attempt = 0; attempt < 32; ++attempt) {
        name = pattern;
        if (!_mktemp(name.data())) { // every name taken (or a device name: "CON.x" is CON)
            errno = EEXIST;
            return nullptr;
        }
        const int fd =
            _open(name.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (fd < 0 && errno == EEXIST) continue;
        FILE* file = as_file(fd);
        if (!file && fd >= 0) {
            const int saved = errno;
            std::remove(name.c_str());
            errno = saved;
        }
        return file;
    }
    errno = EEXIST;
    return nullptr;
}

// A device (NUL, CON, a serial port, a pipe) is written through, never replaced; anything
// else gets a new file beside it.
FILE* open_output(const std::string& path, Output& out) {
    const HANDLE handle =
        CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        if (GetFileType(handle) != FILE_TYPE_DISK) {
            const int fd =
                _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
            if (fd < 0) CloseHandle(handle);
            return as_file(fd);
        }
        CloseHandle(handle);
    }
    out.target = path;
    out.temp = path + ".XXXXXX";
    FILE* file = create_new(out.temp);
    if (!file) out.temp.clear();
    return file;
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

// Closes the output and, when `keep`, puts the new file in the target's place; otherwise, or
// when that fails, removes it.  0, or the errno of what failed.
int finish(Output& out, FILE* file, bool keep) {
    int error = std::fclose(file) == 0 ? 0 : errno;
    if (out.temp.empty()) return error;
    if (keep && !error && replace(out.temp, out.target)) return 0;
    if (keep && !error) error = errno;
    std::remove(out.temp.c_str());
    return error;
}
#else
// A file size limit (ulimit -f) then fails the write with EFBIG, which is reported and cleaned
// up like a full disk, instead of ending the process.
void prepare() {
    std::signal(SIGXFSZ, SIG_IGN);
}

void binary_stdout() {}

extern "C" void on_interrupt(int) {
    interrupted = 1;
}
void catch_interrupt() {
    struct sigaction action = {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

void pause_ms(int milliseconds) {
    const timespec pause = {milliseconds / 1000, long(milliseconds % 1000) * 1000000L};
    nanosleep(&pause, nullptr);
}

// The new image goes to a file beside the target that has no name while it is written:
// O_TMPFILE makes one that vanishes with the process however it ends (a kill, SIGKILL
// included, or a crash), which no signal handler can promise.  Complete, it is linked to a
// fresh name through /proc/self/fd (linkat, AT_SYMLINK_FOLLOW) and renamed over the target,
// with SIGINT, SIGTERM and SIGHUP held back over those two calls (the renderer's worker
// threads have ended by then, so this thread's signal mask is the process's).  Where the
// file system or kernel has no O_TMPFILE, or /proc is not mounted, a mkstemp file takes its
// place and those signals remove it before the process ends; only SIGKILL can leave that one.
struct Output {
    std::string target; // the path with its symbolic links followed; empty when written through
    std::string temp;   // the named new file, while there is one
    int unnamed = -1;   // the O_TMPFILE file, for linkat
};

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

int create_named(Output& out) {
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
void discard(Output& out) {
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
FILE* open_output(const std::string& path, Output& out) {
    struct stat old;
    if (stat(path.c_str(), &old) == 0 && !S_ISREG(old.st_mode))
        return as_file(open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
    out.target = path;
    if (!follow_links(out.target)) return nullptr;
    const bool exists = stat(out.target.c_str(), &old) == 0;
    const bool unnamed = access("/proc/self/fd", X_OK) == 0;
    int fd =
        unnamed ? open(folder_of(out.target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666) : -1;
    if (fd >= 0) {
        out.unnamed = fd;
        fd = dup(fd);
    } else if (!unnamed || errno == EOPNOTSUPP || errno == EISDIR) { // no O_TMPFILE here
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
    FILE* file = as_file(fd);
    if (!file) {
        const int saved = errno;
        discard(out);
        errno = saved;
    }
    return file;
}

// Names the complete new file: links the unnamed one to a fresh name beside the target, then
// renames that over the target, the stop signals waiting until both are done.
int put_in_place(Output& out) {
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

// Closes the output and, when `keep`, puts the new file in the target's place; otherwise, or
// when that fails, removes it.  0, or the errno of what failed.
int finish(Output& out, FILE* file, bool keep) {
    int error = std::fclose(file) == 0 ? 0 : errno;
    if (keep && !error && !out.target.empty()) error = put_in_place(out);
    discard(out);
    return error;
}
#endif
} // namespace platform

namespace {
constexpr float MAX_DURATION = 512.0f;

// Every value is kept as typed and read by the parsers below, which take plain decimal only.
struct Options {
    std::string rate = "44100";
    std::string bits = "16";
    std::string channels = "1";
    std::string style = "0";
    std::string frequency = "315";
    std::string duration = "1";
    std::string sweep = "0";
    std::string amplitude = "25";
    bool fade_in = false;
    bool fade_out = false;
    bool play = false;
    std::string seed;
    std::string output = "tone.wav";
};

[[noreturn]] void fail(int status, const std::string& message) {
    std::fprintf(stderr, "varnok-render: %s\n", message.c_str());
    std::exit(status);
}

bool all_digits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// A whole number in plain decimal from `lowest` to `highest`: digits without leading zeros
// (which C reads as octal), a '-' only where negative values are allowed, nothing else - no
// spaces, no '+', no prefixes.  Returned as its magnitude and sign.
struct Whole {
    uint64_t magnitude;
    bool negative;
};
Whole parse_whole(const std::string& option, const std::string& text, int64_t lowest,
                  uint64_t highest) {
    const bool negative = lowest < 0 && !text.empty() && text[0] == '-';
    const std::string digits = text.substr(negative ? 1 : 0);
    if (!all_digits(digits) || (digits[0] == '0' && digits.size() > 1))
        fail(2, option + ": '" + text + "' is not a whole number in decimal" +
                    (lowest < 0 ? "" : " (no sign)"));
    const uint64_t limit = negative ? uint64_t(-(lowest + 1)) + 1 : highest;
    uint64_t value = 0;
    for (const char c : digits) {
        const unsigned digit = unsigned(c - '0');
        if (value > (limit - digit) / 10)
            fail(2, option + ": '" + text + "' is out of range (" + std::to_string(lowest) +
                        " to " + std::to_string(highest) + ")");
        value = value * 10 + digit;
    }
    return {value, negative};
}

int32_t parse_int(const std::string& option, const std::string& text, bool negative_allowed) {
    const Whole w = parse_whole(option, text, negative_allowed ? INT32_MIN : 0, INT32_MAX);
    return w.negative ? int32_t(-int64_t(w.magnitude)) : int32_t(w.magnitude);
}

// A real number as a 32-bit float, rounded once from its decimal text: digits with an optional
// point and exponent, a '-' only where negative values are allowed; no spaces, '+' or hex.
float parse_real(const std::string& option, const std::string& text, bool negative_allowed) {
    const size_t start = negative_allowed && !text.empty() && text[0] == '-' ? 1 : 0;
    const size_t exponent = std::min(text.find_first_of("eE"), text.size());
    const std::string mantissa = text.substr(start, exponent - start);
    const size_t point = mantissa.find('.');
    std::string digits = mantissa;
    if (point != std::string::npos) digits.erase(point, 1);
    std::string power = exponent < text.size() ? text.substr(exponent + 1) : "0";
    if (!power.empty() && (power[0] == '-' || power[0] == '+')) power.erase(0, 1);
    const float value = std::strtof(text.c_str(), nullptr);
    if (!all_digits(digits) || !all_digits(power) || !std::isfinite(value))
        fail(2, option + ": '" + text + "' is not a finite real number in decimal" +
                    (negative_allowed ? "" : " (no sign)"));
    return value;
}

// ASCII letters in either case, as strcasecmp compares them in the C locale.
bool same_ignoring_case(const std::string& a, const char* b) {
    const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i)
        if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && b[i] == '\0';
}

// A style by name, or by its number as one digit.
int32_t parse_style(const std::string& text) {
    for (int32_t i = 0; i < TONE_STYLE_COUNT; ++i)
        if (same_ignoring_case(text, TONE_STYLE_NAMES[i])) return i;
    if (text.size() == 1 && text[0] >= '0' && text[0] < '0' + TONE_STYLE_COUNT)
        return text[0] - '0';
    std::string names;
    for (const char* name : TONE_STYLE_NAMES)
        names += std::string(names.empty() ? "" : ", ") + name;
    fail(2, "--style: '" + text + "' is no style; use 0 to 8 or one of " + names);
}

// CLI11 reads --flag=value as true or false; these flags take no value at all.
void refuse_flag_values(int argc, char** argv) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
        for (const std::string flag : {"--fade-in", "--fade-out", "--play"})
            if (std::strncmp(argv[i], (flag + "=").c_str(), flag.size() + 1) == 0)
                fail(2, flag + ": a flag, it takes no value");
}

// What the sound device may still hold of a tone's end when its source has played the last
// sample.
constexpr int DEVICE_TAIL_MS = 200;

// Plays the image on the default sound device and returns once it has been heard to the end;
// Ctrl-C silences it at once and ends the program with status 130.
void play_image(const uint8_t* image) {
    if (!sound_init()) fail(1, "no sound device to play on");
    const int32_t sound = int32_t(sound_load_wav_memory(AUTO_NUMBER, image));
    platform::catch_interrupt();
    if (!sound || !sound_play(sound, 0, -1)) {
        sound_shutdown();
        fail(1, "the sound device cannot play this tone");
    }
    while (sound_playing(sound) && !platform::interrupted)
        platform::pause_ms(10);
    for (int waited = 0; waited < DEVICE_TAIL_MS && !platform::interrupted; waited += 10)
        platform::pause_ms(10);
    sound_shutdown();
    if (platform::interrupted) std::exit(130);
}

// Straight to the file's descriptor, without the stream's buffer: the pieces are large.
bool write_all(FILE* file, const uint8_t* data, size_t size) {
    const int fd = fileno(file);
    while (size > 0) {
        const int chunk = int(std::min<size_t>(size, size_t(1) << 30));
#if defined(_WIN32)
        const int n = _write(fd, data, unsigned(chunk));
#else
        const ssize_t n = write(fd, data, size_t(chunk));
#endif
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

// What goes into the output: the whole image at once, or the tone made as it is written.
struct Content {
    const uint8_t* image = nullptr; // the image, when there is one
    size_t size = 0;                // the image's size, header and pad byte included
    const ToneSetup* tone = nullptr;
    const uint8_t* header = nullptr;
};

// Writes the content to the file; false, with errno, when a write fails.  A streamed tone is
// its header, its frames as they are made, then the rest of the image's block, silence.
bool write_content(FILE* file, const Content& c) {
    errno = 0;
    if (c.image) return write_all(file, c.image, c.size);
    if (!write_all(file, c.header, WAV_HEADER_SIZE)) return false;
    const auto put = [](void* f, const uint8_t* bytes, size_t n) {
        return write_all(static_cast<FILE*>(f), bytes, n);
    };
    if (!stream_frames(*c.tone, put, file)) return false;
    const size_t rest = c.size - WAV_HEADER_SIZE - size_t(c.tone->data_size);
    const std::vector<uint8_t> silence(rest, c.tone->width == 1 ? 128 : 0);
    return write_all(file, silence.data(), rest);
}

// Writes the content so that the target holds either all of it or what it held before.
void write_file(const std::string& path, const Content& content) {
    if (path == "-") {
        platform::binary_stdout();
        if (!write_content(stdout, content))
            fail(1, "cannot write standard output: " + std::string(std::strerror(errno)));
        return;
    }
    platform::Output out;
    FILE* file = platform::open_output(path, out);
    if (!file) fail(1, "cannot write " + path + ": " + std::strerror(errno));
    const int write_error = write_content(file, content) ? 0 : errno ? errno : EIO;
    const int error = platform::finish(out, file, write_error == 0);
    if (write_error || error)
        fail(1, "cannot write " + path + ": " + std::strerror(write_error ? write_error : error));
}
} // namespace

int main(int argc, char** argv) {
    platform::prepare();
    Options o;
    CLI::App app{"Renders one tone into a RIFF/WAVE file, byte for byte as the program makes it."};
    app.set_version_flag("--version", "varnok-render " VARNOK_VERSION);
    app.add_option("--rate", o.rate, "sample rate in Hz (snapped to 5512, 11025, 22050, 44100)")
        ->type_name("INT");
    app.add_option("--bits", o.bits, "8 or 16 bits per sample")->type_name("INT:{8,16}");
    app.add_option("--channels", o.channels, "1 (mono) or 2 (stereo); other values snap")
        ->type_name("INT");
    app.add_option("--style", o.style, "0 to 8, or a style name such as \"Absolute Sine\"")
        ->type_name("STYLE");
    app.add_option("--frequency", o.frequency, "start frequency in Hz")->type_name("HZ");
    app.add_option("--duration", o.duration, "seconds, at most 512")->type_name("SECONDS");
    app.add_option("--sweep", o.sweep, "end frequency of a linear sweep in Hz, 0 for none")
        ->type_name("HZ");
    app.add_option("--amplitude", o.amplitude, "percent of full scale")->type_name("INT");
    app.add_flag("--fade-in", o.fade_in, "fade in from silence");
    app.add_flag("--fade-out", o.fade_out, "fade out to silence");
    app.add_option("--seed", o.seed, "seed of the white-noise generator")->type_name("UINT");
    app.add_option("--output,-o", o.output,
                   "file to write, - for standard output (default tone.wav; none with --play)");
    app.add_flag("--play", o.play,
                 "play the tone on the default sound device to its end (Ctrl-C stops it)");
    refuse_flag_values(argc, argv);
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::string message = e.what();
        std::replace(message.begin(), message.end(), '\n', ' ');
        fail(2, message);
    }

    const int32_t rate = parse_int("--rate", o.rate, false);
    const int32_t bits = parse_int("--bits", o.bits, false);
    if (bits != 8 && bits != 16) fail(2, "--bits: '" + o.bits + "' is neither 8 nor 16");
    const int32_t channels = parse_int("--channels", o.channels, false);
    const int32_t amplitude = parse_int("--amplitude", o.amplitude, true);
    const int32_t style = parse_style(o.style);
    const float frequency = parse_real("--frequency", o.frequency, true);
    const float duration = parse_real("--duration", o.duration, false);
    const float sweep = parse_real("--sweep", o.sweep, true);
    if (duration > MAX_DURATION) fail(2, "--duration: at most 512 seconds");
    if (app.count("--seed")) random_seed(parse_whole("--seed", o.seed, 0, UINT64_MAX).magnitude);
    if (o.output.empty()) fail(2, "--output: an empty name names no file");

    set_sound_format(rate, bits == 8 ? 1 : 2, channels);
    if (!o.play) {
        // The file is written as the tone is made: no image is held.
        ToneSetup tone;
        uint8_t header[WAV_HEADER_SIZE];
        Content content;
        if (!tone_plan(&tone, header, &content.size, frequency, duration, amplitude, sweep, style,
                       o.fade_in, o.fade_out))
            fail(1, "the tone is too long for a WAV file");
        content.tone = &tone;
        content.header = header;
        write_file(o.output, content);
        return 0;
    }
    // The sound device takes the whole image.
    if (fill_tone(frequency, duration, amplitude, sweep, style, o.fade_in, o.fade_out) !=
        FillResult::filled)
        fail(1, "not enough memory for the image");
    const uint8_t* image = prepare_wav_image(float(IMAGE_QUERY_ADDRESS));
    if (app.count("--output")) write_file(o.output, Content{image, wav_image_size()});
    play_image(image);
    return 0;
}
