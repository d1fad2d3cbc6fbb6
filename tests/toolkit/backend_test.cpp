// Windows, controls and events on the platform's window backend (Qt offscreen on Linux,
// Win32 on Windows).
#include "test_files.h"
#include "toolkit/backend.h"
#include "toolkit/probe.h"
#include "toolkit/toolkit.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

using Rect = std::vector<int32_t>;
constexpr uint32_t FRAMED = WINDOW_CAPTION | WINDOW_SYSMENU;

struct Backend : ::testing::Test {
    void SetUp() override { toolkit_init(); }
    void TearDown() override { toolkit_shutdown(); }

    // A main-window-like window with its handle.
    int32_t open_window() {
        return int32_t(window_create(AUTO_NUMBER, 25, 25, 540, 400, "T", FRAMED));
    }
    // Waits for the next event that is not a plain dispatch code.
    int32_t next_toolkit_event() {
        for (int i = 0; i < 100; ++i) {
            if (i % 10 == 0) probe_post_wakeup();
            const int32_t code = event_wait();
            if (code == EVENT_CONTROL || code == EVENT_CLOSE_WINDOW) return code;
        }
        return 0;
    }
    // A control's rectangle in its window.
    static Rect rect(int32_t control) {
        ProbeRect r{};
        probe_geometry(toolkit_control_native(control), &r, nullptr);
        return {r.x, r.y, r.width, r.height};
    }
    static NativeHandle decode(const Bytes& b) {
        return image_native_handle(int32_t(image_decode_memory(AUTO_NUMBER, b.data(), b.size())));
    }
};

// Images keep their pixels (also with rows that need no padding, 4 x 3 bytes).  A picture is its
// image's size, plus the sunken edge when it has one; with no live image it is the size asked.
TEST_F(Backend, PicturesShowTheirImagesAtTheImagesSize) {
    const NativeHandle logo = decode(make_bmp(470, 330)), small = decode(make_bmp(4, 3));
    EXPECT_EQ(probe_image_pixel(logo, 300, 200), 0xFF2CC85Au);
    for (int y = 0; y < 3; ++y)
        EXPECT_EQ(probe_image_pixel(small, 3, y), 0xFF03005Au | uint32_t(y) << 8) << y;
    window_create(1962, 150, 150, 490, 350, "Splash", FRAMED);
    using Case = std::tuple<NativeHandle, uint32_t, int32_t, int32_t>;
    for (const auto& [image, edge, width, height] :
         {Case{logo, PICTURE_SUNKEN_EDGE, 474, 334}, Case{logo, 0, 470, 330},
          Case{0, PICTURE_SUNKEN_EDGE, 100, 60}, Case{logo + 8, 0, 100, 60}}) {
        ASSERT_NE(picture_create(1962, 10, 10, 100, 60, image, edge), 0);
        EXPECT_EQ(rect(1962), (Rect{10, 10, width, height})) << image << " " << edge;
        Rect pixmap(2);
        ASSERT_TRUE(probe_picture_pixmap(toolkit_control_native(1962), &pixmap[0], &pixmap[1]));
        EXPECT_EQ(pixmap, image == logo ? (Rect{470, 330}) : (Rect{0, 0}));
    }
    window_repaint_now(window_native_handle(1962));
}

// Entries go where they are put (not beyond the end) and select nothing; a selection is made
// only of an entry the list holds or -1 (nothing), moves along with its entry, and none of this
// is reported.  A user's choice is reported by the wait after the one that dispatched it, and
// two choices handled before a wait leave one event.  Destroying a list (by reusing its number)
// drops its queued event and leaves another list's.
TEST_F(Backend, ListsKeepTheirEntriesAndReportAUsersChoiceOnce) {
    open_window();
    const int32_t list = 4;
    ASSERT_NE(dropdown_create(list, 20, 50, 160, 20), 0);
    for (const char* t : {"8", "10", "12.5", "16"})
        EXPECT_EQ(control_add_item(list, -1, t), 1);
    EXPECT_EQ(control_add_item(list, 0, "first"), 1);
    EXPECT_EQ(control_add_item(list, 6, "beyond"), 0);
    EXPECT_EQ(control_get_state(list), -1);
    EXPECT_STREQ(probe_list_item(toolkit_control_native(list), 0), "first");
    EXPECT_STREQ(probe_list_item(toolkit_control_native(list), 3), "12.5");
    EXPECT_EQ(control_set_state(list, 3), 1);
    control_add_item(list, 1, "second");
    EXPECT_EQ(control_get_state(list), 4);
    EXPECT_EQ(control_set_state(list, 6), 0);
    EXPECT_EQ(control_set_state(list, -2), 0);
    EXPECT_EQ(control_get_state(list), 4);
    EXPECT_EQ(control_set_state(list, -1), 1);
    EXPECT_EQ(control_get_state(list), -1);
    const int32_t other = 5;
    dropdown_create(other, 20, 90, 160, 20);
    control_add_item(other, -1, "a");

    probe_post_choose(toolkit_control_native(list), 1);
    for (int i = 0; i < 20 && control_get_state(list) != 1; ++i)
        EXPECT_NE(event_wait(), EVENT_CONTROL);
    EXPECT_EQ(control_get_state(list), 1);
    EXPECT_EQ(event_wait(), EVENT_CONTROL);
    EXPECT_EQ(event_source_control(), list);
    probe_post_choose(toolkit_control_native(other), 0);
    probe_post_choose(toolkit_control_native(list), 2);
    probe_post_choose(toolkit_control_native(list), 0);
    probe_process_pending();
    ASSERT_NE(dropdown_create(other, 20, 90, 160, 20), 0);
    EXPECT_EQ(event_wait(), EVENT_CONTROL);
    EXPECT_EQ(event_source_control(), list);
    probe_post_wakeup();
    EXPECT_NE(event_wait(), EVENT_CONTROL);
}

// An opened list fills the 350-pixel list height (less a part row) and scrolls; a short one
// opens no taller than its entries.
TEST_F(Backend, AnOpenedListFitsTheListHeightAndScrolls) {
    open_window();
    int32_t row = 0;
    for (const int entries : {2, 36}) {
        const int32_t list = int32_t(dropdown_create(AUTO_NUMBER, 190, 210, 160, 20));
        for (int i = 0; i < entries; ++i)
            control_add_item(list, -1, std::to_string(i).c_str());
        int32_t height = 0;
        bool scrolls = false;
        probe_open_list(toolkit_control_native(list), &height, &scrolls);
        EXPECT_EQ(scrolls, entries == 36);
        if (entries == 2) row = height / 2; // two rows and a frame: at least a row
        EXPECT_LE(20 + height, entries == 36 ? 350 : 100);
        EXPECT_GT(20 + height, entries == 36 ? 350 - row : 20) << height;
    }
}

// Clicks made while the program sleeps wait in the queue.  Clicks queued behind a handler are
// handled after it returns, one per wait, in order, on the buttons as the handlers before them
// left them: A's handler enables B and B's disables A, so the second click on A is lost.  The
// second round comes after held input has been replayed.
TEST_F(Backend, QueuedClicksMeetTheButtonsTheirHandlersLeft) {
    open_window();
    const int32_t a = int32_t(button_create(AUTO_NUMBER, 20, 340, 160, 40, "A"));
    const int32_t b = int32_t(button_create(AUTO_NUMBER, 200, 340, 160, 40, "B"));
    for (int round = 0; round < 2; ++round) {
        control_set_disabled(a, 0);
        control_set_disabled(b, 1);
        for (int32_t button : {a, b, a})
            probe_post_key_click(toolkit_control_native(button));
        sleep_ms(20);
        for (int32_t expected : {a, b}) {
            ASSERT_EQ(next_toolkit_event(), EVENT_CONTROL);
            ASSERT_EQ(event_source_control(), expected) << "round " << round;
            control_set_disabled(expected == a ? b : a, expected == a ? 0 : 1);
        }
        for (int i = 0; i < 3; ++i) {
            probe_post_wakeup();
            EXPECT_NE(event_wait(), EVENT_CONTROL);
        }
    }
}

// A window is a fixed-size framed window, its client area the size asked for and painted in the
// dialog face colour, its frame where asked.  A close request is reported from it and leaves it
// open; one queued behind it goes with the window.
TEST_F(Backend, AWindowIsWhereAskedAndACloseRequestKeepsItOpen) {
    const int32_t w = open_window();
    const NativeHandle native = window_native_handle(w);
    ProbeRect frame, client;
    ASSERT_TRUE(probe_geometry(native, &frame, &client));
    EXPECT_EQ((Rect{frame.x, frame.y, client.width, client.height}), (Rect{25, 25, 540, 400}));
    EXPECT_EQ(probe_window_traits(native), PROBE_TITLE | PROBE_CLOSE_BOX | PROBE_FIXED_SIZE);
    EXPECT_EQ(probe_background_pixel(native, 539, 5), probe_face_colour());
    probe_post_close_request(native);
    probe_post_close_request(native);
    EXPECT_EQ(next_toolkit_event(), EVENT_CLOSE_WINDOW);
    EXPECT_EQ(event_source_control(), w);
    EXPECT_TRUE(probe_visible(native));
    window_destroy(w);
    probe_post_wakeup();
    EXPECT_NE(event_wait(), EVENT_CLOSE_WINDOW);
}

// Controls are where they are asked to be.  Tab and Shift+Tab go round the enabled lists and
// buttons in the order they were made, before any wait and right after a wait that reported a
// click (keys handled outside a wait are not held back).
TEST_F(Backend, ControlsAreWhereAskedAndTabVisitsEnabledOnesInCreationOrder) {
    const NativeHandle win = window_native_handle(open_window());
    label_create(11, 20, 20, 160, 20, "CAPTION", LABEL_SUNKEN_EDGE | LABEL_CENTER);
    const int32_t list1 = int32_t(dropdown_create(AUTO_NUMBER, 20, 50, 160, 20));
    const int32_t list2 = int32_t(dropdown_create(AUTO_NUMBER, 190, 50, 160, 20));
    const int32_t compile = int32_t(button_create(AUTO_NUMBER, 190, 260, 330, 50, "COMPILE !"));
    const int32_t play = int32_t(button_create(AUTO_NUMBER, 20, 340, 160, 40, "PLAY"));
    const int32_t about = int32_t(button_create(AUTO_NUMBER, 360, 340, 160, 40, "ABOUT"));
    control_add_item(list1, -1, "44100");
    EXPECT_EQ(rect(11), (Rect{20, 20, 160, 20}));
    EXPECT_EQ(rect(list1), (Rect{20, 50, 160, 20}));
    EXPECT_EQ(rect(compile), (Rect{190, 260, 330, 50}));
    control_set_disabled(play, 1);
    probe_focus(toolkit_control_native(list1));
    std::vector<int32_t> visited;
    for (bool backward : {false, false, false, false, true, true})
        visited.push_back(probe_tab(win, backward));
    EXPECT_EQ(visited, (std::vector{list2, compile, about, list1, about, compile}));
    probe_post_key_click(toolkit_control_native(compile));
    ASSERT_EQ(next_toolkit_event(), EVENT_CONTROL);
    control_set_disabled(play, 0);
    EXPECT_EQ(probe_tab(win, false), play);
}

// The keyboard's path through a session: the first list has the focus when the window opens; a
// button that disables itself passes it, once its handler has set every button, to the next
// enabled control in creation order (COMPILE to PLAY, which was still disabled when COMPILE
// was disabled; PLAY to STOP); a window opened on top gives it back when it closes.  A screen
// reader hears the window by its title and a list by its caption, not by its entry.
TEST_F(Backend, TheFocusGoesWhereTheNextStepIsAndListsAreNamedByTheirCaptions) {
    const NativeHandle win = window_native_handle(open_window());
    label_create(AUTO_NUMBER, 20, 20, 160, 20, "SAMPLE RATE", LABEL_SUNKEN_EDGE | LABEL_CENTER);
    const int32_t list = int32_t(dropdown_create(AUTO_NUMBER, 20, 50, 160, 20));
    control_add_item(list, -1, "44100");
    control_set_state(list, 0);
    std::vector<int32_t> buttons;
    for (const char* caption : {"COMPILE !", "PLAY", "STOP", "ABOUT"})
        buttons.push_back(int32_t(button_create(AUTO_NUMBER, 20, 340, 160, 40, caption)));
    const auto [compile, play, stop, about] =
        std::tuple(buttons[0], buttons[1], buttons[2], buttons[3]);
    control_set_disabled(play, 1);
    const auto native = [](int32_t control) { return toolkit_control_native(control); };
    const auto after_a_wait = [&] {
        probe_post_wakeup();
        event_wait();
        return probe_focused(win);
    };
    EXPECT_EQ(after_a_wait(), list);
    EXPECT_STREQ(probe_accessible_name(win), "T");
    EXPECT_STREQ(probe_accessible_name(native(list)), "SAMPLE RATE");
    EXPECT_STREQ(probe_accessible_name(native(play)), "PLAY");

    probe_focus(native(compile));
    control_set_disabled(compile, 1);
    control_set_disabled(play, 0);
    EXPECT_EQ(after_a_wait(), play);
    control_set_disabled(play, 1);
    control_set_disabled(compile, 0);
    EXPECT_EQ(after_a_wait(), stop);

    probe_focus(native(about));
    window_create(1962, 150, 150, 490, 350, "Splash", FRAMED);
    picture_create(1962, 10, 10, 470, 330, 0, PICTURE_SUNKEN_EDGE);
    probe_process_pending();
    window_destroy(1962);
    EXPECT_EQ(after_a_wait(), about);
}

} // namespace

int main(int argc, char** argv) {
    probe_start();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
