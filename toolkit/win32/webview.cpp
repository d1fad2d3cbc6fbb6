// The embedded web browser: the system's browser component in an ATL host window.  ATL.DLL is
// loaded on first use, and again on the next use when it was missing.
#include "toolkit/win32/win32_internal.h"

#include <exdisp.h>
#include <ole2.h>

#include <string>

namespace {

using HostInit = BOOL(WINAPI*)();
using HostGetControl = HRESULT(WINAPI*)(HWND, IUnknown**);

HMODULE host_library = nullptr;
HostGetControl get_control = nullptr;
bool ole_started = false;

// The blank page is the browser's own and shows within milliseconds where the browser works at
// all; one without its document engine stays loading for ever, and is not waited for longer
// than this.
constexpr DWORD BLANK_PAGE_LIMIT_MS = 500;

bool host_ready() {
    if (get_control) return true;
    if (!ole_started) ole_started = SUCCEEDED(OleInitialize(nullptr));
    HMODULE library = LoadLibraryA("ATL.DLL");
    if (!library) return false;
    auto init = reinterpret_cast<HostInit>(
        reinterpret_cast<void*>(GetProcAddress(library, "AtlAxWinInit")));
    auto get = reinterpret_cast<HostGetControl>(
        reinterpret_cast<void*>(GetProcAddress(library, "AtlAxGetControl")));
    if (!init || !get || !init()) {
        FreeLibrary(library);
        return false;
    }
    host_library = library;
    get_control = get;
    return true;
}

void navigate(IWebBrowser2* browser, const char* address) {
    const int length = MultiByteToWideChar(CP_ACP, 0, address, -1, nullptr, 0);
    if (length <= 0) return;
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, address, -1, wide.data(), length);
    BSTR url = SysAllocString(wide.c_str());
    VARIANT none;
    VariantInit(&none);
    browser->Navigate(url, &none, &none, &none, &none);
    SysFreeString(url);
}

// Handles window messages, 1 ms apart, until the browser has shown its page.
void wait_for_page(IWebBrowser2* browser) {
    const DWORD start = GetTickCount();
    READYSTATE state = READYSTATE_UNINITIALIZED;
    while (SUCCEEDED(browser->get_ReadyState(&state)) && state != READYSTATE_COMPLETE &&
           GetTickCount() - start < BLANK_PAGE_LIMIT_MS) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(1);
    }
}

} // namespace

HWND win32_webview_create(HWND parent, const ControlRequest& r) {
    if (!host_ready()) return nullptr;
    HWND host = win32_make_child(parent, r, "AtlAxWin", "Shell.Explorer.1", WS_CHILD | WS_VISIBLE,
                                 0, r.height);
    if (!host) return nullptr;
    IUnknown* control = nullptr;
    IWebBrowser2* browser = nullptr;
    if (FAILED(get_control(host, &control)) || !control ||
        FAILED(control->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser)))) {
        if (control) control->Release();
        DestroyWindow(host);
        return nullptr;
    }
    control->Release();
    navigate(browser, "about:blank");
    wait_for_page(browser);
    navigate(browser, r.text ? r.text : "about:blank");
    browser->Release();
    return host;
}

void win32_webview_shutdown() {
    if (host_library) FreeLibrary(host_library);
    host_library = nullptr;
    get_control = nullptr;
    if (ole_started) OleUninitialize();
    ole_started = false;
}
