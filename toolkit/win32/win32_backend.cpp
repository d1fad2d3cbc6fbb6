// The window backend on Win32 USER and GDI with the common controls.
//
// Every top-level window has a class of its own, "WindowClass_<id>", keeps its toolkit id in its
// user data, and one window procedure for all of them turns the user's actions into toolkit
// events.  Controls are the system's own classes; a control's toolkit id is its whole control
// identifier (a WM_COMMAND carries only the low 16 bits of it, so it is read from the control).
// A control's user data is left alone: some controls (the browser host) keep their own there.
#include "toolkit/backend.h"
#include "toolkit/toolkit.h"
#include "toolkit/win32/win32_internal.h"

#include <windows.h>

#include <commctrl.h>
#include <mmsystem.h>

#include <cstdio>
#include <vector>

namespace {

HINSTANCE instance = nullptr;

// The height of a drop-down list together with its opened part.
constexpr int LIST_OPEN_HEIGHT = 350;
// A sunken edge is 2 pixels on each side.
constexpr int SUNKEN_EDGE = 2;
// Accelerator commands of every window.
constexpr WORD COMMAND_NEXT_CONTROL = 1;
constexpr WORD COMMAND_PREVIOUS_CONTROL = 2;
// Window properties.
const char* const ACCELERATORS_PROPERTY = "toolkit_accelerators";
const char* const IMAGE_PROPERTY = "toolkit_image";
// The control a window gives the focus to when it is activated again.
const char* const FOCUS_PROPERTY = "toolkit_focus";

int32_t window_id(HWND hwnd) {
    return int32_t(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}
int32_t control_id(HWND hwnd) {
    return int32_t(GetDlgCtrlID(hwnd));
}

void class_name_of(int32_t id, char (&name)[32]) {
    std::snprintf(name, sizeof name, "WindowClass_%d", int(id));
}

bool is_toolkit_window(HWND hwnd) {
    return hwnd && GetPropA(hwnd, ACCELERATORS_PROPERTY) != nullptr;
}

// Tab order: the children in creation order that are enabled, visible and take the focus.
bool takes_focus(HWND child) {
    return IsWindowVisible(child) && IsWindowEnabled(child) &&
           (GetWindowLongA(child, GWL_STYLE) & WS_TABSTOP);
}

void move_focus(HWND window, bool backward) {
    std::vector<HWND> order;
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (takes_focus(c)) order.push_back(c);
    if (order.empty()) return;
    HWND focus = GetFocus();
    while (focus && GetParent(focus) != window)
        focus = GetParent(focus);
    size_t at = order.size();
    for (size_t i = 0; i < order.size(); ++i)
        if (order[i] == focus) at = i;
    size_t next;
    if (at == order.size())
        next = backward ? order.size() - 1 : 0;
    else
        next = backward ? (at + order.size() - 1) % order.size() : (at + 1) % order.size();
    SetFocus(order[next]);
}

// The child of window that holds the focus (or a part of it does), null when none does.
HWND focused_child(HWND window) {
    HWND focus = GetFocus();
    while (focus && GetParent(focus) != window)
        focus = GetParent(focus);
    return focus;
}

LRESULT CALLBACK window_procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CLOSE:
        // The window stays open until the program destroys it.
        toolkit_post_event(EVENT_CLOSE_WINDOW, EventSource::Window, window_id(hwnd),
                           EventDelivery::Immediate);
        return 0;
    case WM_ACTIVATE:
        // As a dialog does: the focused control is kept while another window is active and
        // gets the focus back when this one is.
        if (LOWORD(wparam) == WA_INACTIVE) {
            if (HWND child = focused_child(hwnd)) SetPropA(hwnd, FOCUS_PROPERTY, child);
            return 0;
        }
        if (auto child = static_cast<HWND>(GetPropA(hwnd, FOCUS_PROPERTY));
            child && IsChild(hwnd, child) && IsWindowEnabled(child)) {
            SetFocus(child);
            return 0;
        }
        return DefWindowProcA(hwnd, message, wparam, lparam);
    case WM_COMMAND: {
        const HWND control = reinterpret_cast<HWND>(lparam);
        if (!control) {
            if (HIWORD(wparam) == 1) {
                if (LOWORD(wparam) == COMMAND_NEXT_CONTROL) move_focus(hwnd, false);
                if (LOWORD(wparam) == COMMAND_PREVIOUS_CONTROL) move_focus(hwnd, true);
            }
            return 0;
        }
        // A push button's click is the answer of the dispatch; a list's new selection is
        // queued.  Notifications of other controls share these codes and are not events.
        char cls[16] = {};
        GetClassNameA(control, cls, sizeof cls);
        if (HIWORD(wparam) == BN_CLICKED && lstrcmpiA(cls, "Button") == 0)
            toolkit_post_event(EVENT_CONTROL, EventSource::Control, control_id(control),
                               EventDelivery::Immediate);
        else if (HIWORD(wparam) == CBN_SELCHANGE && lstrcmpiA(cls, "ComboBox") == 0)
            toolkit_post_event(EVENT_CONTROL, EventSource::Control, control_id(control),
                               EventDelivery::Queued);
        return 0;
    }
    default:
        return DefWindowProcA(hwnd, message, wparam, lparam);
    }
}

NativeHandle window_create(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                           const char* title, uint32_t flags) {
    if (width < 0 || height < 0) return 0;
    char name[32];
    class_name_of(id, name);
    if (!win32_register_class(name, window_procedure, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)))
        return 0;

    const DWORD style = flags;
    RECT outer = {0, 0, width, height};
    AdjustWindowRectEx(&outer, style, FALSE, 0);
    HWND hwnd = CreateWindowExA(0, name, title, style, x, y, outer.right - outer.left,
                                outer.bottom - outer.top, nullptr, nullptr, instance, nullptr);
    ACCEL keys[] = {
        {FVIRTKEY, VK_TAB, COMMAND_NEXT_CONTROL},
        {FVIRTKEY | FSHIFT, VK_TAB, COMMAND_PREVIOUS_CONTROL},
    };
    HACCEL accelerators = hwnd ? CreateAcceleratorTableA(keys, 2) : nullptr;
    if (!hwnd || !accelerators) {
        if (hwnd) DestroyWindow(hwnd);
        UnregisterClassA(name, instance);
        return 0;
    }
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, LONG_PTR(id));
    SetPropA(hwnd, ACCELERATORS_PROPERTY, accelerators);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    return reinterpret_cast<NativeHandle>(hwnd);
}

void window_destroy(NativeHandle native) {
    HWND hwnd = reinterpret_cast<HWND>(native);
    char name[32];
    class_name_of(window_id(hwnd), name);
    if (HWND owner = GetWindow(hwnd, GW_OWNER)) SetActiveWindow(owner);
    RemovePropA(hwnd, FOCUS_PROPERTY);
    auto accelerators = static_cast<HACCEL>(RemovePropA(hwnd, ACCELERATORS_PROPERTY));
    DestroyWindow(hwnd);
    if (accelerators) DestroyAcceleratorTable(accelerators);
    UnregisterClassA(name, instance);
}

// The closed field of a drop-down list is sized so that the closed control has the height
// asked for; the control itself (with its opened list) stays LIST_OPEN_HEIGHT tall.  How the
// field's height becomes the control's differs between versions of the system: measure and
// correct.
void fit_closed_height(HWND list, int height) {
    LRESULT field = SendMessageA(list, CB_GETITEMHEIGHT, WPARAM(-1), 0);
    for (int attempt = 0; attempt < 3 && field > 0; ++attempt) {
        RECT closed;
        GetWindowRect(list, &closed);
        const int off = int(closed.bottom - closed.top) - height;
        if (off == 0) return;
        field -= off;
        if (field > 0) SendMessageA(list, CB_SETITEMHEIGHT, WPARAM(-1), field);
    }
}

// The common controls open a list at least a fixed number of rows tall, whatever the control's
// height: ask for as many as fit in the list height below the closed field.
void fit_open_rows(HWND list, int height) {
    const LRESULT row = SendMessageA(list, CB_GETITEMHEIGHT, 0, 0);
    if (row > 0) SendMessageA(list, CB_SETMINVISIBLE, WPARAM((LIST_OPEN_HEIGHT - height) / row), 0);
}

HWND make_picture(HWND parent, const ControlRequest& r) {
    const bool edge = (r.flags & WS_EX_CLIENTEDGE) != 0;
    HWND picture = win32_make_child(
        parent, r, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_NOTIFY | SS_BITMAP, r.flags, r.height);
    if (!picture || !r.image) return picture;
    HBITMAP bitmap = reinterpret_cast<HBITMAP>(r.image);
    BITMAP info = {};
    GetObjectA(bitmap, sizeof info, &info);
    SetPropA(picture, IMAGE_PROPERTY, bitmap);
    SendMessageA(picture, STM_SETIMAGE, IMAGE_BITMAP, LPARAM(bitmap));
    const int border = edge ? 2 * SUNKEN_EDGE : 0;
    SetWindowPos(picture, nullptr, r.x, r.y, info.bmWidth + border, abs(info.bmHeight) + border,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    return picture;
}

NativeHandle control_create(NativeHandle parent_handle, const ControlRequest& r) {
    HWND parent = reinterpret_cast<HWND>(parent_handle);
    HWND child = nullptr;
    switch (r.kind) {
    case ControlKind::Label:
        child = win32_make_child(parent, r, "Static", r.text ? r.text : "",
                                 WS_CHILD | WS_VISIBLE | WS_GROUP | r.flags,
                                 (r.flags & LABEL_SUNKEN_EDGE) ? WS_EX_CLIENTEDGE : 0, r.height);
        break;
    case ControlKind::Dropdown:
        child = win32_make_child(parent, r, "ComboBox", r.text ? r.text : "",
                                 WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_GROUP |
                                     WS_TABSTOP | CBS_DROPDOWNLIST,
                                 0, LIST_OPEN_HEIGHT);
        if (!child) break;
        fit_closed_height(child, r.height);
        fit_open_rows(child, r.height);
        if (r.caption) win32_name_by_caption(child, reinterpret_cast<HWND>(r.caption));
        break;
    case ControlKind::Button:
        child = win32_make_child(parent, r, "Button", r.text ? r.text : "",
                                 WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_PUSHBUTTON, 0,
                                 r.height);
        break;
    case ControlKind::Picture:
        child = make_picture(parent, r);
        break;
    case ControlKind::WebView:
        child = win32_webview_create(parent, r);
        break;
    }
    return reinterpret_cast<NativeHandle>(child);
}

void control_destroy(NativeHandle native) {
    HWND control = reinterpret_cast<HWND>(native);
    // A picture may show a copy of the bitmap it was given (the common controls copy images
    // with an alpha channel); the copy is the picture's to free.
    if (auto given = static_cast<HBITMAP>(RemovePropA(control, IMAGE_PROPERTY))) {
        auto shown =
            reinterpret_cast<HBITMAP>(SendMessageA(control, STM_GETIMAGE, IMAGE_BITMAP, 0));
        DestroyWindow(control);
        if (shown && shown != given) DeleteObject(shown);
        return;
    }
    DestroyWindow(control);
}

HWND list_of(NativeHandle control) {
    return reinterpret_cast<HWND>(control);
}

int32_t list_add_item(NativeHandle control, int32_t position, const char* text) {
    const LRESULT count = SendMessageA(list_of(control), CB_GETCOUNT, 0, 0);
    if (count == CB_ERR || position > count) return 0;
    const LRESULT at =
        SendMessageA(list_of(control), CB_INSERTSTRING, WPARAM(position), LPARAM(text));
    return at >= 0 ? 1 : 0;
}

int32_t list_select(NativeHandle control, int32_t position) {
    const LRESULT count = SendMessageA(list_of(control), CB_GETCOUNT, 0, 0);
    if (position < -1 || position >= count) return 0;
    // Selecting by message reports no change.
    SendMessageA(list_of(control), CB_SETCURSEL, WPARAM(position), 0);
    return 1;
}

int32_t list_selected(NativeHandle control) {
    const LRESULT at = SendMessageA(list_of(control), CB_GETCURSEL, 0, 0);
    return at == CB_ERR ? -1 : int32_t(at);
}

void control_set_disabled(NativeHandle control, bool disabled) {
    EnableWindow(reinterpret_cast<HWND>(control), disabled ? FALSE : TRUE);
}

// A top-down DIB section: 24 bits per pixel, or 32 with premultiplied alpha.
NativeHandle image_create(const DecodedImage& d) {
    if (d.width <= 0 || d.height <= 0 || !d.pixels) return 0;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = d.width;
    info.bmiHeader.biHeight = -d.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = d.alpha ? 32 : 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) return 0;
    const size_t in_pixel = d.alpha ? 4 : 3;
    const size_t in_row = size_t(d.width) * in_pixel;
    const size_t out_row = (size_t(d.width) * in_pixel + 3) & ~size_t(3);
    for (int32_t y = 0; y < d.height; ++y) {
        const uint8_t* in = d.pixels + in_row * size_t(y);
        uint8_t* out = static_cast<uint8_t*>(bits) + out_row * size_t(y);
        for (int32_t x = 0; x < d.width; ++x, in += in_pixel, out += in_pixel) {
            const unsigned alpha = d.alpha ? in[3] : 255;
            out[0] = uint8_t((in[2] * alpha + 127) / 255);
            out[1] = uint8_t((in[1] * alpha + 127) / 255);
            out[2] = uint8_t((in[0] * alpha + 127) / 255);
            if (d.alpha) out[3] = uint8_t(alpha);
        }
    }
    GdiFlush();
    return reinterpret_cast<NativeHandle>(bitmap);
}

void image_destroy(NativeHandle image) {
    DeleteObject(reinterpret_cast<HBITMAP>(image));
}

// One native message per call, so that input made while a handler ran is dispatched only
// after it returned, to the controls as the handler left them.
int32_t wait_and_dispatch() {
    MSG msg;
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == -1) return 0;
    HWND active = GetActiveWindow();
    auto accelerators = is_toolkit_window(active)
                            ? static_cast<HACCEL>(GetPropA(active, ACCELERATORS_PROPERTY))
                            : nullptr;
    if (!accelerators || !TranslateAcceleratorA(active, accelerators, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    // The message number is the dispatch's code; the few that coincide with a toolkit event
    // code are moved out of the way.
    const int32_t code = int32_t(msg.message);
    if (code == EVENT_CLOSE_WINDOW || code == EVENT_CONTROL || code == EVENT_TIMER)
        return code | 0x10000;
    return code;
}

// No message is handled during the pause; the timer resolution is raised for an exact wake.
void sleep_for(int32_t milliseconds) {
    timeBeginPeriod(1);
    Sleep(DWORD(milliseconds));
    timeEndPeriod(1);
}

// The window and its controls: nothing is painted during the pause that may follow, and a
// window's own update does not reach its controls.  A wait for input that ends at once and
// takes nothing from the queue lets a system that draws windows off screen show what was
// painted.
void repaint_now(NativeHandle window) {
    RedrawWindow(reinterpret_cast<HWND>(window), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT);
}

NativeHandle focused_control(NativeHandle native) {
    HWND window = reinterpret_cast<HWND>(native);
    if (GetActiveWindow() == window) return reinterpret_cast<NativeHandle>(focused_child(window));
    return reinterpret_cast<NativeHandle>(GetPropA(window, FOCUS_PROPERTY));
}

// Focused now when the window is active, and when it is next activated in any case.
void focus_control(NativeHandle native) {
    HWND control = reinterpret_cast<HWND>(native);
    HWND window = GetParent(control);
    SetPropA(window, FOCUS_PROPERTY, control);
    if (GetActiveWindow() == window) SetFocus(control);
}

const WindowBackend win32_backend = {
    .window_create = window_create,
    .window_destroy = window_destroy,
    .control_create = control_create,
    .control_destroy = control_destroy,
    .list_add_item = list_add_item,
    .list_select = list_select,
    .list_selected = list_selected,
    .control_set_disabled = control_set_disabled,
    .image_create = image_create,
    .image_destroy = image_destroy,
    .wait_and_dispatch = wait_and_dispatch,
    .sleep_ms = sleep_for,
    .repaint_now = repaint_now,
    .shutdown = win32_webview_shutdown,
    .focused_control = focused_control,
    .focus_control = focus_control,
};

} // namespace

HWND win32_make_child(HWND parent, const ControlRequest& r, const char* cls, const char* text,
                      DWORD style, DWORD ex_style, int height) {
    HWND child = CreateWindowExA(ex_style, cls, text, style, r.x, r.y, r.width, height, parent,
                                 reinterpret_cast<HMENU>(INT_PTR(r.id)), instance, nullptr);
    if (!child) return nullptr;
    SendMessageA(child, WM_SETFONT, WPARAM(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return child;
}

void toolkit_init() {
    instance = GetModuleHandleA(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    toolkit_core_start(&win32_backend);
}
