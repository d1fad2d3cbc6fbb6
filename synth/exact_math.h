// The sines, cosines, arc cosines, powers and logarithms of the waveform, correctly rounded
// and computed by this one implementation on every platform, so that no C runtime's last bits
// enter a sample.  Each function evaluates its result in double-double arithmetic (about 100
// significant bits) and rounds it once to double.  A correctly rounded answer is the one
// answer every machine can reproduce: where a C library differs from it, the tones follow
// this one.  tools/math_proof.cpp checks every argument the renderer can pass, against the C
// library and against a correctly rounded reference.
//
// Ranges: sin and cos below 2^20 in magnitude (the renderer's phases and twice them, the
// peaks plus pi); acos on [-1, 1]; pow and log10 of positive normal numbers (the renderer:
// powers of [0.5, 1] and logarithms of peaks).  Elsewhere they keep the C library's special
// values (NaN outside a domain, log10 0 = -inf, a negative base with a non-integral exponent
// gives NaN) and stay close to the true value without a guarantee of the last bit.
#pragma once

namespace exact {

// hi + lo, unevaluated, with |lo| at most half an ulp of hi: hi is the sum rounded to double.
struct DoubleDouble {
    double hi;
    double lo;
};

// The double nearest the unevaluated sum (a zero keeps its sign).
inline double rounded(DoubleDouble v) {
    return v.lo == 0.0 ? v.hi : v.hi + v.lo;
}

// The unrounded results: the functions below return them rounded.  The proof uses them to
// see how far a result lies from a rounding boundary.
DoubleDouble sin_dd(double x);
DoubleDouble cos_dd(double x);
DoubleDouble acos_dd(double x);
DoubleDouble pow_dd(double x, double y);
DoubleDouble log10_dd(double x);

double sin(double x);
double cos(double x);
double acos(double x);
double pow(double x, double y);
double log10(double x);

} // namespace exact
