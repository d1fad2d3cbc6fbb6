// The audio driver on DirectSound, loaded at run time: one static secondary buffer per sound,
// holding all of its PCM data.  A hidden window owns the device's cooperative level.
#include "toolkit/backend.h"
#include "toolkit/toolkit.h"
#include "toolkit/win32/win32_internal.h"

#include <windows.h>

#include <mmreg.h>

#include <dsound.h>

#include <algorithm>
#include <cstring>

namespace {

using CreateDevice = HRESULT(WINAPI*)(LPCGUID, LPDIRECTSOUND*, LPUNKNOWN);

const char* const HIDDEN_CLASS = "MultimediaBase Class";
// Static buffers with frequency, pan and volume control, audible whatever program has the
// focus, with an exact play position.
constexpr DWORD BUFFER_FLAGS = DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN |
                               DSBCAPS_CTRLVOLUME | DSBCAPS_GLOBALFOCUS |
                               DSBCAPS_GETCURRENTPOSITION2;
static_assert(BUFFER_FLAGS == 0x180E2);

HWND hidden_window = nullptr;
HMODULE library = nullptr;
IDirectSound* device = nullptr;
IDirectSoundBuffer* primary = nullptr;

// The hidden window draws nothing and takes no part in activation, closing or clicks.
LRESULT CALLBACK hidden_procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_ACTIVATE:
    case WM_CLOSE:
    case WM_KEYUP:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wparam, lparam);
    }
}

bool make_hidden_window() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!win32_register_class(HIDDEN_CLASS, hidden_procedure,
                              static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))))
        return false;
    hidden_window = CreateWindowExA(0, HIDDEN_CLASS, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                    instance, nullptr);
    if (hidden_window) return true;
    UnregisterClassA(HIDDEN_CLASS, instance);
    return false;
}

void close_device() {
    if (primary) primary->Release();
    if (device) device->Release();
    if (library) FreeLibrary(library);
    if (hidden_window) {
        DestroyWindow(hidden_window);
        UnregisterClassA(HIDDEN_CLASS, GetModuleHandleA(nullptr));
    }
    primary = nullptr;
    device = nullptr;
    library = nullptr;
    hidden_window = nullptr;
}

// True once the device exists: sounds can then be made even when the cooperative level or
// the primary buffer was refused (DirectSound's own answers decide each load).
bool open_device() {
    if (!make_hidden_window()) return false;
    library = LoadLibraryA("DSOUND.DLL");
    auto create = library ? reinterpret_cast<CreateDevice>(reinterpret_cast<void*>(
                                GetProcAddress(library, "DirectSoundCreate")))
                          : nullptr;
    if (!create || FAILED(create(nullptr, &device, nullptr)) || !device) {
        device = nullptr;
        close_device();
        return false;
    }
    if (SUCCEEDED(device->SetCooperativeLevel(hidden_window, DSSCL_PRIORITY))) {
        DSBUFFERDESC desc = {};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
        if (FAILED(device->CreateSoundBuffer(&desc, &primary, nullptr))) primary = nullptr;
    }
    return true;
}

NativeHandle buffer_create(const PcmFormat& f, const void* data, size_t size) {
    if (!device) return 0;
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = WORD(f.channels);
    format.nSamplesPerSec = DWORD(f.rate);
    format.nAvgBytesPerSec = DWORD(f.rate) * DWORD(f.bytes_per_frame);
    format.nBlockAlign = WORD(f.bytes_per_frame);
    format.wBitsPerSample = WORD(f.bits);
    DSBUFFERDESC desc = {};
    desc.dwSize = sizeof desc; // 36 bytes in a 32-bit program, 40 in a 64-bit one
    desc.dwFlags = BUFFER_FLAGS;
    desc.dwBufferBytes = DWORD(size);
    desc.lpwfxFormat = &format;
    IDirectSoundBuffer* buffer = nullptr;
    if (FAILED(device->CreateSoundBuffer(&desc, &buffer, nullptr)) || !buffer) return 0;
    void* part1 = nullptr;
    void* part2 = nullptr;
    DWORD size1 = 0, size2 = 0;
    if (FAILED(buffer->Lock(0, DWORD(size), &part1, &size1, &part2, &size2, 0))) {
        buffer->Release();
        return 0;
    }
    std::memcpy(part1, data, size1);
    if (part2) std::memcpy(part2, static_cast<const uint8_t*>(data) + size1, size2);
    buffer->Unlock(part1, size1, part2, size2);
    return reinterpret_cast<NativeHandle>(buffer);
}

bool play(NativeHandle handle, bool loop, int32_t volume) {
    auto* buffer = reinterpret_cast<IDirectSoundBuffer*>(handle);
    buffer->Stop();
    buffer->SetCurrentPosition(0);
    if (volume != -1) buffer->SetVolume(std::clamp<LONG>(volume, DSBVOLUME_MIN, DSBVOLUME_MAX));
    return SUCCEEDED(buffer->Play(0, 0, loop ? DSBPLAY_LOOPING : 0));
}

void buffer_release(NativeHandle handle) {
    auto* buffer = reinterpret_cast<IDirectSoundBuffer*>(handle);
    buffer->Stop();
    buffer->Release();
}

bool playing(NativeHandle handle) {
    DWORD status = 0;
    return SUCCEEDED(reinterpret_cast<IDirectSoundBuffer*>(handle)->GetStatus(&status)) &&
           (status & DSBSTATUS_PLAYING);
}

const AudioDriver dsound_driver = {
    .open = open_device,
    .buffer_create = buffer_create,
    .play = play,
    .buffer_release = buffer_release,
    .close = close_device,
    .playing = playing,
};

} // namespace

int32_t sound_init() {
    return sound_service_start(&dsound_driver);
}
