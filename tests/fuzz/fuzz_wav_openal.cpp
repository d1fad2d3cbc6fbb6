// WAV images through the sound service on the real OpenAL driver, whose device is OpenAL
// Soft's null backend (it mixes but outputs nothing).
#include "riff_input.h"
#include "toolkit/toolkit.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A configuration of this process's own, read when the device is opened.
    char conf[] = "/tmp/fuzz-openal-XXXXXX";
    const int fd = mkstemp(conf);
    if (fd < 0) std::abort();
    const std::string text = "[general]\ndrivers=null\n";
    if (write(fd, text.data(), text.size()) != ssize_t(text.size())) std::abort();
    close(fd);
    setenv("ALSOFT_CONF", conf, 1);
    setenv("ALSOFT_DRIVERS", "null", 1);
    const int32_t ready = sound_init();
    unlink(conf);
    if (!ready) {
        std::fprintf(stderr, "fuzz_wav_openal: OpenAL's null device did not open\n");
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return load_and_play(data, size);
}
