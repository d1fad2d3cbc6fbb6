// Test hooks into the Win32 backend: what a user would see and do.
#include "toolkit/probe.h"

#include <windows.h>

#include <commctrl.h>
#include <oleacc.h>

#include <string>

namespace {
HWND hwnd_of(NativeHandle h) {
    return reinterpret_cast<HWND>(h);
}
ProbeRect rect_of(const RECT& r) {
    return {int32_t(r.left), int32_t(r.top), int32_t(r.right - r.left), int32_t(r.bottom - r.top)};
}
std::string text_buffer;

// A user's choice in a list: the selection changes and the list tells its window, during the
// dispatch of one message.
const UINT CHOOSE_MESSAGE = RegisterWindowMessageA("probe_choose");
LRESULT CALLBACK list_hook(HWND list, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                           DWORD_PTR) {
    if (message == CHOOSE_MESSAGE) {
        SendMessageA(list, CB_SETCURSEL, wparam, 0);
        SendMessageA(GetParent(list), WM_COMMAND,
                     MAKEWPARAM(GetDlgCtrlID(list) & 0xFFFF, CBN_SELCHANGE), LPARAM(list));
        return 0;
    }
    return DefSubclassProc(list, message, wparam, lparam);
}

// The system gives no keyboard input to a disabled window: a key that reaches a button after
// it was disabled is dropped when it is dispatched, as the system would have sent it elsewhere.
LRESULT CALLBACK button_hook(HWND button, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                             DWORD_PTR) {
    if ((message == WM_KEYDOWN || message == WM_KEYUP) && !IsWindowEnabled(button)) return 0;
    return DefSubclassProc(button, message, wparam, lparam);
}

void dispatch_pending() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}
} // namespace

// A timer of the thread's own keeps messages coming, so that no wait of a test can block for
// ever when what it waits for went elsewhere.
void probe_start() {
    SetTimer(nullptr, 0, 50, nullptr);
}

bool probe_geometry(NativeHandle h, ProbeRect* frame, ProbeRect* client) {
    HWND w = hwnd_of(h);
    if (!w) return false;
    RECT outer;
    GetWindowRect(w, &outer);
    if (GetParent(w)) {
        // A control: its rectangle in its window's client area.
        MapWindowPoints(nullptr, GetParent(w), reinterpret_cast<POINT*>(&outer), 2);
        if (frame) *frame = rect_of(outer);
        if (client) *client = rect_of(outer);
        return true;
    }
    RECT inner;
    GetClientRect(w, &inner);
    MapWindowPoints(w, nullptr, reinterpret_cast<POINT*>(&inner), 2);
    if (frame) *frame = rect_of(outer);
    if (client) *client = rect_of(inner);
    return true;
}

bool probe_visible(NativeHandle h) {
    return h && IsWindowVisible(hwnd_of(h));
}
bool probe_enabled(NativeHandle h) {
    return h && IsWindowEnabled(hwnd_of(h));
}

uint32_t probe_window_traits(NativeHandle h) {
    const LONG style = GetWindowLongA(hwnd_of(h), GWL_STYLE);
    uint32_t traits = 0;
    if ((style & WS_CAPTION) == WS_CAPTION) traits |= PROBE_TITLE;
    if (style & WS_SYSMENU) traits |= PROBE_CLOSE_BOX;
    if (style & WS_MINIMIZEBOX) traits |= PROBE_MINIMIZE_BOX;
    if (style & WS_MAXIMIZEBOX) traits |= PROBE_MAXIMIZE_BOX;
    if (!(style & WS_THICKFRAME)) traits |= PROBE_FIXED_SIZE;
    return traits;
}

void probe_post_close_request(NativeHandle h) {
    PostMessageA(hwnd_of(h), WM_SYSCOMMAND, SC_CLOSE, 0);
}

void probe_post_key_click(NativeHandle h) {
    SetWindowSubclass(hwnd_of(h), button_hook, 2, 0);
    PostMessageA(hwnd_of(h), WM_KEYDOWN, VK_SPACE, 0x00390001);
    PostMessageA(hwnd_of(h), WM_KEYUP, VK_SPACE, LPARAM(0xC0390001u));
}

void probe_post_choose(NativeHandle h, int32_t position) {
    SetWindowSubclass(hwnd_of(h), list_hook, 1, 0);
    PostMessageA(hwnd_of(h), CHOOSE_MESSAGE, WPARAM(position), 0);
}

void probe_process_pending() {
    dispatch_pending();
}

void probe_post_wakeup() {
    PostThreadMessageA(GetCurrentThreadId(), WM_APP, 0, 0);
}

void probe_focus(NativeHandle h) {
    HWND window = GetAncestor(hwnd_of(h), GA_ROOT);
    SetForegroundWindow(window);
    SetActiveWindow(window);
    dispatch_pending();
    SetFocus(hwnd_of(h));
}

// Tab as the program's own loop sees it: the key goes through the window's accelerators.
int32_t probe_tab(NativeHandle window, bool backward) {
    BYTE keys[256];
    GetKeyboardState(keys);
    const BYTE shift = keys[VK_SHIFT];
    keys[VK_SHIFT] = backward ? 0x80 : 0;
    SetKeyboardState(keys);
    HWND target = GetFocus() ? GetFocus() : hwnd_of(window);
    // The key is the only message the wait finds (a timer's comes only when none is posted).
    dispatch_pending();
    PostMessageA(target, WM_KEYDOWN, VK_TAB, 0x000F0001);
    event_wait();
    keys[VK_SHIFT] = shift;
    SetKeyboardState(keys);
    HWND now = GetFocus();
    // The focus may rest inside a control (a list's own field): report the control.
    while (now && GetParent(now) && GetParent(now) != hwnd_of(window))
        now = GetParent(now);
    return now ? int32_t(GetDlgCtrlID(now)) : 0;
}

int32_t probe_focused(NativeHandle window) {
    HWND now = GetFocus();
    while (now && GetParent(now) && GetParent(now) != hwnd_of(window))
        now = GetParent(now);
    return now && GetParent(now) ? int32_t(GetDlgCtrlID(now)) : 0;
}

// As a screen reader asks: the name of the window's client object.
const char* probe_accessible_name(NativeHandle h) {
    using FromWindow = HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**);
    static HMODULE oleacc = LoadLibraryA("oleacc.dll");
    auto from_window = reinterpret_cast<FromWindow>(
        reinterpret_cast<void*>(GetProcAddress(oleacc, "AccessibleObjectFromWindow")));
    IAccessible* a = nullptr;
    text_buffer.clear();
    if (!from_window || FAILED(from_window(hwnd_of(h), DWORD(OBJID_CLIENT), __uuidof(IAccessible),
                                           reinterpret_cast<void**>(&a))))
        return "";
    VARIANT self = {};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    char text[256] = {};
    if (SUCCEEDED(a->get_accName(self, &name)) && name)
        WideCharToMultiByte(CP_UTF8, 0, name, -1, text, sizeof text, nullptr, nullptr);
    SysFreeString(name);
    a->Release();
    text_buffer = text;
    return text_buffer.c_str();
}

void probe_open_list(NativeHandle h, int32_t* popup_height, bool* scroll_bar_shown) {
    HWND list = hwnd_of(h);
    SendMessageA(list, CB_SHOWDROPDOWN, TRUE, 0);
    dispatch_pending();
    COMBOBOXINFO info = {};
    info.cbSize = sizeof info;
    *popup_height = 0;
    *scroll_bar_shown = false;
    if (GetComboBoxInfo(list, &info) && info.hwndList) {
        RECT r;
        GetWindowRect(info.hwndList, &r);
        *popup_height = int32_t(r.bottom - r.top);
        SCROLLBARINFO bar = {};
        bar.cbSize = sizeof bar;
        *scroll_bar_shown = GetScrollBarInfo(info.hwndList, OBJID_VSCROLL, &bar) &&
                            !(bar.rgstate[0] & STATE_SYSTEM_INVISIBLE);
    }
    SendMessageA(list, CB_SHOWDROPDOWN, FALSE, 0);
    dispatch_pending();
}

const char* probe_list_item(NativeHandle h, int32_t position) {
    const LRESULT length = SendMessageA(hwnd_of(h), CB_GETLBTEXTLEN, WPARAM(position), 0);
    text_buffer.assign(length > 0 ? size_t(length) : 0, '\0');
    if (length > 0)
        SendMessageA(hwnd_of(h), CB_GETLBTEXT, WPARAM(position), LPARAM(&text_buffer[0]));
    return text_buffer.c_str();
}

const char* probe_text(NativeHandle h) {
    const int length = GetWindowTextLengthA(hwnd_of(h));
    text_buffer.assign(size_t(length) + 1, '\0');
    GetWindowTextA(hwnd_of(h), &text_buffer[0], length + 1);
    text_buffer.resize(size_t(length));
    return text_buffer.c_str();
}

bool probe_picture_pixmap(NativeHandle h, int32_t* width, int32_t* height) {
    auto bitmap =
        reinterpret_cast<HBITMAP>(SendMessageA(hwnd_of(h), STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP info = {};
    if (bitmap) GetObjectA(bitmap, sizeof info, &info);
    *width = int32_t(info.bmWidth);
    *height = int32_t(info.bmHeight < 0 ? -info.bmHeight : info.bmHeight);
    return true;
}

namespace {
uint32_t colour_of(COLORREF c) {
    return 0xFF000000u | uint32_t(GetRValue(c)) << 16 | uint32_t(GetGValue(c)) << 8 | GetBValue(c);
}
} // namespace

// The window erases its background into a bitmap of its client area's size.
uint32_t probe_background_pixel(NativeHandle h, int32_t x, int32_t y) {
    RECT client = {};
    GetClientRect(hwnd_of(h), &client);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageA(hwnd_of(h), WM_ERASEBKGND, WPARAM(dc), 0);
    const COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return colour_of(c);
}
uint32_t probe_face_colour() {
    return colour_of(GetSysColor(COLOR_BTNFACE));
}

uint32_t probe_image_pixel(NativeHandle image, int32_t x, int32_t y) {
    DIBSECTION dib = {};
    if (!GetObjectA(reinterpret_cast<HBITMAP>(image), sizeof dib, &dib) || !dib.dsBm.bmBits)
        return 0;
    const int bytes = dib.dsBm.bmBitsPixel / 8;
    const auto* p = static_cast<const uint8_t*>(dib.dsBm.bmBits) +
                    size_t(y) * size_t(dib.dsBm.bmWidthBytes) + size_t(x) * size_t(bytes);
    const uint32_t alpha = bytes == 4 ? p[3] : 0xFF;
    return alpha << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}
