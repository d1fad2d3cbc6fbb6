// The window core's own rules (numbers, the current parent, reuse of a static number, stale
// handles, the event queue, the order of the end), over a backend that records what it is asked
// to do and stands for any platform.
#include "test_files.h"
#include "toolkit/backend.h"
#include "toolkit/toolkit.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// What one wait_and_dispatch reports through toolkit_post_event.
using Post = std::tuple<int32_t, EventSource, int32_t, EventDelivery>;
struct Recorder {
    std::vector<std::string> log;
    NativeHandle next = 0x1000;
    std::vector<Post> posts;
} rec;

// Logs what the backend is asked to do with a native object and returns the object.
NativeHandle note(const std::string& what, NativeHandle h) {
    rec.log.push_back(what + " " + std::to_string(h));
    return h;
}

const WindowBackend recording = {
    .window_create = [](auto...) { return note("window", rec.next++); },
    .window_destroy = [](NativeHandle w) { note("destroy window", w); },
    .control_create = [](auto...) { return note("control", rec.next++); },
    .control_destroy = [](NativeHandle c) { note("destroy control", c); },
    .list_add_item = [](auto...) { return int32_t(1); },
    .list_select = [](auto...) { return int32_t(1); },
    .list_selected = [](NativeHandle) { return int32_t(-1); },
    .control_set_disabled = [](NativeHandle, bool) {},
    .image_create = [](const DecodedImage&) { return note("image", rec.next++); },
    .image_destroy = [](NativeHandle i) { note("destroy image", i); },
    .wait_and_dispatch =
        [] {
            for (const Post& p : std::exchange(rec.posts, {}))
                std::apply(toolkit_post_event, p);
            return int32_t(0x8000);
        },
    .sleep_ms = [](int32_t) {},
    .repaint_now = [](NativeHandle) {},
    .shutdown = [] { rec.log.push_back("backend shutdown"); },
    .focused_control = nullptr,
    .focus_control = nullptr,
};

struct WindowCore : ::testing::Test {
    void SetUp() override {
        rec = Recorder{};
        toolkit_core_start(&recording);
    }
    void TearDown() override { toolkit_shutdown(); }
};

int32_t window(int32_t number = AUTO_NUMBER) {
    return int32_t(window_create(number, 0, 0, 100, 100, "w", 0xC80000));
}

constexpr auto C = EventSource::Control, W = EventSource::Window;
constexpr auto NOW = EventDelivery::Immediate, LATER = EventDelivery::Queued;

// Handles are fresh values below -1, never given twice, whatever the kind; a static number
// gives the native handle, and a window and a control may share one.  Other negative numbers,
// values that name no object of the kind asked for, and a destroyed window's controls do
// nothing; controls need a live current parent.
TEST_F(WindowCore, NumbersNameOneObjectOfTheirKindUntilItIsDestroyed) {
    EXPECT_EQ(button_create(AUTO_NUMBER, 0, 0, 10, 10, "no window yet"), 0);
    const int32_t w = window();
    const int32_t button = int32_t(button_create(AUTO_NUMBER, 0, 0, 10, 10, "b"));
    const int32_t list = int32_t(dropdown_create(AUTO_NUMBER, 0, 0, 10, 10));
    EXPECT_EQ(control_add_item(button, -1, "a button has no items"), 0);
    for (int32_t value : {0, -1, 12345, w})
        EXPECT_EQ(control_get_state(value), 0) << value;
    EXPECT_EQ(control_set_disabled(button, 1), 1);
    EXPECT_EQ(window_destroy(w), 1);
    EXPECT_EQ(window_destroy(w), 0);
    EXPECT_EQ(window_native_handle(w), 0);
    EXPECT_EQ(control_set_disabled(button, 1), 0);
    EXPECT_EQ(label_create(AUTO_NUMBER, 0, 0, 10, 10, "L", 0), 0);
    std::set<int32_t> handles = {w, button, list};
    for (int i = 0; i < 5; ++i)
        handles.insert(window());
    EXPECT_EQ(handles.size(), 8u);
    EXPECT_LT(*handles.rbegin(), -1);
    EXPECT_NE(label_create(AUTO_NUMBER, 0, 0, 10, 10, "L", 0), 0);
    const intptr_t native = window_create(1962, 0, 0, 10, 10, "s", 0);
    const intptr_t control = button_create(1962, 0, 0, 10, 10, "b");
    EXPECT_EQ(window_native_handle(1962), native);
    EXPECT_EQ(toolkit_control_native(1962), control);
    EXPECT_EQ(window_create(-5, 0, 0, 10, 10, "", 0), 0);
}

// The first immediate event of a dispatch is its wait's answer, a second one is queued, and so
// are events raised outside a wait (before the first wait and after one); destroying a window
// drops what was queued from it and its controls.
TEST_F(WindowCore, EventsKeepTheirOrderAndGoWithTheirWindow) {
    window(3);
    dropdown_create(5, 0, 0, 10, 10);
    toolkit_post_event(EVENT_CONTROL, C, 6, NOW);
    EXPECT_EQ(event_wait(), EVENT_CONTROL);
    rec.posts = {{EVENT_CONTROL, C, 6, NOW}, {EVENT_CLOSE_WINDOW, W, 3, NOW}};
    EXPECT_EQ(event_wait(), EVENT_CONTROL);
    EXPECT_EQ(event_wait(), EVENT_CLOSE_WINDOW);
    toolkit_post_event(EVENT_CONTROL, C, 6, NOW);
    EXPECT_EQ(event_wait(), EVENT_CONTROL);
    toolkit_post_event(EVENT_CLOSE_WINDOW, W, 3, NOW);
    toolkit_post_event(EVENT_CONTROL, C, 5, LATER);
    window_destroy(3);
    EXPECT_EQ(event_wait(), 0x8000);
}

// Reusing a static number destroys the old window with its controls before making the new one.
// The end destroys every window (static numbers first) with its controls, then ends the
// backend, then frees the images.
TEST_F(WindowCore, WindowsGoWithTheirControlsOnReuseAndAtTheEnd) {
    window(7);
    const int32_t list = int32_t(dropdown_create(AUTO_NUMBER, 0, 0, 10, 10));
    const intptr_t second = window_create(7, 0, 0, 10, 10, "two", 0);
    EXPECT_EQ(window_native_handle(7), second);
    EXPECT_EQ(control_add_item(list, -1, "x"), 0);
    window();
    button_create(AUTO_NUMBER, 0, 0, 10, 10, "b");
    const Bytes bmp = make_bmp(2, 2);
    ASSERT_NE(image_decode_memory(AUTO_NUMBER, bmp.data(), bmp.size()), 0);
    toolkit_shutdown();
    const std::vector<std::string> expected = {
        "window 4096",          "control 4097",        "destroy control 4097",
        "destroy window 4096",  "window 4098",         "window 4099",
        "control 4100",         "image 4101",          "destroy window 4098",
        "destroy control 4100", "destroy window 4099", "backend shutdown",
        "destroy image 4101"};
    EXPECT_EQ(rec.log, expected);
    toolkit_core_start(&recording);
}

} // namespace
