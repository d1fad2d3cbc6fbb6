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
#include <cstdint>
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
        for (const std::string flag : {"--fade-in", "--fade-out"})
            if (std::strncmp(argv[i], (flag + "=").c_str(), flag.size() + 1) == 0)
                fail(2, flag + ": a flag, it takes no value");
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
    app.add_option("--output,-o", o.output, "file to write, - for standard output");
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
    if (fill_tone(frequency, duration, amplitude, sweep, style, o.fade_in, o.fade_out) !=
        FillResult::filled)
        fail(1, "not enough memory for the image");
    write_file(o.output, prepare_wav_image(float(IMAGE_QUERY_ADDRESS)), wav_image_size());
    return 0;
}
