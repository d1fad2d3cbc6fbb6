// varnok-render: renders one tone exactly as the program does and writes the whole WAV image
// (header, data and pad byte) to a file or to standard output.
#include "synth/sound_format.h"
#include "synth/tone.h"
#include "synth/wav_image.h"
#include "toolkit/output_file.h"
#include "toolkit/toolkit.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

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
    interrupt_catch();
    if (!sound || !sound_play(sound, 0, -1)) {
        sound_shutdown();
        fail(1, "the sound device cannot play this tone");
    }
    const auto pause = [] { std::this_thread::sleep_for(std::chrono::milliseconds(10)); };
    while (sound_playing(sound) && !interrupt_caught())
        pause();
    for (int waited = 0; waited < DEVICE_TAIL_MS && !interrupt_caught(); waited += 10)
        pause();
    sound_shutdown();
    if (interrupt_caught()) std::exit(130);
}

// What goes into the output: the whole image at once, or the tone made as it is written.
struct Content {
    const uint8_t* image = nullptr; // the image, when there is one
    size_t size = 0;                // the image's size, header and pad byte included
    const ToneSetup* tone = nullptr;
    const uint8_t* header = nullptr;
};

// Writes the content; false, with errno, when a write fails.  A streamed tone is its header,
// its frames as they are made, then the rest of the image's block, silence.
bool write_content(OutputFile* out, const Content& c) {
    errno = 0;
    if (c.image) return output_write(out, c.image, c.size);
    if (!output_write(out, c.header, WAV_HEADER_SIZE)) return false;
    const auto put = [](void* o, const uint8_t* bytes, size_t n) {
        return output_write(static_cast<OutputFile*>(o), bytes, n);
    };
    if (!stream_frames(*c.tone, put, out)) return false;
    const size_t rest = c.size - WAV_HEADER_SIZE - size_t(c.tone->data_size);
    const std::vector<uint8_t> silence(rest, c.tone->bytes_per_sample == 1 ? 128 : 0);
    return output_write(out, silence.data(), rest);
}

// Writes the content so that the target holds either all of it or what it held before.
void write_file(const std::string& path, const Content& content) {
    const std::string name = path == "-" ? "standard output" : path;
    OutputFile* out = output_open(path.c_str());
    if (!out) fail(1, "cannot write " + name + ": " + std::strerror(errno));
    const int write_error = write_content(out, content) ? 0 : errno ? errno : EIO;
    const int error = output_close(out, write_error == 0);
    if (write_error || error)
        fail(1, "cannot write " + name + ": " + std::strerror(write_error ? write_error : error));
}
} // namespace

int main(int argc, char** argv) {
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
        if (!describe_tone(&tone, header, &content.size, frequency, duration, amplitude, sweep,
                           style, o.fade_in, o.fade_out))
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
