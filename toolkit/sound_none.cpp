// The sound service of a machine without a sound device: nothing can be loaded or played.
#include "toolkit/backend.h"
#include "toolkit/toolkit.h"

int32_t sound_init() {
    return sound_service_start(nullptr);
}
