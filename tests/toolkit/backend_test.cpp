// Windows, controls and events on the platform's window backend (Qt offscreen on Linux,
// Win32 on Windows).
#include "test_files.h"
#include "toolkit/backend.h"
#include "toolkit/probe.h"
#include "toolkit/toolkit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

class Backend : public ::testing::Test {
  protected:
    void SetUp() override { toolkit_init(); }
    void TearDown() override { toolkit_shutdown(); }

    // A main-window-like window with its handle.
    int32_t open_window(int32_t number = AUTO_NUMBER) {
        return int32_t(window_create(number, 25, 25, 540, 400, "Test", 0xC80000));
    }
    // Waits for the next event that is not a plain dispatch code.
    int32_t next_toolkit_event() {
        probe_post_wakeup();
        for (int i = 0; i < 100; ++i) {
            const int32_t code = event_wait();
            if (code == EVENT_CONTROL || code == EVENT_CLOSE_WINDOW) return code;
            if (i % 10 == 9) probe_post_wakeup();
        }
        return 0;
    }
};

TEST_F(Backend, GeometryIsTheClientAreaAtTheFramePosition) {
    const int32_t w = open_window();
    ProbeRect frame, client;
    ASSERT_TRUE(probe_geometry(window_native_handle(w), &frame, &client));
    EXPECT_EQ(frame.x, 25);
    EXPECT_EQ(frame.y, 25);
    EXPECT_EQ(client.width, 540);
    EXPECT_EQ(client.height, 400);
    const uint32_t traits = probe_window_traits(window_native_handle(w));
    EXPECT_EQ(traits, PROBE_TITLE | PROBE_CLOSE_BOX | PROBE_FIXED_SIZE);

    label_create(11, 190, 20, 160, 20, "SAMPLE RATE", 0x20001);
    dropdown_create(12, 190, 50, 160, 20);
    button_create(13, 190, 260, 330, 50, "COMPILE !");
    ProbeRect r;
    probe_geometry(toolkit_control_native(11), &r, nullptr);
    EXPECT_EQ((std::vector<int>{r.x, r.y, r.width, r.height}),
              (std::vector<int>{190, 20, 160, 20}));
    probe_geometry(toolkit_control_native(12), &r, nullptr);
    EXPECT_EQ((std::vector<int>{r.x, r.y, r.width, r.height}),
              (std::vector<int>{190, 50, 160, 20}));
    probe_geometry(toolkit_control_native(13), &r, nullptr);
    EXPECT_EQ((std::vector<int>{r.x, r.y, r.width, r.height}),
              (std::vector<int>{190, 260, 330, 50}));
}

TEST_F(Backend, APictureTakesItsImagesSizePlusTheSunkenEdge) {
    const Bytes logo = make_bmp(470, 330);
    const int32_t image = int32_t(image_decode_memory(AUTO_NUMBER, logo.data(), logo.size()));
    ASSERT_NE(image, 0);
    EXPECT_EQ(probe_image_pixel(image_native_handle(image), 300, 200), 0xFF2CC85Au);
    // Rows whose bytes need no padding (4 x 3 bytes) are laid out as tightly.
    const Bytes small = make_bmp(4, 3);
    const NativeHandle native =
        image_native_handle(int32_t(image_decode_memory(AUTO_NUMBER, small.data(), small.size())));
    for (int y = 0; y < 3; ++y)
        EXPECT_EQ(probe_image_pixel(native, 3, y), 0xFF03005Au | uint32_t(y) << 8) << y;
    window_create(1962, 150, 150, 490, 350, "Splash", 0xC80000);
    ASSERT_NE(picture_create(1962, 10, 10, 100, 100, image_native_handle(image), 0x200), 0);
    ProbeRect r;
    probe_geometry(toolkit_control_native(1962), &r, nullptr);
    EXPECT_EQ((std::vector<int>{r.x, r.y, r.width, r.height}),
              (std::vector<int>{10, 10, 474, 334}));
    int32_t w = 0, h = 0;
    ASSERT_TRUE(probe_picture_pixmap(toolkit_control_native(1962), &w, &h));
    EXPECT_EQ(w, 470);
    EXPECT_EQ(h, 330);
    // Without the edge the picture is the image's size; without an image, the size asked.
    picture_create(1962, 10, 10, 100, 100, image_native_handle(image), 0);
    probe_geometry(toolkit_control_native(1962), &r, nullptr);
    EXPECT_EQ(r.width * 1000 + r.height, 470330);
    picture_create(1962, 10, 10, 100, 60, 0, 0x200);
    probe_geometry(toolkit_control_native(1962), &r, nullptr);
    EXPECT_EQ(r.width * 1000 + r.height, 100060);
    // A handle that is no live image is no image.
    picture_create(1962, 10, 10, 90, 50, image_native_handle(image) + 8, 0);
    probe_geometry(toolkit_control_native(1962), &r, nullptr);
    EXPECT_EQ(r.width * 1000 + r.height, 90050);
    window_repaint_now(window_native_handle(1962));
}

TEST_F(Backend, ListsKeepInsertionOrderAndStartWithNothingSelected) {
    open_window();
    const int32_t list = int32_t(dropdown_create(AUTO_NUMBER, 20, 50, 160, 20));
    EXPECT_EQ(control_get_state(list), -1);
    for (const char* t : {"8", "10", "12.5", "16"})
        EXPECT_EQ(control_add_item(list, -1, t), 1);
    EXPECT_EQ(control_get_state(list), -1);
    EXPECT_EQ(control_add_item(list, 0, "first"), 1);
    EXPECT_EQ(control_add_item(list, 9, "beyond"), 0);
    const NativeHandle native = toolkit_control_native(list);
    EXPECT_STREQ(probe_list_item(native, 0), "first");
    EXPECT_STREQ(probe_list_item(native, 3), "12.5");
    EXPECT_EQ(control_set_state(list, 3), 1);
    EXPECT_EQ(control_get_state(list), 3);
    // Inserting before the selection moves it along with its entry.
    control_add_item(list, 1, "second");
    EXPECT_EQ(control_get_state(list), 4);
    EXPECT_EQ(control_set_state(list, 17), 0);
    EXPECT_EQ(control_set_state(list, -2), 0);
    EXPECT_EQ(control_get_state(list), 4);
    // -1 selects nothing.
    EXPECT_EQ(control_set_state(list, -1), 1);
    EXPECT_EQ(control_get_state(list), -1);
    // Programmatic changes report nothing.
    probe_process_pending();
    probe_post_close_request(window_native_handle(window_create(AUTO_NUMBER, 0, 0, 9, 9, "", 0)));
    EXPECT_EQ(next_toolkit_event(), EVENT_CLOSE_WINDOW);

    ProbeRect r;
    probe_geometry(native, &r, nullptr);
    EXPECT_EQ(r.height, 20);
}

TEST_F(Backend, AnOpenedListFitsTheListHeightAndScrolls) {
    open_window();
    const int32_t list = int32_t(dropdown_create(AUTO_NUMBER, 190, 210, 160, 20));
    for (int i = 0; i < 36; ++i)
        control_add_item(list, -1, std::to_string(i).c_str());
    control_set_state(list, 0);
    int32_t height = 0;
    bool scrolls = false;
    probe_open_list(toolkit_control_native(list), &height, &scrolls);
    // Field and opened part together come to the 350-pixel list height, less a part row.
    EXPECT_LE(20 + height, 350);
    EXPECT_GE(20 + height, 300);
    EXPECT_TRUE(scrolls);
    // A short list opens no taller than its entries.
    const int32_t small = int32_t(dropdown_create(AUTO_NUMBER, 20, 50, 160, 20));
    control_add_item(small, -1, "1");
    control_add_item(small, -1, "2");
    probe_open_list(toolkit_control_native(small), &height, &scrolls);
    EXPECT_LT(height, 100);
    EXPECT_FALSE(scrolls);
}

TEST_F(Backend, AClickIsReportedByTheWaitThatDispatchedIt) {
    open_window();
    const int32_t button = int32_t(button_create(AUTO_NUMBER, 20, 340, 160, 40, "PLAY"));
    probe_post_key_click(toolkit_control_native(button));
    // Input made while the thread sleeps waits in the queue.
    sleep_ms(20);
    int32_t code = 0;
    for (int i = 0; i < 5 && code != EVENT_CONTROL; ++i)
        code = event_wait();
    EXPECT_EQ(code, EVENT_CONTROL);
    EXPECT_EQ(event_source_control(), button);

    // A disabled button reports nothing.
    EXPECT_EQ(control_set_disabled(button, 1), 1);
    EXPECT_FALSE(probe_enabled(toolkit_control_native(button)));
    probe_post_key_click(toolkit_control_native(button));
    probe_process_pending();
    EXPECT_EQ(control_set_disabled(button, 0), 1);
    probe_post_close_request(window_create(5, 0, 0, 9, 9, "", 0));
    EXPECT_EQ(next_toolkit_event(), EVENT_CLOSE_WINDOW);
    EXPECT_EQ(event_source_control(), 5);
}

// Clicks queued behind a handler are handled after it returns, one per wait, in order, on the
// controls as the handlers before them left them.
TEST_F(Backend, QueuedClicksMeetTheButtonsTheirHandlersLeft) {
    open_window();
    const int32_t a = int32_t(button_create(AUTO_NUMBER, 20, 340, 160, 40, "A"));
    const int32_t b = int32_t(button_create(AUTO_NUMBER, 200, 340, 160, 40, "B"));
    // A's handler enables B; B's handler disables A, so the second click on A is lost.  The
    // second round comes after held input has been replayed.
    for (int round = 0; round < 2; ++round) {
        control_set_disabled(a, 0);
        control_set_disabled(b, 1);
        for (int32_t button : {a, b, a})
            probe_post_key_click(toolkit_control_native(button));
        for (int32_t expected : {a, b}) {
            ASSERT_EQ(next_toolkit_event(), EVENT_CONTROL);
            const int32_t source = event_source_control();
            ASSERT_EQ(source, expected) << "round " << round;
            control_set_disabled(source == a ? b : a, source == a ? 0 : 1);
        }
        for (int i = 0; i < 3; ++i) {
            probe_post_wakeup();
            EXPECT_NE(event_wait(), EVENT_CONTROL);
        }
    }
}

TEST_F(Backend, AListChangeComesOneWaitLaterAndIsNotRepeated) {
    open_window();
    const int32_t list = int32_t(dropdown_create(AUTO_NUMBER, 20, 50, 160, 20));
    for (const char* t : {"a", "b", "c"})
        control_add_item(list, -1, t);
    control_set_state(list, 0);
    probe_process_pending();
    probe_post_choose(toolkit_control_native(list), 1);
    // The wait that dispatches the choice answers with the native message, the next one with
    // the change.
    for (int i = 0; i < 20 && control_get_state(list) != 1; ++i)
        EXPECT_NE(event_wait(), EVENT_CONTROL);
    EXPECT_EQ(control_get_state(list), 1);
    EXPECT_EQ(event_wait(), EVENT_CONTROL);
    EXPECT_EQ(event_source_control(), list);
    // Two changes handled before the next wait leave one event.
    probe_post_choose(toolkit_control_native(list), 2);
    probe_post_choose(toolkit_control_native(list), 0);
    probe_process_pending();
    EXPECT_EQ(control_get_state(list), 0);
    EXPECT_EQ(event_wait(), EVENT_CONTROL);
    // Nothing more is queued: the next wait dispatches again.
    probe_post_wakeup();
    EXPECT_NE(event_wait(), EVENT_CONTROL);
}

TEST_F(Backend, DestroyingAControlDropsItsQueuedEvents) {
    open_window();
    const int32_t list = 4;
    ASSERT_NE(dropdown_create(list, 20, 50, 160, 20), 0);
    const int32_t other = int32_t(dropdown_create(AUTO_NUMBER, 20, 90, 160, 20));
    for (int32_t l : {list, other})
        for (const char* t : {"a", "b"})
            control_add_item(l, -1, t);
    probe_post_choose(toolkit_control_native(list), 1);
    probe_post_choose(toolkit_control_native(other), 1);
    probe_process_pending();
    // The number is reused: the old list and its event go; the other list's event stays.
    ASSERT_NE(dropdown_create(4, 20, 50, 160, 20), 0);
    EXPECT_EQ(event_wait(), EVENT_CONTROL);
    EXPECT_EQ(event_source_control(), other);
    probe_post_wakeup();
    EXPECT_NE(event_wait(), EVENT_CONTROL);
}

TEST_F(Backend, ACloseRequestKeepsTheWindowOpen) {
    const int32_t w = open_window();
    const NativeHandle native = window_native_handle(w);
    probe_post_close_request(native);
    EXPECT_EQ(next_toolkit_event(), EVENT_CLOSE_WINDOW);
    EXPECT_EQ(event_source_control(), w);
    EXPECT_TRUE(probe_visible(native));
    EXPECT_EQ(window_native_handle(w), native);

    // A second request queued behind a first goes with the window.
    probe_post_close_request(native);
    probe_post_close_request(native);
    event_wait();
    window_destroy(w);
    probe_post_wakeup();
    EXPECT_NE(event_wait(), EVENT_CLOSE_WINDOW);
}

TEST_F(Backend, TabVisitsEnabledListsAndButtonsInCreationOrder) {
    const int32_t w = open_window();
    const NativeHandle win = window_native_handle(w);
    label_create(AUTO_NUMBER, 20, 20, 160, 20, "CAPTION", 0x20001);
    const int32_t list1 = int32_t(dropdown_create(AUTO_NUMBER, 20, 50, 160, 20));
    const int32_t list2 = int32_t(dropdown_create(AUTO_NUMBER, 190, 50, 160, 20));
    const int32_t compile = int32_t(button_create(AUTO_NUMBER, 190, 260, 330, 50, "COMPILE !"));
    const int32_t play = int32_t(button_create(AUTO_NUMBER, 20, 340, 160, 40, "PLAY"));
    const int32_t about = int32_t(button_create(AUTO_NUMBER, 360, 340, 160, 40, "ABOUT"));
    control_set_disabled(play, 1);
    probe_focus(toolkit_control_native(list1));
    EXPECT_EQ(probe_tab(win, false), list2);
    EXPECT_EQ(probe_tab(win, false), compile);
    EXPECT_EQ(probe_tab(win, false), about);
    EXPECT_EQ(probe_tab(win, false), list1);
    EXPECT_EQ(probe_tab(win, true), about);
    EXPECT_EQ(probe_tab(win, true), compile);
    control_set_disabled(play, 0);
    EXPECT_EQ(probe_tab(win, false), play);
}

TEST_F(Backend, ShutdownDestroysEveryWindow) {
    const int32_t a = open_window();
    window_create(3, 0, 0, 100, 100, "B", 0xC80000);
    toolkit_shutdown();
    EXPECT_EQ(window_native_handle(a), 0);
    EXPECT_EQ(window_native_handle(3), 0);
    toolkit_init();
}

} // namespace

int main(int argc, char** argv) {
    probe_start();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
