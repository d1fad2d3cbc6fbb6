// The sound service of a machine without a sound device: nothing can be loaded or played.
#include "toolkit/toolkit.h"

int32_t sound_init() { return 0; }
intptr_t sound_load_wav_memory(int32_t, const void*) { return 0; }
int32_t sound_play(int32_t, int32_t, int32_t) { return 0; }
int32_t sound_exists(int32_t) { return 0; }
void sound_free(int32_t) {}
void sound_shutdown() {}
