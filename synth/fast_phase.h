// The phase of a steady tone (no sweep) over many frames at once, bit for bit the chain
// phase = phase + dphi, less 2 pi once it passes 2 pi, that the reference takes one frame at
// a time.
//
// Inside one binade a float addition of dphi moves the phase by a whole number of the
// binade's spacings that depends only on the parity of the current value (the parity matters
// only when dphi falls exactly half-way, ties going to even), so while the sum stays inside
// the binade and below 2 pi the phases are an arithmetic progression.  A wrap's subtraction
// is exact.  The steps are worked out once per binade; the walk then costs a few operations
// per binade crossed, not per frame.
#pragma once

#include "synth/tone.h"
#include "toolkit/random_state.h"

#include <cstdint>

class SteadyPhase {
  public:
    explicit SteadyPhase(float dphi);
    // Advances phase over n frames, storing the phase of each frame (before its step) in out
    // when out is not null.
    void advance(float& phase, float* out, int64_t n) const;

  private:
    static constexpr int FIELDS = 130; // exponent fields up to the binade of 2 pi, [4, 8)
    float dphi_;
    // Per binade, in spacings: the step from an even and from an odd multiple (0: no
    // progression here), the largest mantissa a progression may reach, and 2^32 / step.
    uint32_t step_even_[FIELDS];
    uint32_t step_odd_[FIELDS];
    uint32_t limit_[FIELDS];
    uint32_t reciprocal_[FIELDS];
};

// The phase steps of a sweep for frames first .. first + n - 1, each from its frame's frequency
// f + i df, bit for bit the reference's.
void sweep_steps(float* dphi, int64_t first, int32_t n, double df, double f, double rate);
// The phase chain of a sweep over n steps; each frame's phase (before its step) is stored in
// out when Store.
template <bool Store> void walk_sweep(float& phase, const float* dphi, float* out, int32_t n) {
    float phi = phase;
    for (int32_t j = 0; j < n; ++j) {
        if constexpr (Store) out[j] = phi;
        phi = phase_step(phi, dphi[j]);
    }
    phase = phi;
}
// The same walk over steps held in the array that receives the phases.
void walk_sweep_in_place(float& phase, float* steps, int32_t n);

// The next n draws of the noise generator, into out unless it is null.
void draw_noise(RandomState& state, int32_t* out, int32_t n);
