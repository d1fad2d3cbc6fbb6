// Windows, controls and events on the Qt backend, on Qt's offscreen platform.
#include "test_files.h"
#include "toolkit/backend.h"
#include "toolkit/qt/qt_probe.h"
#include "toolkit/toolkit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

class QtToolkit : public ::testing::Test {
  protected:
    void SetUp() override { toolkit_init(); }
    void TearDown() override { toolkit_shutdown(); }

    // A main-window-like window with its handle.
    int32_t open_window(int32_t number = AUTO_NUMBER) {
        return int32_t(window_create(number, 25, 25, 540, 400, "Test", 0xC80000));
    }
    // Waits for the next event that is not a plain dispatch code.
    int32_t next_toolkit_event() {
        qt_probe_post_wakeup();
        for (int i = 0; i < 100; ++i) {
            const int32_t code = event_wait();
            if (code == EVENT_CONTROL || code == EVENT_CLOSE_WINDOW) return code;
            if (i % 10 == 9) qt_probe_post_wakeup();
        }
        return 0;
    }
};

TEST_F(QtToolkit, HandlesAreFreshAndStaticNumbersGiveNativeHandles) {
    const int32_t a = open_window();
    const int32_t b = open_window();
    EXPECT_LT(a, -1);
    EXPECT_LT(b, -1);
    EXPECT_NE(a, b);
    const intptr_t native = window_create(1962, 150, 150, 490, 350, "Splash", 0xC80000);
    EXPECT_NE(native, 0);
    EXPECT_EQ(window_native_handle(1962), native);
    // The same number names a control of its own, in the window made last.
    const intptr_t control = button_create(1962, 10, 10, 50, 20, "B");
    EXPECT_NE(control, 0);
    EXPECT_NE(control, native);
    EXPECT_EQ(toolkit_control_native(1962), control);

    EXPECT_EQ(window_destroy(a), 1);
    EXPECT_EQ(window_native_handle(a), 0);
    EXPECT_EQ(window_destroy(a), 0);
    // A destroyed handle is never handed out again.
    for (int i = 0; i < 5; ++i)
        EXPECT_NE(open_window(), a);
    EXPECT_EQ(window_create(-5, 0, 0, 10, 10, "", 0), 0);
}

TEST_F(QtToolkit, ReusingAStaticNumberDestroysTheOldObject) {
    const intptr_t first = window_create(7, 0, 0, 200, 200, "One", 0xC80000);
    const int32_t list = int32_t(dropdown_create(AUTO_NUMBER, 10, 10, 100, 20));
    ASSERT_EQ(control_add_item(list, -1, "x"), 1);
    const intptr_t second = window_create(7, 0, 0, 300, 300, "Two", 0xC80000);
    EXPECT_NE(second, 0);
    EXPECT_EQ(window_native_handle(7), second);
    EXPECT_NE(second, first);
    // The old window took its list with it.
    EXPECT_EQ(control_add_item(list, -1, "y"), 0);
    EXPECT_EQ(control_get_state(list), 0);

    ASSERT_NE(label_create(3, 0, 0, 50, 20, "old", LABEL_CENTER), 0);
    ASSERT_NE(label_create(3, 0, 0, 50, 20, "new", LABEL_CENTER), 0);
    EXPECT_STREQ(qt_probe_text(toolkit_control_native(3)), "new");
}

TEST_F(QtToolkit, ValuesThatNameNothingDoNothing) {
    EXPECT_EQ(window_destroy(0), 0);
    EXPECT_EQ(window_native_handle(0), 0);
    EXPECT_EQ(control_add_item(0, -1, "x"), 0);
    EXPECT_EQ(control_set_state(0, 0), 0);
    EXPECT_EQ(control_get_state(0), 0);
    EXPECT_EQ(control_set_disabled(0, 1), 0);
    EXPECT_EQ(control_get_state(-1), 0);
    // No window yet: nothing to put a control in.
    EXPECT_EQ(button_create(AUTO_NUMBER, 0, 0, 10, 10, "B"), 0);

    const int32_t w = open_window();
    const int32_t button = int32_t(button_create(AUTO_NUMBER, 0, 0, 10, 10, "B"));
    const int32_t list = int32_t(dropdown_create(AUTO_NUMBER, 0, 30, 100, 20));
    // A button has no items.
    EXPECT_EQ(control_add_item(button, -1, "x"), 0);
    EXPECT_EQ(window_destroy(w), 1);
    EXPECT_EQ(control_set_disabled(button, 1), 0);
    EXPECT_EQ(control_get_state(list), 0);
    // The destroyed window was the current parent: there is none until the next window.
    EXPECT_EQ(label_create(AUTO_NUMBER, 0, 0, 10, 10, "L", 0), 0);
    open_window();
    EXPECT_NE(label_create(AUTO_NUMBER, 0, 0, 10, 10, "L", 0), 0);
    window_repaint_now(0);
    EXPECT_EQ(webview_create(AUTO_NUMBER, 0, 0, 10, 10, "http://example.invalid/"), 0);
}

TEST_F(QtToolkit, GeometryIsTheClientAreaAtTheFramePosition) {
    const int32_t w = open_window();
    ProbeRect frame, client;
    ASSERT_TRUE(qt_probe_geometry(window_native_handle(w), &frame, &client));
    EXPECT_EQ(frame.x, 25);
    EXPECT_EQ(frame.y, 25);
    EXPECT_EQ(client.width, 540);
    EXPECT_EQ(client.height, 400);
    const uint32_t traits = qt_probe_window_traits(window_native_handle(w));
    EXPECT_EQ(traits, PROBE_TITLE | PROBE_CLOSE_BOX | PROBE_FIXED_SIZE);

    label_create(11, 190, 20, 160, 20, "SAMPLE RATE", 0x20001);
    dropdown_create(12, 190, 50, 160, 20);
    button_create(13, 190, 260, 330, 50, "COMPILE !");
    ProbeRect r;
    qt_probe_geometry(toolkit_control_native(11), &r, nullptr);
    EXPECT_EQ((std::vector<int>{r.x, r.y, r.width, r.height}),
              (std::vector<int>{190, 20, 160, 20}));
    qt_probe_geometry(toolkit_control_native(12), &r, nullptr);
    EXPECT_EQ((std::vector<int>{r.x, r.y, r.width, r.height}),
              (std::vector<int>{190, 50, 160, 20}));
    qt_probe_geometry(toolkit_control_native(13), &r, nullptr);
    EXPECT_EQ((std::vector<int>{r.x, r.y, r.width, r.height}),
              (std::vector<int>{190, 260, 330, 50}));
}

TEST_F(QtToolkit, APictureTakesItsImagesSizePlusTheSunkenEdge) {
    const Bytes logo = make_bmp(470, 330);
    const int32_t image = int32_t(image_decode_memory(AUTO_NUMBER, logo.data(), logo.size()));
    ASSERT_NE(image, 0);
    EXPECT_EQ(qt_probe_image_pixel(image_native_handle(image), 300, 200), 0xFF2CC85Au);
    window_create(1962, 150, 150, 490, 350, "Splash", 0xC80000);
    ASSERT_NE(picture_create(1962, 10, 10, 100, 100, image_native_handle(image), 0x200), 0);
    ProbeRect r;
    qt_probe_geometry(toolkit_control_native(1962), &r, nullptr);
    EXPECT_EQ((std::vector<int>{r.x, r.y, r.width, r.height}),
              (std::vector<int>{10, 10, 474, 334}));
    int32_t w = 0, h = 0;
    ASSERT_TRUE(qt_probe_picture_pixmap(toolkit_control_native(1962), &w, &h));
    EXPECT_EQ(w, 470);
    EXPECT_EQ(h, 330);
    // Without the edge the picture is the image's size; without an image, the size asked.
    picture_create(1962, 10, 10, 100, 100, image_native_handle(image), 0);
    qt_probe_geometry(toolkit_control_native(1962), &r, nullptr);
    EXPECT_EQ(r.width * 1000 + r.height, 470330);
    picture_create(1962, 10, 10, 100, 60, 0, 0x200);
    qt_probe_geometry(toolkit_control_native(1962), &r, nullptr);
    EXPECT_EQ(r.width * 1000 + r.height, 100060);
    // A handle that is no live image is no image.
    picture_create(1962, 10, 10, 90, 50, image_native_handle(image) + 8, 0);
    qt_probe_geometry(toolkit_control_native(1962), &r, nullptr);
    EXPECT_EQ(r.width * 1000 + r.height, 90050);
    window_repaint_now(window_native_handle(1962));
}

TEST_F(QtToolkit, ListsKeepInsertionOrderAndStartWithNothingSelected) {
    open_window();
    const int32_t list = int32_t(dropdown_create(AUTO_NUMBER, 20, 50, 160, 20));
    EXPECT_EQ(control_get_state(list), -1);
    for (const char* t : {"8", "10", "12.5", "16"})
        EXPECT_EQ(control_add_item(list, -1, t), 1);
    EXPECT_EQ(control_get_state(list), -1);
    EXPECT_EQ(control_add_item(list, 0, "first"), 1);
    EXPECT_EQ(control_add_item(list, 9, "beyond"), 0);
    const NativeHandle native = toolkit_control_native(list);
    EXPECT_STREQ(qt_probe_list_item(native, 0), "first");
    EXPECT_STREQ(qt_probe_list_item(native, 3), "12.5");
    EXPECT_EQ(control_set_state(list, 3), 1);
    EXPECT_EQ(control_get_state(list), 3);
    // Inserting before the selection moves it along with its entry.
    control_add_item(list, 1, "second");
    EXPECT_EQ(control_get_state(list), 4);
    EXPECT_EQ(control_set_state(list, 17), 0);
    EXPECT_EQ(control_get_state(list), 4);
    // Programmatic changes report nothing.
    qt_probe_process_pending();
    qt_probe_post_close_request(
        window_native_handle(window_create(AUTO_NUMBER, 0, 0, 9, 9, "", 0)));
    EXPECT_EQ(next_toolkit_event(), EVENT_CLOSE_WINDOW);

    ProbeRect r;
    qt_probe_geometry(native, &r, nullptr);
    EXPECT_EQ(r.height, 20);
}

TEST_F(QtToolkit, AnOpenedListFitsTheListHeightAndScrolls) {
    open_window();
    const int32_t list = int32_t(dropdown_create(AUTO_NUMBER, 190, 210, 160, 20));
    for (int i = 0; i < 36; ++i)
        control_add_item(list, -1, std::to_string(i).c_str());
    control_set_state(list, 0);
    int32_t height = 0;
    bool scrolls = false;
    qt_probe_open_list(toolkit_control_native(list), &height, &scrolls);
    // Field and opened part together come to the 350-pixel list height, less a part row.
    EXPECT_LE(20 + height, 350);
    EXPECT_GE(20 + height, 300);
    EXPECT_TRUE(scrolls);
    // A short list opens no taller than its entries.
    const int32_t small = int32_t(dropdown_create(AUTO_NUMBER, 20, 50, 160, 20));
    control_add_item(small, -1, "1");
    control_add_item(small, -1, "2");
    qt_probe_open_list(toolkit_control_native(small), &height, &scrolls);
    EXPECT_LT(height, 100);
    EXPECT_FALSE(scrolls);
}

TEST_F(QtToolkit, AClickIsReportedByTheWaitThatDispatchedIt) {
    open_window();
    const int32_t button = int32_t(button_create(AUTO_NUMBER, 20, 340, 160, 40, "PLAY"));
    qt_probe_post_key_click(toolkit_control_native(button));
    // Input made while the thread sleeps waits in the queue.
    sleep_ms(20);
    int32_t code = 0;
    for (int i = 0; i < 5 && code != EVENT_CONTROL; ++i)
        code = event_wait();
    EXPECT_EQ(code, EVENT_CONTROL);
    EXPECT_EQ(event_source_control(), button);

    // A disabled button reports nothing.
    EXPECT_EQ(control_set_disabled(button, 1), 1);
    EXPECT_FALSE(qt_probe_enabled(toolkit_control_native(button)));
    qt_probe_post_key_click(toolkit_control_native(button));
    qt_probe_process_pending();
    EXPECT_EQ(control_set_disabled(button, 0), 1);
    qt_probe_post_close_request(window_create(5, 0, 0, 9, 9, "", 0));
    EXPECT_EQ(next_toolkit_event(), EVENT_CLOSE_WINDOW);
    EXPECT_EQ(event_source_control(), 5);
}

TEST_F(QtToolkit, AListChangeComesOneWaitLaterAndIsNotRepeated) {
    open_window();
    const int32_t list = int32_t(dropdown_create(AUTO_NUMBER, 20, 50, 160, 20));
    for (const char* t : {"a", "b", "c"})
        control_add_item(list, -1, t);
    control_set_state(list, 0);
    // Two changes in one dispatch queue one event.
    qt_probe_post_choose(toolkit_control_native(list), 1);
    qt_probe_post_choose(toolkit_control_native(list), 2);
    const int32_t first = event_wait();
    EXPECT_NE(first, EVENT_CONTROL);
    EXPECT_EQ(control_get_state(list), 2);
    EXPECT_EQ(event_wait(), EVENT_CONTROL);
    EXPECT_EQ(event_source_control(), list);
    // Nothing more is queued: the next wait dispatches again.
    qt_probe_post_wakeup();
    EXPECT_NE(event_wait(), EVENT_CONTROL);
}

TEST_F(QtToolkit, DestroyingAControlDropsItsQueuedEvents) {
    open_window();
    const int32_t list = int32_t(dropdown_create(4, 20, 50, 160, 20));
    const int32_t other = int32_t(dropdown_create(AUTO_NUMBER, 20, 90, 160, 20));
    for (int32_t l : {list, other})
        for (const char* t : {"a", "b"})
            control_add_item(l, -1, t);
    qt_probe_post_choose(toolkit_control_native(list), 1);
    qt_probe_post_choose(toolkit_control_native(other), 1);
    event_wait();
    // The number is reused: the old list and its event go; the other list's event stays.
    ASSERT_NE(dropdown_create(4, 20, 50, 160, 20), 0);
    EXPECT_EQ(event_wait(), EVENT_CONTROL);
    EXPECT_EQ(event_source_control(), other);
    qt_probe_post_wakeup();
    EXPECT_NE(event_wait(), EVENT_CONTROL);
}

TEST_F(QtToolkit, ACloseRequestKeepsTheWindowOpen) {
    const int32_t w = open_window();
    const NativeHandle native = window_native_handle(w);
    qt_probe_post_close_request(native);
    EXPECT_EQ(next_toolkit_event(), EVENT_CLOSE_WINDOW);
    EXPECT_EQ(event_source_control(), w);
    EXPECT_TRUE(qt_probe_visible(native));
    EXPECT_EQ(window_native_handle(w), native);

    // A second request queued behind a first goes with the window.
    qt_probe_post_close_request(native);
    qt_probe_post_close_request(native);
    event_wait();
    window_destroy(w);
    qt_probe_post_wakeup();
    EXPECT_NE(event_wait(), EVENT_CLOSE_WINDOW);
}

TEST_F(QtToolkit, TabVisitsEnabledListsAndButtonsInCreationOrder) {
    const int32_t w = open_window();
    const NativeHandle win = window_native_handle(w);
    label_create(AUTO_NUMBER, 20, 20, 160, 20, "CAPTION", 0x20001);
    const int32_t list1 = int32_t(dropdown_create(AUTO_NUMBER, 20, 50, 160, 20));
    const int32_t list2 = int32_t(dropdown_create(AUTO_NUMBER, 190, 50, 160, 20));
    const int32_t compile = int32_t(button_create(AUTO_NUMBER, 190, 260, 330, 50, "COMPILE !"));
    const int32_t play = int32_t(button_create(AUTO_NUMBER, 20, 340, 160, 40, "PLAY"));
    const int32_t about = int32_t(button_create(AUTO_NUMBER, 360, 340, 160, 40, "ABOUT"));
    control_set_disabled(play, 1);
    qt_probe_focus(toolkit_control_native(list1));
    EXPECT_EQ(qt_probe_tab(win, false), list2);
    EXPECT_EQ(qt_probe_tab(win, false), compile);
    EXPECT_EQ(qt_probe_tab(win, false), about);
    EXPECT_EQ(qt_probe_tab(win, false), list1);
    EXPECT_EQ(qt_probe_tab(win, true), about);
    EXPECT_EQ(qt_probe_tab(win, true), compile);
    control_set_disabled(play, 0);
    EXPECT_EQ(qt_probe_tab(win, false), play);
}

TEST_F(QtToolkit, ShutdownDestroysEveryWindow) {
    const int32_t a = open_window();
    window_create(3, 0, 0, 100, 100, "B", 0xC80000);
    toolkit_shutdown();
    EXPECT_EQ(window_native_handle(a), 0);
    EXPECT_EQ(window_native_handle(3), 0);
    toolkit_init();
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
