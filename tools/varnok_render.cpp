// varnok-render: renders one tone exactly as the program does and writes the whole WAV image
// (header, data and pad byte) to a file or to standard output.
#include "synth/sound_format.h"
#include "synth/tone.h"
#include "synth/wav_image.h"
#include "toolkit/toolkit.h"

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <unistd.h>
#endif

// What the operating systems do differently, all of it here: making a new file beside the
// target, putting it in the target's place, and standard output in binary.
namespace platform {
#if defined(_WIN32)
// The C runtime's text mode would write every 0x0A byte of the image as 0x0D 0x0A.
void binary_stdout() {
    _setmode(_fileno(stdout), _O_BINARY);
}

// Creates and opens a file of a new name made from `name` (ending in XXXXXX), which it
// receives; nullptr and errno when that fails.
FILE* create_new(std::string& name) {
    const std::string pattern = name;
    for (int attempt = 0; attempt < 32; ++attempt) {
        name = pattern;
        if (!_mktemp(name.data())) return nullptr;
        const int fd =
            _open(name.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) return nullptr;
        FILE* file = _fdopen(fd, "wb");
        if (!file) {
            const int saved = errno;
            _close(fd);
            std::remove(name.c_str());
            errno = saved;
        }
        return file;
    }
    errno = EEXIST;
    return nullptr;
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
#else
void binary_stdout() {}

FILE* create_new(std::string& name) {
    const int fd = mkstemp(name.data());
    if (fd < 0) return nullptr;
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        const int saved = errno;
        close(fd);
        unlink(name.c_str());
        errno = saved;
    }
    return file;
}

bool replace(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}
#endif
} // namespace platform

namespace {
constexpr float MAX_DURATION = 512.0f;

struct Options {
    int32_t rate = 44100;
    int32_t bits = 16;
    int32_t channels = 1;
    std::string style = "0";
    std::string frequency = "315";
    std::string duration = "1";
    std::string sweep = "0";
    int32_t amplitude = 25;
    bool fade_in = false;
    bool fade_out = false;
    uint64_t seed = 0;
    bool seeded = false;
    std::string output = "tone.wav";
};

[[noreturn]] void fail(int status, const std::string& message) {
    std::fprintf(stderr, "varnok-render: %s\n", message.c_str());
    std::exit(status);
}

// A real number as a 32-bit float, rounded once from its decimal text.
float parse_real(const std::string& option, const std::string& text) {
    errno = 0;
    char* end = nullptr;
    const float value = std::strtof(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value))
        fail(2, option + ": '" + text + "' is not a finite real number");
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

int32_t parse_style(const std::string& text) {
    for (int32_t i = 0; i < TONE_STYLE_COUNT; ++i)
        if (same_ignoring_case(text, TONE_STYLE_NAMES[i])) return i;
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text.c_str(), &end, 10);
    if (!text.empty() && *end == '\0' && errno == 0 && n >= 0 && n < TONE_STYLE_COUNT)
        return int32_t(n);
    std::string names;
    for (const char* name : TONE_STYLE_NAMES)
        names += std::string(names.empty() ? "" : ", ") + name;
    fail(2, "--style: '" + text + "' is no style; use 0 to 8 or one of " + names);
}

bool write_all(FILE* file, const uint8_t* data, size_t size) {
    return std::fwrite(data, 1, size, file) == size && std::fflush(file) == 0;
}

// Writes beside the target and renames, so that no partial file is ever left under its name.
void write_file(const std::string& path, const uint8_t* data, size_t size) {
    if (path == "-") {
        platform::binary_stdout();
        if (!write_all(stdout, data, size))
            fail(1, "cannot write standard output: " + std::string(std::strerror(errno)));
        return;
    }
    std::string temp = path + ".XXXXXX";
    FILE* file = platform::create_new(temp);
    if (!file) fail(1, "cannot write " + path + ": " + std::strerror(errno));
    bool ok = write_all(file, data, size);
    const int saved = errno;
    ok = (std::fclose(file) == 0) && ok;
    if (ok && platform::replace(temp, path)) return;
    const int reason = ok ? errno : saved;
    std::remove(temp.c_str());
    fail(1, "cannot write " + path + ": " + std::strerror(reason));
}
} // namespace

int main(int argc, char** argv) {
    Options o;
    CLI::App app{"Renders one tone into a RIFF/WAVE file, byte for byte as the program makes it."};
    app.set_version_flag("--version", "varnok-render 1.3");
    app.add_option("--rate", o.rate, "sample rate in Hz (snapped to 5512, 11025, 22050, 44100)");
    app.add_option("--bits", o.bits, "8 or 16 bits per sample")->check(CLI::IsMember({8, 16}));
    app.add_option("--channels", o.channels, "1 (mono) or 2 (stereo); other values snap");
    app.add_option("--style", o.style, "0 to 8, or a style name such as \"Absolute Sine\"")
        ->type_name("STYLE");
    app.add_option("--frequency", o.frequency, "start frequency in Hz")->type_name("HZ");
    app.add_option("--duration", o.duration, "seconds, at most 512")->type_name("SECONDS");
    app.add_option("--sweep", o.sweep, "end frequency of a linear sweep in Hz, 0 for none")
        ->type_name("HZ");
    app.add_option("--amplitude", o.amplitude, "percent of full scale");
    app.add_flag("--fade-in", o.fade_in, "fade in from silence");
    app.add_flag("--fade-out", o.fade_out, "fade out to silence");
    app.add_option("--seed", o.seed, "seed of the white-noise generator")
        ->each([&](const std::string&) { o.seeded = true; });
    app.add_option("--output,-o", o.output, "file to write, - for standard output");
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::string message = e.what();
        std::replace(message.begin(), message.end(), '\n', ' ');
        fail(2, message);
    }

    if (o.rate < 0) fail(2, "--rate: a sample rate cannot be negative");
    const int32_t style = parse_style(o.style);
    const float frequency = parse_real("--frequency", o.frequency);
    const float duration = parse_real("--duration", o.duration);
    const float sweep = parse_real("--sweep", o.sweep);
    if (duration > MAX_DURATION) fail(2, "--duration: at most 512 seconds");
    if (o.seeded) random_seed(o.seed);

    set_sound_format(o.rate, o.bits == 8 ? 1 : 2, o.channels);
    if (fill_tone(frequency, duration, o.amplitude, sweep, style, o.fade_in, o.fade_out) !=
        FillResult::filled)
        fail(1, "not enough memory for the image");
    write_file(o.output, prepare_wav_image(float(IMAGE_QUERY_ADDRESS)), wav_image_size());
    return 0;
}
