// The shell on the real toolkit (Qt's offscreen platform): the variant's lists as the user sees
// them, and the splash window, inspected while it pauses.  sleep_ms is wrapped at link time so
// that the test can look at the screen in the middle of the pause.
#include "resources/embedded.h"
#include "shell/shell.h"
#include "synth/wav_image.h"
#include "tests/shell/variant_expectations.h"
#include "toolkit/backend.h"
#include "toolkit/probe.h"
#include "toolkit/toolkit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;

// The linker's names for the real sleep_ms and its wrapper (the mangled name of
// sleep_ms(int32_t) is _Z8sleep_msi).
extern "C" void __real__Z8sleep_msi(int32_t milliseconds);

namespace {
std::function<void()> during_sleep;
} // namespace

extern "C" void __wrap__Z8sleep_msi(int32_t milliseconds) {
    if (during_sleep) during_sleep();
    __real__Z8sleep_msi(milliseconds);
}

namespace {
class Desktop : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // A stand-in for the desktop's handler, first on PATH, records what it is handed.
        dir_ = fs::temp_directory_path() / ("desktop-test-" + std::to_string(getpid()));
        fs::create_directories(dir_);
        std::ofstream(dir_ / "xdg-open")
            << "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"" << (dir_ / "opened.log").string() << "\"\n";
        fs::permissions(dir_ / "xdg-open", fs::perms::owner_all);
        old_path_ = std::getenv("PATH");
        setenv("PATH", (dir_.string() + ":" + old_path_).c_str(), 1);
        std::memset(&shell_state, 0, sizeof shell_state);
        toolkit_init();
        shell_state.logo_image =
            int32_t(image_decode_memory(AUTO_NUMBER, logo_png_data(), logo_png_size()));
        build_main_window();
        during_sleep = nullptr;
    }
    void TearDown() override {
        toolkit_shutdown();
        setenv("PATH", old_path_.c_str(), 1);
        fs::remove_all(dir_);
    }

    // What the stand-in was handed, one line per argument, after giving it time to run.
    std::string opened() {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        std::ifstream in(dir_ / "opened.log");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path dir_;
    std::string old_path_;

    static std::vector<std::string> items(int32_t list) {
        std::vector<std::string> out;
        const NativeHandle native = toolkit_control_native(list);
        for (int32_t i = 0;; ++i) {
            const std::string text = probe_list_item(native, i);
            if (text.empty()) return out;
            out.push_back(text);
        }
    }
};

TEST_F(Desktop, TheFrequencyListsAreTheVariants) {
    EXPECT_NE(shell_state.logo_image, 0);
    EXPECT_EQ(items(shell_state.frequency_list), expected::frequencies());
    EXPECT_EQ(items(shell_state.sweep_list), expected::sweeps());
    EXPECT_EQ(control_get_state(shell_state.frequency_list), 16);
    EXPECT_EQ(control_get_state(shell_state.sweep_list), 0);
    EXPECT_EQ(std::string(probe_text(window_native_handle(shell_state.main_window))),
              std::string(expected::TITLE_START) + std::string(32, ' ') + HOST_NAME);
}

TEST_F(Desktop, SplashShowsTheLogoPausesAndLeavesNothingBehind) {
    const NativeHandle compile = toolkit_control_native(shell_state.compile_button);
    bool looked = false;
    during_sleep = [&] {
        looked = true;
        const NativeHandle window = window_native_handle(1962);
        ASSERT_NE(window, 0);
        ProbeRect frame{}, client{};
        ASSERT_TRUE(probe_geometry(window, &frame, &client));
        EXPECT_EQ(frame.x, 150);
        EXPECT_EQ(frame.y, 150);
        EXPECT_EQ(client.width, 490);
        EXPECT_EQ(client.height, 350);
        EXPECT_EQ(std::string(probe_text(window)), HOST_NAME);
        EXPECT_TRUE(probe_visible(window));

        // The picture holds number 1962 in place of the browser control.
        const NativeHandle picture = toolkit_control_native(1962);
        ASSERT_NE(picture, 0);
        ASSERT_TRUE(probe_geometry(picture, &frame, &client));
        EXPECT_EQ(frame.x, 10);
        EXPECT_EQ(frame.y, 10);
        EXPECT_EQ(frame.width, 474);
        EXPECT_EQ(frame.height, 334);
        int32_t w = 0, h = 0;
        EXPECT_TRUE(probe_picture_pixmap(picture, &w, &h));
        EXPECT_EQ(w, 470);
        EXPECT_EQ(h, 330);

        // A user's click and a close request made now wait until the pause is over.
        probe_post_key_click(compile);
        probe_post_close_request(window);
    };
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(show_splash(), 0);
    const auto spent = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(looked);
    EXPECT_GE(spent, std::chrono::milliseconds(2500));
    EXPECT_LT(spent, std::chrono::milliseconds(3500));
    EXPECT_EQ(window_native_handle(1962), 0);
    EXPECT_EQ(toolkit_control_native(1962), 0);

    // The click arrives afterwards; the closed splash window's request went with it.
    int32_t code = 0;
    for (int i = 0; i < 50 && code != EVENT_CONTROL; ++i) {
        probe_post_wakeup();
        code = event_wait();
        EXPECT_NE(code, EVENT_CLOSE_WINDOW);
    }
    EXPECT_EQ(code, EVENT_CONTROL);
    EXPECT_EQ(event_source_control(), shell_state.compile_button);
}

TEST_F(Desktop, EverySplashIsANewWindowAndOpensThePageAgain) {
    int32_t shown = 0;
    during_sleep = [&] { shown += window_native_handle(1962) != 0; };
    show_splash();
    show_splash();
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(window_native_handle(1962), 0);
    const std::string page = std::string(FREE_PAGE_ADDRESS) + "\n";
    EXPECT_EQ(opened(), expected::OPENS_FREE_PAGE ? page + page : "");
}
// "COMPILE !" makes, in either program, the image varnok-render makes for the same tone.
TEST_F(Desktop, CompileMakesTheRenderersImage) {
    const auto pick = [](int32_t list, const std::string& entry) {
        const auto all = items(list);
        const auto at = std::find(all.begin(), all.end(), entry);
        ASSERT_NE(at, all.end()) << entry;
        control_set_state(list, int32_t(at - all.begin()));
    };
    const ShellState& s = shell_state;
    pick(s.channels_list, "2");
    pick(s.rate_list, "22050");
    pick(s.bits_list, "8");
    pick(s.style_list, "Triangle");
    pick(s.frequency_list, "31,5");
    pick(s.amplitude_list, "70");
    pick(s.duration_list, "2");
    pick(s.sweep_list, "6300");
    pick(s.fade_in_list, "ON");
    on_compile();
    const uint8_t* image = prepare_wav_image(-1);
    ASSERT_NE(image, nullptr);
    const std::string compiled(reinterpret_cast<const char*>(image), wav_image_size());

    const fs::path file = dir_ / "rendered.wav";
    const std::string command = std::string(VARNOK_RENDER) +
                                " --channels 2 --rate 22050 --bits 8 --style Triangle"
                                " --frequency 31 --amplitude 70 --duration 2 --sweep 6300"
                                " --fade-in --output " +
                                file.string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(file, std::ios::binary);
    std::stringstream rendered;
    rendered << in.rdbuf();
    EXPECT_EQ(compiled.size(), 88244u);
    EXPECT_TRUE(compiled == rendered.str());
}

} // namespace
