// math-proof: checks the waveform's math functions (synth/exact_math.h) over every argument
// the renderer can pass them, against the C library and against MPFR's correctly rounded
// answer.
//
//   math-proof [--every N] [--check-every M] [--threads T]
//
// Arguments, one row each: every 32-bit phase in [0, 2 pi] as the sines and cosines take it
// (the phase, twice the phase, (phase - pi) / pi; the sine of Absolute Square's 32-bit angle
// in [0, pi/2] is the sine of a phase); every 32-bit root in [0, 1] for the arc
// cosine; every 32-bit c in [1/2, 1] for c to the power pi (the cosine step gives c >= cos 1);
// and the set-up's arguments (every peak plus pi, every Pink Synth peak's logarithm, the
// Pink Synth angle).  --every N takes every N-th argument of the long rows only.
//
// Every argument is evaluated by ours and by the C library.  MPFR decides wherever the two
// differ, wherever our unrounded double-double lies within 2^-20 ulp of a rounding boundary,
// and on every M-th argument (default 1024), where it also measures our unrounded error.
// Elsewhere both answers are the same double, and ours is the correctly rounded one because
// its error (about 2^-45 ulp at worst, analytically and as measured) is far below its
// distance to any rounding boundary.  So every argument ends up known: whether ours and the
// C library's answers are correctly rounded.  The exit status is 1 when ours ever is not.
#include "synth/exact_math.h"
#include "synth/tone.h"

#include <mpfr.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {
using exact::DoubleDouble;
constexpr double PI32 = double(PI_F);
constexpr double CLOSE_ULPS = 0x1p-20;

enum class Fn { sin, cos, acos, pow_pi32, log10 };

struct Row {
    Fn fn;
    const char* argument;
    uint64_t count;
    std::function<double(uint64_t)> input;
    bool narrowed;             // the renderer stores the result as a 32-bit real
    bool every_input = false;  // set-up rows ignore --every
    bool sine_samples = false; // Sine and Inverse Sine samples are q16(+-P sin x)
};

DoubleDouble ours(Fn fn, double x) {
    switch (fn) {
    case Fn::sin:
        return exact::sin_dd(x);
    case Fn::cos:
        return exact::cos_dd(x);
    case Fn::acos:
        return exact::acos_dd(x);
    case Fn::pow_pi32:
        return exact::pow_dd(x, PI32);
    default:
        return exact::log10_dd(x);
    }
}

double libc(Fn fn, double x) {
    // Through volatile pointers: the calls reach the library, never the compiler's folding.
    static double (*volatile sin_fn)(double) = ::sin;
    static double (*volatile cos_fn)(double) = ::cos;
    static double (*volatile acos_fn)(double) = ::acos;
    static double (*volatile pow_fn)(double, double) = ::pow;
    static double (*volatile log10_fn)(double) = ::log10;
    switch (fn) {
    case Fn::sin:
        return sin_fn(x);
    case Fn::cos:
        return cos_fn(x);
    case Fn::acos:
        return acos_fn(x);
    case Fn::pow_pi32:
        return pow_fn(x, PI32);
    default:
        return log10_fn(x);
    }
}

const char* name(Fn fn) {
    static const char* const names[] = {"sin", "cos", "acos", "pow", "log10"};
    return names[int(fn)];
}

// The function's value at the precision of out, correctly rounded.
void reference(Fn fn, mpfr_t out, double x, mpfr_t arg, mpfr_t pi32) {
    mpfr_set_d(arg, x, MPFR_RNDN);
    switch (fn) {
    case Fn::sin:
        mpfr_sin(out, arg, MPFR_RNDN);
        break;
    case Fn::cos:
        mpfr_cos(out, arg, MPFR_RNDN);
        break;
    case Fn::acos:
        mpfr_acos(out, arg, MPFR_RNDN);
        break;
    case Fn::pow_pi32:
        mpfr_pow(out, arg, pi32, MPFR_RNDN);
        break;
    default:
        mpfr_log10(out, arg, MPFR_RNDN);
        break;
    }
}

bool same(double a, double b) {
    return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b) || (a != a && b != b);
}

// How far the unrounded v lies from the nearest rounding boundary, in ulps of its rounding.
double boundary_distance(const DoubleDouble& v, double rounded) {
    if (!std::isfinite(rounded) || rounded == 0.0) return 1.0;
    const double up = std::nextafter(rounded, HUGE_VAL) - rounded;
    const double down = rounded - std::nextafter(rounded, -HUGE_VAL);
    const double delta = (v.hi - rounded) + v.lo;
    const double distance = delta >= 0 ? up / 2 - delta : down / 2 + delta;
    return distance / std::min(up, down);
}

// The peaks prepare_tone makes: full scale at 8 and 16 bits times every amplitude.
std::vector<float> peaks() {
    std::vector<float> out;
    for (double full_scale : {127.0, 32767.0})
        for (int amplitude = 0; amplitude <= 100; ++amplitude)
            out.push_back(float(full_scale * amplitude / 100.0));
    return out;
}

// Whether a Sine or Inverse Sine sample at any peak differs between two values of the sine.
bool sine_samples_differ(double a, double b) {
    static const std::vector<float> all = peaks();
    for (float peak : all) {
        const double p = peak;
        if (std::nearbyint(p * a) != std::nearbyint(p * b) ||
            std::nearbyint(-(p * a)) != std::nearbyint(-(p * b)))
            return true;
    }
    return false;
}

struct Tally {
    uint64_t inputs = 0, differ = 0, ours_wrong = 0, libc_wrong = 0, libc_wrong_float = 0;
    uint64_t checked = 0, close = 0;
    double worst_error = 0; // our unrounded error on the checked arguments, in ulps
    std::vector<double> libc_examples, ours_examples;

    void merge(const Tally& t) {
        inputs += t.inputs;
        differ += t.differ;
        ours_wrong += t.ours_wrong;
        libc_wrong += t.libc_wrong;
        libc_wrong_float += t.libc_wrong_float;
        checked += t.checked;
        close += t.close;
        worst_error = std::max(worst_error, t.worst_error);
        for (double x : t.libc_examples)
            if (libc_examples.size() < 4) libc_examples.push_back(x);
        for (double x : t.ours_examples)
            if (ours_examples.size() < 4) ours_examples.push_back(x);
    }
};

struct Checker {
    mpfr_t arg, pi32, cr, fine, sum;
    Checker() {
        mpfr_inits2(53, arg, pi32, cr, nullptr);
        mpfr_inits2(256, fine, sum, nullptr);
        mpfr_set_d(pi32, PI32, MPFR_RNDN);
    }
    ~Checker() { mpfr_clears(arg, pi32, cr, fine, sum, nullptr); }

    void check(const Row& row, uint64_t i, bool measure, Tally& t) {
        const double x = row.input(i);
        const DoubleDouble v = ours(row.fn, x);
        const double o = exact::rounded(v);
        const double g = libc(row.fn, x);
        ++t.inputs;
        const bool differ = !same(o, g);
        const bool close = boundary_distance(v, o) < CLOSE_ULPS;
        t.differ += differ;
        t.close += close;
        if (!differ && !close && !measure) return;
        ++t.checked;
        reference(row.fn, cr, x, arg, pi32);
        const double c = mpfr_get_d(cr, MPFR_RNDN); // exact: cr has 53 bits
        if (!same(o, c)) {
            ++t.ours_wrong;
            if (t.ours_examples.size() < 4) t.ours_examples.push_back(x);
        }
        if (!same(g, c)) {
            ++t.libc_wrong;
            if (row.narrowed && float(g) != float(c)) ++t.libc_wrong_float;
            if (row.sine_samples && sine_samples_differ(g, c)) ++t.libc_wrong_float;
            if (t.libc_examples.size() < 4 &&
                (t.libc_examples.empty() || t.libc_examples.back() != x))
                t.libc_examples.push_back(x);
        }
        if (measure && std::isfinite(o) && o != 0.0) {
            reference(row.fn, fine, x, arg, pi32);
            mpfr_set_d(sum, v.hi, MPFR_RNDN);
            mpfr_add_d(sum, sum, v.lo, MPFR_RNDN); // exact at 256 bits
            mpfr_sub(sum, sum, fine, MPFR_RNDN);
            const double ulp = std::nextafter(std::fabs(o), HUGE_VAL) - std::fabs(o);
            t.worst_error = std::max(t.worst_error, std::fabs(mpfr_get_d(sum, MPFR_RNDN)) / ulp);
        }
    }
};

float float_of(uint64_t bits) {
    return std::bit_cast<float>(uint32_t(bits));
}
uint32_t bits_of(float x) {
    return std::bit_cast<uint32_t>(x);
}

std::vector<Row> rows() {
    const uint64_t phases = uint64_t(bits_of(TWO_PI_F)) + 1;
    auto phase = [](uint64_t i) { return double(float_of(i)); };
    std::vector<Row> out = {
        {Fn::sin, "phase, every float in [0, 2pi]", phases, phase, false, false, true},
        // Doubling a float is exact: up to pi, twice a phase is a phase of the first row.
        {Fn::sin, "2 x phase, phase in (pi, 2pi]", uint64_t(bits_of(TWO_PI_F) - bits_of(PI_F)),
         [=](uint64_t i) { return 2.0 * phase(bits_of(PI_F) + 1 + i); }, false},
        {Fn::cos, "phase", phases, phase, false},
        {Fn::cos, "(phase - pi) / pi", phases, [=](uint64_t i) { return (phase(i) - PI32) / PI32; },
         true},
        {Fn::acos, "root, every float in [0, 1]", uint64_t(bits_of(1.0f)) + 1, phase, true},
        {Fn::pow_pi32, "c ^ pi, every float c in [1/2, 1]",
         uint64_t(bits_of(1.0f) - bits_of(0.5f)) + 1,
         [](uint64_t i) { return double(float_of(bits_of(0.5f) + i)); }, true},
    };
    // The set-up: the Pink Synth angle and its sines, every peak plus pi (Absolute Sine), the
    // logarithm of every Pink Synth peak.
    const float alpha = float(exact::acos(double(float(1.0 / std::sqrt(3.0)))));
    const double factor = exact::sin(double(alpha)) * exact::sin(2.0 * double(alpha));
    const std::vector<float> p = peaks();
    std::vector<double> plus_pi, pink;
    for (float peak : p) {
        plus_pi.push_back(double(peak) + PI_D);
        pink.push_back(double(float(double(peak) / factor)));
    }
    auto list = [](std::vector<double> v) {
        auto held = std::make_shared<std::vector<double>>(std::move(v));
        return std::function<double(uint64_t)>([held](uint64_t i) { return (*held)[i]; });
    };
    out.push_back(
        {Fn::acos, "set-up: 1/sqrt 3", 1, list({double(float(1.0 / std::sqrt(3.0)))}), true, true});
    out.push_back({Fn::sin, "set-up: alpha, 2 alpha", 2, list({double(alpha), 2.0 * double(alpha)}),
                   false, true});
    out.push_back({Fn::sin, "set-up: peak + pi", plus_pi.size(), list(plus_pi), false, true});
    out.push_back({Fn::log10, "set-up: Pink Synth peak", pink.size(), list(pink), true, true});
    return out;
}

Tally run_row(const Row& row, uint64_t every, uint64_t check_every, unsigned threads) {
    const uint64_t step = row.every_input ? 1 : every;
    if (row.every_input) check_every = 1;
    const uint64_t picks = (row.count + step - 1) / step;
    constexpr uint64_t CHUNK = 1 << 16;
    std::atomic<uint64_t> next{0};
    std::mutex lock;
    Tally total;
    auto work = [&] {
        Checker checker;
        Tally t;
        for (;;) {
            const uint64_t first = next.fetch_add(CHUNK);
            if (first >= picks) break;
            const uint64_t last = std::min(picks, first + CHUNK);
            for (uint64_t j = first; j < last; ++j)
                checker.check(row, j * step, j % check_every == 0, t);
        }
        mpfr_free_cache();
        std::lock_guard<std::mutex> hold(lock);
        total.merge(t);
    };
    std::vector<std::thread> pool;
    for (unsigned k = 1; k < threads; ++k)
        pool.emplace_back(work);
    work();
    for (auto& th : pool)
        th.join();
    return total;
}

uint64_t number(const char* text) {
    char* end;
    const unsigned long long v = std::strtoull(text, &end, 10);
    if (*end || v == 0) {
        std::fprintf(stderr, "math-proof: not a positive number: %s\n", text);
        std::exit(2);
    }
    return v;
}
} // namespace

int main(int argc, char** argv) {
    uint64_t every = 1, check_every = 1024;
    unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    for (int a = 1; a + 1 < argc; a += 2) {
        if (!std::strcmp(argv[a], "--every"))
            every = number(argv[a + 1]);
        else if (!std::strcmp(argv[a], "--check-every"))
            check_every = number(argv[a + 1]);
        else if (!std::strcmp(argv[a], "--threads"))
            threads = unsigned(number(argv[a + 1]));
        else
            argc = 0;
    }
    if (argc % 2 == 0) {
        std::fprintf(stderr, "usage: math-proof [--every N] [--check-every M] [--threads T]\n");
        return 2;
    }
    std::printf("ours against the C library and the correctly rounded value (MPFR); every %llu-th "
                "argument, MPFR on every %llu-th of those and wherever needed; %u threads\n\n",
                (unsigned long long)every, (unsigned long long)check_every, threads);
    std::printf("%-6s %-34s %11s %10s %8s %9s %7s %9s %9s %8s\n", "fn", "argument", "inputs",
                "ours!=libc", "ours!=CR", "libc!=CR", "(tone)", "near edge", "MPFR", "worst");
    uint64_t ours_wrong = 0;
    for (const Row& row : rows()) {
        const Tally t = run_row(row, every, check_every, threads);
        ours_wrong += t.ours_wrong;
        char float_col[24] = "-";
        if (row.narrowed || row.sine_samples)
            std::snprintf(float_col, sizeof float_col, "%llu",
                          (unsigned long long)t.libc_wrong_float);
        std::printf("%-6s %-34s %11llu %10llu %8llu %9llu %7s %9llu %9llu %8.1f\n", name(row.fn),
                    row.argument, (unsigned long long)t.inputs, (unsigned long long)t.differ,
                    (unsigned long long)t.ours_wrong, (unsigned long long)t.libc_wrong, float_col,
                    (unsigned long long)t.close, (unsigned long long)t.checked,
                    t.worst_error > 0 ? std::log2(t.worst_error) : -INFINITY);
        for (double x : t.libc_examples)
            std::printf(
                "         libc not correctly rounded at %a: libc %a, correctly rounded %a\n", x,
                libc(row.fn, x), [&] {
                    const DoubleDouble v = ours(row.fn, x);
                    return v.hi + v.lo;
                }());
        for (double x : t.ours_examples)
            std::printf("         OURS NOT CORRECTLY ROUNDED at %a\n", x);
        std::fflush(stdout);
    }
    std::printf(
        "\n(tone): of the C library's misrounded answers, those that would change a "
        "tone: the 32-bit real the renderer stores, or for the sine of a phase a Sine or "
        "Inverse Sine sample at any peak.\nworst: log2 of our largest unrounded error, in ulps, "
        "over the arguments MPFR checked.\n");
    std::printf("%s\n", ours_wrong ? "FAILED: ours is not correctly rounded everywhere"
                                   : "ours is correctly rounded on every argument");
    return ours_wrong ? 1 : 0;
}
