// The shell on the real window toolkit (Qt's offscreen platform), driven as a user drives it:
// each step of a script runs when the shell next waits for an event (the toolkit's seams stand
// in for event_wait), clicks are posted to the buttons, and what reaches the sound device is
// recorded by a driver of the test's own.  sleep_ms goes through a seam too, so that the
// splash window can be looked at in the middle of its pause.
#include "shell/shell.h"
#include "synth/sound_format.h"
#include "synth/tone.h"
#include "synth/wav_image.h"
#include "toolkit/backend.h"
#include "toolkit/probe.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

using S = ShellState;

namespace {

// The variant the test is built as (SHELL_TEST_ZEMBRA), written out by hand so that the test
// does not read the profile it checks: the title up to the gap before the host name, how many
// of the frequencies below it leaves out at the start, and whether ABOUT opens the free page.
struct Variant {
    const char* title_start;
    size_t frequencies_left_out;
    bool opens_free_page;
};
constexpr Variant VARIANTS[] = {{"VARNOK V 1.3  (32 Bit)", 0, true},
                                {"ZEMBRA V 1.2  (32 Bit)", 5, false}};
constexpr Variant VARIANT = VARIANTS[SHELL_TEST_ZEMBRA];
const std::vector<std::string> FREQUENCIES = {
    "8",    "10",   "12.5", "16",   "20",    "25",    "31,5",  "40",   "50",
    "63",   "80",   "100",  "125",  "160",   "200",   "250",   "315",  "400",
    "500",  "630",  "800",  "1000", "1250",  "1600",  "2000",  "2500", "3150",
    "4000", "5000", "6300", "8000", "10000", "12500", "16000", "20000"};

// What the sound device was handed: one record per buffer.
struct Heard {
    PcmFormat format;
    size_t hash;
    int plays = 0;
    bool released = false;
};
// One test's world, made anew for each: the user's script (each step returns the toolkit event
// it makes the shell wait for, 0 for none), and what the shell and the device did.
struct World {
    std::vector<std::function<int32_t()>> script;
    size_t next_step = 0;
    int32_t stray_close_requests = 0;
    std::function<void()> during_sleep;
    std::vector<Heard> heard;
    bool device_refuses = false;
} w;

size_t hash(const void* data, size_t size) {
    return std::hash<std::string_view>()({static_cast<const char*>(data), size});
}
const AudioDriver recorder = {
    .open = [] { return true; },
    .buffer_create = [](const PcmFormat& format, const void* data, size_t size) -> NativeHandle {
        if (w.device_refuses) return 0;
        w.heard.push_back({format, hash(data, size)});
        return NativeHandle(w.heard.size());
    },
    .play = [](NativeHandle b, bool, int32_t) { return ++w.heard.at(b - 1).plays > 0; },
    .buffer_release = [](NativeHandle b) { w.heard.at(b - 1).released = true; },
    .close = [] {},
    .playing =
        [](NativeHandle b) { return w.heard.at(b - 1).plays > 0 && !w.heard.at(b - 1).released; },
};

} // namespace

int32_t sound_init() {
    return sound_service_start(&recorder);
}

namespace {

int32_t scripted_wait() {
    int32_t awaited = 0;
    while (awaited == 0 && w.next_step < w.script.size())
        awaited = w.script[w.next_step++]();
    if (awaited == 0) {
        probe_post_close_request(window_native_handle(shell_state.main_window));
        awaited = EVENT_CLOSE_WINDOW;
    }
    for (int32_t code; (code = toolkit_event_wait_itself()) != awaited;)
        w.stray_close_requests += code == EVENT_CLOSE_WINDOW;
    return awaited;
}

void observed_sleep(int32_t milliseconds) {
    if (w.during_sleep) w.during_sleep();
    toolkit_sleep_itself(milliseconds);
}

const ToolkitSeams script_seams = {.event_wait = scripted_wait, .sleep_ms = observed_sleep};

NativeHandle native(int32_t S::*control) {
    return toolkit_control_native(shell_state.*control);
}
bool enabled(int32_t S::*button) {
    return probe_enabled(native(button));
}
// Where a window or control is: its frame's corner and its client area's size (for a control
// both are its rectangle in the window).
std::vector<int32_t> place(NativeHandle widget) {
    ProbeRect frame{}, client{};
    EXPECT_TRUE(probe_geometry(widget, &frame, &client));
    return {frame.x, frame.y, client.width, client.height};
}
// What the user can see and hear: C and P for COMPILE and PLAY enabled ("!" when STOP or ABOUT
// is not), then for each sound the device was handed the times it was played and "r" once it
// was released.
std::string seen() {
    std::string out = std::string(enabled(&S::compile_button) ? "C" : "") +
                      (enabled(&S::play_button) ? "P" : "") +
                      (enabled(&S::stop_button) && enabled(&S::about_button) ? "" : "!");
    for (const Heard& h : w.heard)
        out += " " + std::to_string(h.plays) + (h.released ? "r" : "");
    return out;
}

// A user's click: a disabled button ignores it, as the window system would.
void click(int32_t S::*button) {
    w.script.push_back([button] {
        if (!enabled(button)) return 0;
        probe_post_key_click(native(button));
        return int32_t(EVENT_CONTROL);
    });
}
void check(std::function<void()> f) {
    w.script.push_back([f] {
        f();
        return 0;
    });
}
void choose(int32_t S::*list, int32_t position) {
    check([=] { control_set_state(shell_state.*list, position); });
}
void run() {
    ASSERT_EQ(shell_run(), 0);
    EXPECT_EQ(w.next_step, w.script.size());
    EXPECT_EQ(w.stray_close_requests, 0);
}

class Shell : public ::testing::Test {
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        w = World{};
        toolkit_install_seams(&script_seams);
    }
};

// A tone as the lists describe it.
struct Tone {
    int32_t channels, rate, bytes, style, frequency, amplitude, duration, sweep, fade_in, fade_out;
};

// The ten lists: caption and its place, default position, entries and the value of each.
struct List {
    const char* caption;
    int32_t x, y;
    int32_t S::*caption_field, S::*list_field;
    int32_t Tone::*value_field;
    int32_t default_position;
    std::vector<std::string> entries;
    std::vector<int32_t> values = {}; // empty: the whole number each entry starts with
};
std::vector<List> lists() {
    std::vector<std::string> sweeps = {"OFF"};
    sweeps.insert(sweeps.end(), FREQUENCIES.begin() + VARIANT.frequencies_left_out,
                  FREQUENCIES.end());
    // clang-format off
    std::vector<List> rows = {
        {"# OF CHANNELS", 20, 20, &S::channels_caption, &S::channels_list, &Tone::channels, 0, {"1", "2"}},
        {"SAMPLE RATE", 190, 20, &S::rate_caption, &S::rate_list, &Tone::rate, 3, {"5512", "11025", "22050", "44100"}},
        {"# OF BITS", 360, 20, &S::bits_caption, &S::bits_list, &Tone::bytes, 1, {"8", "16"}, {1, 2}},
        {"STYLES", 20, 100, &S::style_caption, &S::style_list, &Tone::style, 0,
         {"Sine", "Saw", "Absolute Sine", "SquareWave", "Triangle", "Pink Synth", "Absolute Square",
          "White Noise", "Inverse Sine"}, {0, 1, 2, 3, 4, 5, 6, 7, 8}},
        {"FREQUENCY", 190, 100, &S::frequency_caption, &S::frequency_list, &Tone::frequency, 16, {sweeps.begin() + 1, sweeps.end()}},
        {"AMPLITUDE", 360, 100, &S::amplitude_caption, &S::amplitude_list, &Tone::amplitude, 5,
         {"0", "5", "10", "15", "20", "25", "30", "35", "40", "45", "50", "60", "70", "80", "90", "100"}},
        {"DURATION", 20, 180, &S::duration_caption, &S::duration_list, &Tone::duration, 0,
         {"1", "2", "4", "8", "12", "16", "24", "32", "64", "128", "256", "512"}},
        {"SWEEP (0 = OFF)", 190, 180, &S::sweep_caption, &S::sweep_list, &Tone::sweep, 0, sweeps},
        {"FADE IN", 360, 180, &S::fade_in_caption, &S::fade_in_list, &Tone::fade_in, 0, {"OFF", "ON"}, {0, 1}},
        {"FADE OUT", 20, 260, &S::fade_out_caption, &S::fade_out_list, &Tone::fade_out, 0, {"OFF", "ON"}, {0, 1}},
    };
    // clang-format on
    for (List& row : rows)
        for (size_t i = row.values.size(); i < row.entries.size(); ++i)
            row.values.push_back(std::atoi(row.entries[i].c_str()));
    return rows;
}

// The tone of every entry of every list, one COMPILE and PLAY each: the bytes the device is
// handed are the renderer's for the entry's value, everything else as chosen before.
TEST_F(Shell, EveryEntryPlaysTheToneOfItsValue) {
    // Each case puts its list back at its default entry; the tones expected, in order.
    Tone now;
    for (const List& c : lists())
        now.*c.value_field = c.values[c.default_position];
    std::vector<Tone> tones;
    for (const List& c : lists()) {
        for (size_t p = 0; p < c.values.size(); ++p) {
            choose(c.list_field, int32_t(p));
            click(&S::compile_button);
            click(&S::play_button);
            now.*c.value_field = c.values[p];
            tones.push_back(now);
        }
        choose(c.list_field, c.default_position);
        now.*c.value_field = c.values[c.default_position];
    }
    run();

    ASSERT_EQ(w.heard.size(), tones.size());
    for (size_t i = 0; i < tones.size(); ++i) {
        const Tone& t = tones[i];
        SCOPED_TRACE(testing::Message() << "tone " << i);
        EXPECT_EQ((std::vector{w.heard[i].format.channels, w.heard[i].format.bits,
                               w.heard[i].format.rate}),
                  (std::vector{t.channels, 8 * t.bytes, t.rate}));
        EXPECT_EQ(w.heard[i].plays, 1);
        if (t.style == STYLE_WHITE_NOISE) continue; // its bytes follow the generator's state
        set_sound_format(t.rate, t.bytes, t.channels);
        ASSERT_EQ(fill_tone(float(t.frequency), float(t.duration), t.amplitude, float(t.sweep),
                            t.style, t.fade_in, t.fade_out),
                  FillResult::filled);
        const uint8_t* image = prepare_wav_image(float(IMAGE_QUERY_ADDRESS));
        EXPECT_EQ(w.heard[i].hash, hash(image + 44, le_u32(image + 40)));
    }
}

// The window as built: every caption and button with its text and place, every list with its
// place, entries and default, nothing heard and only COMPILE of COMPILE and PLAY enabled.  Then
// COMPILE and PLAY enable each other; STOP silences the latest sound for good, and a second
// COMPILE leaves an earlier sound playing until shutdown.  A COMPILE that makes no sound (no
// style selected, or the device refuses it) leaves PLAY with the sound before or with nothing;
// positions without an entry keep the last values.
TEST_F(Shell, TheWindowAsBuiltAndCompilePlayAndStopKeepTheLatestSoundOrNone) {
    check([] {
        std::vector<std::tuple<NativeHandle, std::string, std::vector<int32_t>>> shown = {
            {window_native_handle(shell_state.main_window),
             VARIANT.title_start + std::string(32, ' ') + HOST_NAME,
             {25, 25, 540, 400}},
            {native(&S::compile_button), "COMPILE !", {190, 260, 330, 50}},
            {native(&S::play_button), "PLAY", {20, 340, 160, 40}},
            {native(&S::stop_button), "STOP", {190, 340, 160, 40}},
            {native(&S::about_button), "ABOUT", {360, 340, 160, 40}}};
        for (const List& row : lists()) {
            shown.push_back({native(row.caption_field), row.caption, {row.x, row.y, 160, 20}});
            shown.push_back({native(row.list_field), "", {row.x, row.y + 30, 160, 20}});
            // The entries, and nothing after them.
            for (size_t i = 0; i <= row.entries.size(); ++i)
                EXPECT_EQ(probe_list_item(native(row.list_field), int32_t(i)),
                          i < row.entries.size() ? row.entries[i] : "");
            EXPECT_EQ(control_get_state(shell_state.*row.list_field), row.default_position);
        }
        for (const auto& [widget, text, where] : shown) {
            EXPECT_EQ(probe_text(widget), text);
            EXPECT_EQ(place(widget), where) << text;
        }
        EXPECT_EQ(seen(), "C");
    });
    click(&S::play_button); // disabled: nothing to play yet
    click(&S::stop_button); // nothing to stop
    check([] { EXPECT_EQ(seen(), "C"); });
    click(&S::compile_button);
    click(&S::compile_button); // disabled
    check([] { EXPECT_EQ(seen(), "P 0"); });
    click(&S::play_button);
    check([] { EXPECT_EQ(seen(), "C 1"); });
    click(&S::compile_button);
    click(&S::play_button);
    click(&S::stop_button);
    click(&S::stop_button);
    check([] { EXPECT_EQ(seen(), "C 1 1r"); });
    click(&S::compile_button);
    click(&S::stop_button);
    click(&S::play_button); // the handle names no sound any more
    check([] { EXPECT_EQ(seen(), "C 1 1r 0r"); });
    choose(&S::amplitude_list, 15);
    click(&S::compile_button);
    click(&S::play_button);
    choose(&S::amplitude_list, -1);
    choose(&S::style_list, -1);
    click(&S::compile_button);
    check([] { EXPECT_EQ(shell_state.parameters.amplitude, 100); });
    check([] { EXPECT_EQ(seen(), "P 1 1r 0r 1"); });
    click(&S::play_button); // the sound made before
    check([] { EXPECT_EQ(seen(), "C 1 1r 0r 2"); });
    choose(&S::style_list, 0);
    check([] { w.device_refuses = true; });
    click(&S::compile_button);
    click(&S::play_button);
    click(&S::stop_button);
    check([] { EXPECT_EQ(seen(), "C 1 1r 0r 2"); });
    run();
    EXPECT_EQ(seen(), "! 1r 1r 0r 2r") << "shutdown frees the sounds still playing";
}

// Each ABOUT shows the logo in a new window for two and a half seconds, holds a click and a
// close request made meanwhile, leaves nothing behind, and opens the free page where the
// variant does.
TEST_F(Shell, EverySplashShowsTheLogoPausesAndLeavesNothingBehind) {
    // A stand-in for the desktop's opener, first on PATH, records what it is handed.
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("shell-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "xdg-open") << "#!/bin/sh\necho \"$@\" >>" << dir / "log";
    std::filesystem::permissions(dir / "xdg-open", std::filesystem::perms::owner_all);
    setenv("PATH", (dir.string() + ":" + std::getenv("PATH")).c_str(), 1);

    int32_t shown = 0;
    w.during_sleep = [&] {
        const NativeHandle window = window_native_handle(1962);
        ASSERT_NE(window, 0);
        ++shown;
        EXPECT_EQ(place(window), (std::vector{150, 150, 490, 350}));
        EXPECT_EQ(std::string(probe_text(window)), HOST_NAME);
        EXPECT_TRUE(probe_visible(window));
        // The picture holds number 1962 in place of the browser control.
        const NativeHandle picture = toolkit_control_native(1962);
        EXPECT_EQ(place(picture), (std::vector{10, 10, 474, 334}));
        int32_t w = 0, h = 0;
        EXPECT_TRUE(probe_picture_pixmap(picture, &w, &h));
        EXPECT_EQ((std::vector{w, h}), (std::vector{470, 330}));
        if (shown > 1) return;
        probe_post_key_click(native(&S::compile_button));
        probe_post_close_request(window);
    };
    std::chrono::steady_clock::time_point start;
    check([&] { start = std::chrono::steady_clock::now(); });
    click(&S::about_button);
    // The held click comes next; the closed splash window's request went with it.  Without a
    // splash nothing is awaited, so that the test fails rather than waits for ever.
    w.script.push_back([&] {
        const auto spent = std::chrono::steady_clock::now() - start;
        EXPECT_GE(spent, std::chrono::milliseconds(2500));
        EXPECT_LT(spent, std::chrono::milliseconds(3500));
        EXPECT_EQ(window_native_handle(1962), 0);
        EXPECT_EQ(toolkit_control_native(1962), 0);
        return shown ? int32_t(EVENT_CONTROL) : 0;
    });
    check([] { EXPECT_EQ(seen(), "P 0"); }); // the held click compiled
    click(&S::about_button);
    run();
    EXPECT_EQ(shown, 2);
    // Each splash's pause gave the stand-in its time to run.
    std::ifstream log(dir / "log");
    const std::string page = std::string(FREE_PAGE_ADDRESS) + "\n";
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(log), {}),
              VARIANT.opens_free_page ? page + page : "");
    std::filesystem::remove_all(dir);
}

} // namespace
