// The shell over the recording fake: start-up and shutdown order, the window's layout, and the
// commands with their button states, for whichever variant this test is linked with.
#include <gtest/gtest.h>

#include "tests/shell/fake_toolkit.h"
#include "tests/shell/variant_expectations.h"
#include "toolkit/toolkit.h"

using fake::world;
using S = ShellState;

namespace {

class Shell : public ::testing::Test {
  protected:
    void SetUp() override { fake::reset(); }
    void run() {
        ASSERT_EQ(shell_run(), 0);
        EXPECT_FALSE(world.script_ran_out) << "the script should end with a close request";
    }
    static bool disabled(int32_t S::*button) { return fake::find(shell_state.*button)->disabled; }
    static void expect_ready_to_compile() {
        EXPECT_FALSE(disabled(&S::compile_button));
        EXPECT_TRUE(disabled(&S::play_button));
        EXPECT_FALSE(disabled(&S::stop_button));
        EXPECT_FALSE(disabled(&S::about_button));
    }
    static void expect_ready_to_play() {
        EXPECT_TRUE(disabled(&S::compile_button));
        EXPECT_FALSE(disabled(&S::play_button));
        EXPECT_FALSE(disabled(&S::stop_button));
        EXPECT_FALSE(disabled(&S::about_button));
    }
    static size_t count(const std::string& name) {
        size_t n = 0;
        for (const fake::Call& call : world.calls)
            n += call.name == name;
        return n;
    }
};

TEST_F(Shell, StartsUpInOrderAndShutsDownOnClose) {
    fake::close_window();
    fake::event(EVENT_CONTROL, 12345); // never reached: the loop ends with the close request
    run();

    std::vector<std::string> names = fake::call_names();
    // Collapse the building of the window to its first call.
    std::vector<std::string> expected = {
        "toolkit_init",         "set_sound_format", "image_decode_memory", "window_create",
        "control_set_disabled", "sound_init",       "event_wait",          "toolkit_shutdown"};
    std::vector<std::string> got;
    bool in_window = false;
    for (const std::string& name : names) {
        if (name == "window_create") in_window = true;
        if (in_window && name == "control_set_disabled") in_window = false;
        if (in_window && name != "window_create") continue;
        got.push_back(name);
    }
    EXPECT_EQ(got, expected);
    EXPECT_EQ(world.script.size(), 1u);

    const fake::Call& format = world.calls[1];
    EXPECT_EQ(format.args, (std::vector<int64_t>{44100, 16, 1}));
    const fake::Call& logo = world.calls[2];
    EXPECT_EQ(logo.args[0], AUTO_NUMBER);
    EXPECT_EQ(shell_state.logo_image, world.last_image);
    // PLAY is disabled right after the last button is made.
    size_t last_button = 0;
    for (size_t i = 0; i < world.calls.size(); ++i)
        if (world.calls[i].name == "button_create") last_button = i;
    ASSERT_LT(last_button + 1, world.calls.size());
    EXPECT_EQ(world.calls[last_button + 1].name, "control_set_disabled");
    EXPECT_EQ(world.calls[last_button + 1].args,
              (std::vector<int64_t>{shell_state.play_button, 1}));
}

TEST_F(Shell, BuildsTheWindowOnTheGrid) {
    fake::close_window();
    run();

    const fake::Object& window = fake::nth("window", 0);
    EXPECT_EQ(window.handle, shell_state.main_window);
    EXPECT_EQ(world.calls[3].args[0], AUTO_NUMBER);
    EXPECT_EQ((std::vector<int32_t>{window.x, window.y, window.width, window.height}),
              (std::vector<int32_t>{25, 25, 540, 400}));
    EXPECT_EQ(window.flags, 0xC80000u);
    EXPECT_EQ(window.text, std::string(expected::TITLE_START) + std::string(32, ' ') +
                               "www.halvex-tones.example");

    struct Row {
        const char* caption;
        int32_t x, y;
        int32_t S::*caption_field;
        int32_t S::*list_field;
        std::vector<std::string> entries; // empty: the variant's frequency lists
        int32_t default_position;
    };
    const std::vector<Row> rows = {
        {"# OF CHANNELS", 20, 20, &S::channels_caption, &S::channels_list, {"1", "2"}, 0},
        {"SAMPLE RATE",
         190,
         20,
         &S::rate_caption,
         &S::rate_list,
         {"5512", "11025", "22050", "44100"},
         3},
        {"# OF BITS", 360, 20, &S::bits_caption, &S::bits_list, {"8", "16"}, 1},
        {"STYLES",
         20,
         100,
         &S::style_caption,
         &S::style_list,
         {"Sine", "Saw", "Absolute Sine", "SquareWave", "Triangle", "Pink Synth", "Absolute Square",
          "White Noise", "Inverse Sine"},
         0},
        {"FREQUENCY", 190, 100, &S::frequency_caption, &S::frequency_list, expected::frequencies(),
         16},
        {"AMPLITUDE",
         360,
         100,
         &S::amplitude_caption,
         &S::amplitude_list,
         {"0", "5", "10", "15", "20", "25", "30", "35", "40", "45", "50", "60", "70", "80", "90",
          "100"},
         5},
        {"DURATION",
         20,
         180,
         &S::duration_caption,
         &S::duration_list,
         {"1", "2", "4", "8", "12", "16", "24", "32", "64", "128", "256", "512"},
         0},
        {"SWEEP (0 = OFF)", 190, 180, &S::sweep_caption, &S::sweep_list, expected::sweeps(), 0},
        {"FADE IN", 360, 180, &S::fade_in_caption, &S::fade_in_list, {"OFF", "ON"}, 0},
        {"FADE OUT", 20, 260, &S::fade_out_caption, &S::fade_out_list, {"OFF", "ON"}, 0},
    };
    size_t items = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        SCOPED_TRACE(row.caption);
        const fake::Object& label = fake::nth("label", i);
        const fake::Object& list = fake::nth("dropdown", i);
        EXPECT_EQ(label.handle, shell_state.*row.caption_field);
        EXPECT_EQ(list.handle, shell_state.*row.list_field);
        EXPECT_EQ(label.text, row.caption);
        EXPECT_EQ((std::vector<int32_t>{label.x, label.y, label.width, label.height}),
                  (std::vector<int32_t>{row.x, row.y, 160, 20}));
        EXPECT_EQ(label.flags, 0x20001u);
        EXPECT_EQ((std::vector<int32_t>{list.x, list.y, list.width, list.height}),
                  (std::vector<int32_t>{row.x, row.y + 30, 160, 20}));
        EXPECT_EQ(list.items, row.entries);
        EXPECT_EQ(list.state, row.default_position);
        items += list.items.size();
    }
    EXPECT_EQ(items, expected::ITEM_COUNT);

    // Each list is made right after its caption and filled and set before the next caption.
    std::vector<std::string> kinds;
    for (const fake::Call& call : world.calls)
        if (call.name == "label_create" || call.name == "dropdown_create" ||
            call.name == "button_create" || call.name == "control_set_state")
            kinds.push_back(call.name);
    std::vector<std::string> order;
    for (int i = 0; i < 10; ++i)
        order.insert(order.end(), {"label_create", "dropdown_create", "control_set_state"});
    order.insert(order.end(), {"button_create", "button_create", "button_create", "button_create"});
    EXPECT_EQ(kinds, order);

    struct ButtonRow {
        const char* caption;
        int32_t S::*field;
        int32_t x, y, width, height;
    };
    const ButtonRow buttons[] = {{"COMPILE !", &S::compile_button, 190, 260, 330, 50},
                                 {"PLAY", &S::play_button, 20, 340, 160, 40},
                                 {"STOP", &S::stop_button, 190, 340, 160, 40},
                                 {"ABOUT", &S::about_button, 360, 340, 160, 40}};
    for (size_t i = 0; i < 4; ++i) {
        const fake::Object& button = fake::nth("button", i);
        EXPECT_EQ(button.text, buttons[i].caption);
        EXPECT_EQ(button.handle, shell_state.*buttons[i].field);
        EXPECT_EQ((std::vector<int32_t>{button.x, button.y, button.width, button.height}),
                  (std::vector<int32_t>{buttons[i].x, buttons[i].y, buttons[i].width,
                                        buttons[i].height}));
    }
    for (const fake::Call& call : world.calls)
        if (call.name == "window_create" || call.name == "label_create" ||
            call.name == "dropdown_create" || call.name == "button_create") {
            EXPECT_EQ(call.args[0], AUTO_NUMBER) << call.name << " " << call.text;
        }
}

TEST_F(Shell, DefaultCompileRendersTheDefaultTone) {
    fake::click(&S::compile_button);
    fake::close_window();
    run();

    ASSERT_EQ(world.renders.size(), 1u);
    const fake::RenderCall& r = world.renders[0];
    EXPECT_EQ((std::vector<int32_t>{r.rate, r.bytes, r.channels}),
              (std::vector<int32_t>{44100, 2, 1}));
    EXPECT_EQ(r.sound_id, AUTO_NUMBER);
    EXPECT_EQ(r.frequency, expected::DEFAULT_FREQUENCY);
    EXPECT_EQ(r.duration, 1.0f);
    EXPECT_EQ(r.amplitude, 25);
    EXPECT_EQ(r.sweep, 0.0f);
    EXPECT_EQ((std::vector<int32_t>{r.style, r.fade_in, r.fade_out}),
              (std::vector<int32_t>{0, 0, 0}));
    EXPECT_NE(shell_state.current_sound, 0);

    // The lists are read in a fixed order, the format set after the first three.
    std::vector<int64_t> read;
    for (const fake::Call& call : fake::calls_after("event_wait")) {
        if (call.name == "control_get_state") read.push_back(call.args[0]);
        if (call.name == "set_sound_format") read.push_back(0);
        if (call.name == "render_tone") break;
    }
    const ShellState& s = shell_state;
    EXPECT_EQ(read,
              (std::vector<int64_t>{s.channels_list, s.rate_list, s.bits_list, 0, s.amplitude_list,
                                    s.frequency_list, s.duration_list, s.sweep_list, s.fade_in_list,
                                    s.fade_out_list, s.style_list}));
}

// Every entry of every list, one COMPILE each, gives the value of its own row.
TEST_F(Shell, EveryEntryGivesItsOwnValue) {
    struct Case {
        int32_t S::*list;
        std::vector<int32_t> values;
        std::function<int32_t(const fake::RenderCall&)> picked;
    };
    const std::vector<Case> cases = {
        {&S::channels_list, {1, 2}, [](const fake::RenderCall& r) { return r.channels; }},
        {&S::rate_list, {5512, 11025, 22050, 44100}, [](auto& r) { return r.rate; }},
        {&S::bits_list, {1, 2}, [](auto& r) { return r.bytes; }},
        {&S::style_list, {0, 1, 2, 3, 4, 5, 6, 7, 8}, [](auto& r) { return r.style; }},
        {&S::frequency_list, expected::frequency_values(),
         [](auto& r) { return static_cast<int32_t>(r.frequency); }},
        {&S::amplitude_list,
         {0, 5, 10, 15, 20, 25, 30, 35, 40, 45, 50, 60, 70, 80, 90, 100},
         [](auto& r) { return r.amplitude; }},
        {&S::duration_list,
         {1, 2, 4, 8, 12, 16, 24, 32, 64, 128, 256, 512},
         [](auto& r) { return static_cast<int32_t>(r.duration); }},
        {&S::sweep_list, expected::sweep_values(),
         [](auto& r) { return static_cast<int32_t>(r.sweep); }},
        {&S::fade_in_list, {0, 1}, [](auto& r) { return r.fade_in; }},
        {&S::fade_out_list, {0, 1}, [](auto& r) { return r.fade_out; }},
    };
    for (const Case& c : cases) {
        for (size_t p = 0; p < c.values.size(); ++p) {
            fake::select(c.list, static_cast<int32_t>(p));
            fake::click(&S::compile_button);
            fake::click(&S::play_button);
        }
        fake::select(c.list, 0);
    }
    fake::close_window();
    run();

    size_t n = 0;
    for (const Case& c : cases)
        for (int32_t value : c.values) {
            ASSERT_LT(n, world.renders.size());
            EXPECT_EQ(c.picked(world.renders[n]), value) << "render " << n;
            ++n;
        }
    EXPECT_EQ(n, world.renders.size());
    // A whole-number value travels unchanged as a float.
    for (const fake::RenderCall& r : world.renders) {
        EXPECT_EQ(r.frequency, static_cast<float>(static_cast<int32_t>(r.frequency)));
        EXPECT_EQ(r.sweep, static_cast<float>(static_cast<int32_t>(r.sweep)));
    }
}

TEST_F(Shell, CompileAndPlayAlternate) {
    fake::check([] { expect_ready_to_compile(); });
    fake::click(&S::play_button); // disabled: nothing happens
    fake::check([] { EXPECT_EQ(count("sound_play"), 0u); });
    fake::click(&S::compile_button);
    fake::check([] { expect_ready_to_play(); });
    fake::click(&S::compile_button); // disabled
    fake::check([] { EXPECT_EQ(world.renders.size(), 1u); });
    fake::click(&S::stop_button); // changes no button
    fake::check([] { expect_ready_to_play(); });
    fake::click(&S::about_button);
    fake::check([] { expect_ready_to_play(); });
    fake::click(&S::play_button);
    fake::check([] {
        expect_ready_to_compile();
        // COMPILE is disabled while PLAY starts the sound, then enabled again.
        std::vector<std::string> names;
        for (const fake::Call& call : fake::calls_after("sound_exists"))
            if (call.name == "control_set_disabled" || call.name == "sound_play")
                names.push_back(call.name);
        EXPECT_EQ(names,
                  (std::vector<std::string>{"control_set_disabled", "sound_play",
                                            "control_set_disabled", "control_set_disabled"}));
    });
    fake::click(&S::compile_button);
    fake::check([] { expect_ready_to_play(); });
    fake::close_window();
    run();
    EXPECT_EQ(world.renders.size(), 2u);
}

TEST_F(Shell, StopBeforeAnyCompileDoesNothing) {
    fake::click(&S::stop_button);
    fake::close_window();
    run();
    EXPECT_EQ(shell_state.current_sound, 0);
    EXPECT_EQ(count("sound_free"), 0u);
    expect_ready_to_compile();
}

TEST_F(Shell, CompileStopPlayPlaysNothing) {
    fake::click(&S::compile_button);
    fake::click(&S::stop_button);
    fake::click(&S::play_button);
    fake::close_window();
    run();

    const int32_t sound = shell_state.current_sound;
    ASSERT_NE(sound, 0);
    EXPECT_FALSE(world.sounds[sound].loaded);
    EXPECT_FALSE(world.sounds[sound].playing);
    EXPECT_EQ(count("sound_free"), 1u);
    EXPECT_EQ(count("sound_play"), 1u); // asked, but the handle names no sound any more
    expect_ready_to_compile();
}

TEST_F(Shell, SecondCompileLeavesTheFirstSoundPlaying) {
    int32_t first = 0;
    fake::click(&S::compile_button);
    fake::click(&S::play_button);
    fake::check([&] { first = shell_state.current_sound; });
    fake::click(&S::compile_button);
    fake::check([&] {
        ASSERT_NE(shell_state.current_sound, first);
        EXPECT_TRUE(world.sounds[first].playing);
    });
    fake::click(&S::stop_button);
    fake::check([&] {
        EXPECT_TRUE(world.sounds[first].loaded);
        EXPECT_TRUE(world.sounds[first].playing);
        EXPECT_FALSE(world.sounds[shell_state.current_sound].loaded);
    });
    fake::click(&S::stop_button); // the stale handle: nothing more is freed
    fake::close_window();
    run();

    EXPECT_EQ(count("sound_free"), 1u);
    for (const fake::Call& call : world.calls)
        if (call.name == "sound_free") {
            EXPECT_NE(call.args[0], first);
        }
    EXPECT_FALSE(world.sounds[first].loaded); // gone with shutdown
}

TEST_F(Shell, ListEventsAndOtherEventsChangeNothing) {
    fake::click(&S::compile_button);
    fake::click(&S::play_button);
    fake::check([] { world.calls.clear(); });
    fake::select(&S::frequency_list, 0);
    fake::select(&S::style_list, 7);
    fake::select(&S::duration_list, 11);
    for (int32_t code : {EVENT_TIMER, EVENT_MOVE, EVENT_SIZE, EVENT_REPAINT, EVENT_ACTIVATE,
                         EVENT_MENU, EVENT_MINIMIZE, 0x0200})
        fake::event(code, -2);
    fake::event(EVENT_CONTROL, 0);
    fake::event(EVENT_CONTROL, 4242);
    fake::event(EVENT_CONTROL, -2); // the main window's handle
    fake::check([] {
        std::vector<std::string> names = fake::call_names();
        EXPECT_EQ(names, std::vector<std::string>(names.size(), "event_wait"));
        expect_ready_to_compile();
    });
    // PLAY still plays the sound made before the lists changed.
    fake::click(&S::compile_button);
    fake::close_window();
    run();
    ASSERT_EQ(world.renders.size(), 2u);
    EXPECT_EQ(world.renders[1].style, 7);
    EXPECT_EQ(world.renders[1].duration, 512.0f);
}

TEST_F(Shell, AnyCloseRequestEndsTheLoop) {
    fake::click(&S::compile_button);
    fake::click(&S::play_button);
    fake::event(EVENT_CLOSE_WINDOW, 777); // from no window the shell knows
    fake::click(&S::compile_button);
    run();

    EXPECT_EQ(shell_state.quit_requested, 1);
    EXPECT_EQ(world.renders.size(), 1u);
    EXPECT_EQ(world.script.size(), 1u);
    EXPECT_EQ(world.calls.back().name, "toolkit_shutdown");
    // Shutdown stops the sound that was playing.
    EXPECT_FALSE(world.sounds[shell_state.current_sound].playing);
    // The shell frees no window itself: the toolkit does at shutdown.
    EXPECT_EQ(count("window_destroy"), 0u);
}

TEST_F(Shell, FailedRenderLeavesNoSound) {
    int32_t first = 0;
    fake::click(&S::compile_button);
    fake::click(&S::play_button);
    fake::check([&] {
        first = shell_state.current_sound;
        world.render_fails = true;
    });
    fake::click(&S::compile_button);
    fake::check([] {
        EXPECT_EQ(shell_state.current_sound, 0);
        expect_ready_to_play();
    });
    fake::click(&S::stop_button);
    fake::click(&S::play_button);
    fake::close_window();
    run();

    EXPECT_NE(first, 0);
    EXPECT_FALSE(world.sounds[first].loaded); // freed by shutdown alone
    EXPECT_EQ(count("sound_free"), 0u);
    expect_ready_to_compile();
}

// Positions without a row (a list with nothing selected answers -1) keep the last values; an
// unknown style renders nothing and keeps the sound.
TEST_F(Shell, UnknownPositionsKeepThePreviousValues) {
    int32_t first = 0;
    fake::select(&S::amplitude_list, 15);
    fake::select(&S::sweep_list, 3);
    fake::click(&S::compile_button);
    fake::click(&S::play_button);
    fake::check([&] { first = shell_state.current_sound; });
    fake::select(&S::amplitude_list, -1);
    fake::select(&S::sweep_list, 99);
    fake::select(&S::rate_list, 4);
    fake::select(&S::style_list, -1);
    fake::click(&S::compile_button);
    fake::check([&] {
        EXPECT_EQ(shell_state.current_sound, first);
        expect_ready_to_play();
        const ToneParameters& p = shell_state.parameters;
        EXPECT_EQ(p.amplitude, 100);
        EXPECT_EQ(p.sweep, expected::sweep_values()[3]);
        EXPECT_EQ(p.sample_rate, 44100);
        EXPECT_EQ(p.style, -1);
        EXPECT_EQ(world.format[0], 44100);
    });
    fake::select(&S::style_list, 9);
    fake::click(&S::play_button);
    fake::click(&S::compile_button);
    fake::close_window();
    run();
    EXPECT_EQ(world.renders.size(), 1u);
}

TEST_F(Shell, AboutRunsTheWholeSplashEveryTime) {
    fake::click(&S::about_button);
    fake::click(&S::about_button);
    fake::close_window();
    run();
    // The calls of one splash: window 1962, the browser on the home page, the free page (in the
    // programs that open it), a repaint, the logo picture replacing the browser under the same
    // number, a repaint, the pause and the end of the window.
    std::vector<std::string> one = {"window_create", "webview_create"};
    if (expected::OPENS_FREE_PAGE) one.push_back("shell_open_target");
    for (const char* name :
         {"window_native_handle", "window_repaint_now", "image_native_handle", "picture_create",
          "window_native_handle", "window_repaint_now", "sleep_ms", "window_destroy"})
        one.push_back(name);
    std::vector<std::string> seen;
    std::vector<fake::Call> splash;
    bool in_splash = false;
    for (const fake::Call& call : world.calls) {
        if (call.name == "window_create" && !call.args.empty() && call.args[0] == 1962)
            in_splash = true;
        if (!in_splash) continue;
        seen.push_back(call.name);
        splash.push_back(call);
        if (call.name == "window_destroy") in_splash = false;
    }
    std::vector<std::string> twice = one;
    twice.insert(twice.end(), one.begin(), one.end());
    ASSERT_EQ(seen, twice);

    const auto arg = [&](const char* name) -> const fake::Call& {
        for (const fake::Call& call : splash)
            if (call.name == name) return call;
        static const fake::Call none;
        return none;
    };
    EXPECT_EQ(arg("window_create").args,
              (std::vector<int64_t>{1962, 150, 150, 490, 350, 0xC80000}));
    EXPECT_EQ(arg("window_create").text, "www.halvex-tones.example");
    EXPECT_EQ(arg("webview_create").args, (std::vector<int64_t>{1962, 10, 10, 470, 330}));
    EXPECT_EQ(arg("webview_create").text, "http://www.halvex-tones.example");
    if (expected::OPENS_FREE_PAGE) {
        EXPECT_EQ(arg("shell_open_target").text,
                  "http://www.halvex-tones.example/Halvex_Free/index.html");
    }
    EXPECT_EQ(arg("window_native_handle").args, (std::vector<int64_t>{1962}));
    EXPECT_EQ(arg("window_repaint_now").args, (std::vector<int64_t>{0x10000 + 1962}));
    EXPECT_EQ(arg("image_native_handle").args, (std::vector<int64_t>{shell_state.logo_image}));
    EXPECT_EQ(
        arg("picture_create").args,
        (std::vector<int64_t>{1962, 10, 10, 470, 330, 0x20000 - shell_state.logo_image, 0x200}));
    EXPECT_EQ(arg("sleep_ms").args, (std::vector<int64_t>{2500}));
    EXPECT_EQ(arg("window_destroy").args, (std::vector<int64_t>{1962}));
}

} // namespace
