// The window core's own rules (numbers, the current parent, reuse of a static number, stale
// handles, the event queue, the order of the end), over a backend that records what it is asked
// to do and stands for any platform.
#include "test_files.h"
#include "toolkit/backend.h"
#include "toolkit/toolkit.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace {

struct Recorder {
    std::vector<std::string> log;
    NativeHandle next = 0x1000;
    // What the next wait_and_dispatch reports through toolkit_post_event.
    struct Post {
        int32_t code;
        EventSource kind;
        int32_t source;
        EventDelivery delivery;
    };
    std::deque<std::vector<Post>> dispatches;
};
Recorder rec;

NativeHandle made(const std::string& what) {
    rec.log.push_back(what + " " + std::to_string(rec.next));
    return rec.next++;
}
void note(const std::string& what, NativeHandle h) {
    rec.log.push_back(what + " " + std::to_string(h));
}

const WindowBackend recording = {
    [](int32_t, int32_t, int32_t, int32_t, int32_t, const char*, uint32_t) {
        return made("window");
    },
    [](NativeHandle w) { note("destroy window", w); },
    [](NativeHandle, const ControlRequest&) { return made("control"); },
    [](NativeHandle c) { note("destroy control", c); },
    [](NativeHandle, int32_t, const char*) { return int32_t(1); },
    [](NativeHandle, int32_t) { return int32_t(1); },
    [](NativeHandle) { return int32_t(-1); },
    [](NativeHandle, bool) {},
    [](const DecodedImage&) { return made("image"); },
    [](NativeHandle i) { note("destroy image", i); },
    [] {
        const std::vector<Recorder::Post> posts =
            rec.dispatches.empty() ? std::vector<Recorder::Post>{} : rec.dispatches.front();
        if (!rec.dispatches.empty()) rec.dispatches.pop_front();
        for (const auto& p : posts)
            toolkit_post_event(p.code, p.kind, p.source, p.delivery);
        return int32_t(0x8000);
    },
    [](int32_t) {},
    [](NativeHandle) {},
    [] { rec.log.push_back("backend shutdown"); },
};

class WindowCore : public ::testing::Test {
  protected:
    void SetUp() override {
        rec = Recorder{};
        toolkit_core_start(&recording);
    }
    void TearDown() override { toolkit_shutdown(); }
    int32_t window(int32_t number = AUTO_NUMBER) {
        return int32_t(window_create(number, 0, 0, 100, 100, "w", 0xC80000));
    }
    static void dispatch(std::vector<Recorder::Post> posts) {
        rec.dispatches.push_back(std::move(posts));
    }
};

constexpr auto C = EventSource::Control;
constexpr auto W = EventSource::Window;
constexpr auto NOW = EventDelivery::Immediate;
constexpr auto LATER = EventDelivery::Queued;

TEST_F(WindowCore, HandlesAreFreshAndStaticNumbersGiveNativeHandles) {
    const int32_t a = window(), b = window();
    EXPECT_LT(a, -1);
    EXPECT_LT(b, -1);
    EXPECT_NE(a, b);
    const intptr_t native = window_create(1962, 0, 0, 10, 10, "s", 0);
    EXPECT_EQ(window_native_handle(1962), native);
    // The same number names a control of its own.
    const intptr_t control = button_create(1962, 0, 0, 10, 10, "b");
    EXPECT_NE(control, native);
    EXPECT_EQ(toolkit_control_native(1962), control);
    EXPECT_EQ(window_destroy(a), 1);
    EXPECT_EQ(window_destroy(a), 0);
    for (int i = 0; i < 5; ++i)
        EXPECT_NE(window(), a);
    EXPECT_EQ(window_create(-5, 0, 0, 10, 10, "", 0), 0);
}

TEST_F(WindowCore, ReusingAStaticNumberDestroysTheOldObjectAndItsControls) {
    const intptr_t first = window_create(7, 0, 0, 10, 10, "one", 0);
    const int32_t list = int32_t(dropdown_create(AUTO_NUMBER, 0, 0, 10, 10));
    const intptr_t second = window_create(7, 0, 0, 10, 10, "two", 0);
    EXPECT_NE(second, first);
    EXPECT_EQ(window_native_handle(7), second);
    EXPECT_EQ(control_add_item(list, -1, "x"), 0);
    const std::vector<std::string> expected = {"window 4096", "control 4097",
                                               "destroy control 4097", "destroy window 4096",
                                               "window 4098"};
    EXPECT_EQ(rec.log, expected);
}

TEST_F(WindowCore, ValuesThatNameNothingDoNothing) {
    EXPECT_EQ(button_create(AUTO_NUMBER, 0, 0, 10, 10, "no window yet"), 0);
    const int32_t w = window();
    const int32_t button = int32_t(button_create(AUTO_NUMBER, 0, 0, 10, 10, "b"));
    const int32_t list = int32_t(dropdown_create(AUTO_NUMBER, 0, 0, 10, 10));
    EXPECT_EQ(control_add_item(button, -1, "a button has no items"), 0);
    EXPECT_EQ(control_get_state(list), -1);
    for (int32_t value : {0, -1, 12345, w})
        EXPECT_EQ(control_get_state(value), 0) << value;
    EXPECT_EQ(window_destroy(w), 1);
    EXPECT_EQ(control_set_disabled(button, 1), 0);
    EXPECT_EQ(control_get_state(list), 0);
    EXPECT_EQ(window_native_handle(0), 0);
    EXPECT_EQ(image_native_handle(-2), 0);
    // The destroyed window was the current parent: none until the next window.
    EXPECT_EQ(label_create(AUTO_NUMBER, 0, 0, 10, 10, "L", 0), 0);
    window();
    EXPECT_NE(label_create(AUTO_NUMBER, 0, 0, 10, 10, "L", 0), 0);
}

TEST_F(WindowCore, EventsKeepTheirOrderAndKindOfDelivery) {
    window(3);
    const int32_t list = 5, button = 6;
    dropdown_create(list, 0, 0, 10, 10);
    button_create(button, 0, 0, 10, 10, "b");
    // A click is the answer of the wait that dispatched it; a list change comes one wait later,
    // and a change equal to the newest queued one is not queued again.
    dispatch({{EVENT_CONTROL, C, list, LATER}, {EVENT_CONTROL, C, list, LATER}});
    dispatch({{EVENT_CONTROL, C, button, NOW}, {EVENT_CLOSE_WINDOW, W, 3, NOW}});
    dispatch({});
    EXPECT_EQ(event_wait(), 0x8000);
    EXPECT_EQ(event_wait(), EVENT_CONTROL);
    EXPECT_EQ(event_source_control(), list);
    EXPECT_EQ(event_wait(), EVENT_CONTROL);
    EXPECT_EQ(event_source_control(), button);
    // The second immediate event of one dispatch waits its turn.
    EXPECT_EQ(event_wait(), EVENT_CLOSE_WINDOW);
    EXPECT_EQ(event_source_control(), 3);
    EXPECT_EQ(event_wait(), 0x8000);
    // Events raised outside a wait are queued.
    toolkit_post_event(EVENT_CONTROL, C, button, NOW);
    EXPECT_EQ(event_wait(), EVENT_CONTROL);
}

TEST_F(WindowCore, DestroyedObjectsTakeTheirQueuedEventsWithThem) {
    window(3);
    dropdown_create(5, 0, 0, 10, 10);
    dropdown_create(6, 0, 0, 10, 10);
    toolkit_post_event(EVENT_CONTROL, C, 5, LATER);
    toolkit_post_event(EVENT_CONTROL, C, 6, LATER);
    toolkit_post_event(EVENT_CLOSE_WINDOW, W, 3, NOW);
    dropdown_create(5, 0, 0, 10, 10); // the number is reused
    EXPECT_EQ(event_wait(), EVENT_CONTROL);
    EXPECT_EQ(event_source_control(), 6);
    EXPECT_EQ(event_wait(), EVENT_CLOSE_WINDOW);
    toolkit_post_event(EVENT_CLOSE_WINDOW, W, 3, NOW);
    toolkit_post_event(EVENT_CONTROL, C, 6, LATER);
    window_destroy(3);
    EXPECT_EQ(event_wait(), 0x8000);
}

TEST_F(WindowCore, ShutdownEndsWindowsBeforeTheBackendAndImagesLast) {
    window();
    button_create(AUTO_NUMBER, 0, 0, 10, 10, "b");
    const Bytes bmp = make_bmp(2, 2);
    ASSERT_NE(image_decode_memory(AUTO_NUMBER, bmp.data(), bmp.size()), 0);
    rec.log.clear();
    toolkit_shutdown();
    const std::vector<std::string> expected = {"destroy control 4097", "destroy window 4096",
                                               "backend shutdown", "destroy image 4098"};
    EXPECT_EQ(rec.log, expected);
    toolkit_core_start(&recording);
}

} // namespace
