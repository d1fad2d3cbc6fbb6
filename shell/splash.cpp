// The splash window: the maker's logo in a window of its own for two and a half seconds, while
// the system opens the maker's free-products page (in the programs that open it).  Nothing is
// handled meanwhile; the window and its control are gone when the call returns.
#include "shell/shell.h"
#include "toolkit/toolkit.h"
#include "variants/variant_profile.h"

namespace {
constexpr int32_t SPLASH_NUMBER = 1962; // the window and both of its controls
constexpr int32_t SPLASH_DELAY_MS = 2500;
} // namespace

int32_t show_splash() {
    window_create(SPLASH_NUMBER, 150, 150, 490, 350, HOST_NAME, WINDOW_CAPTION | WINDOW_SYSMENU);
    webview_create(SPLASH_NUMBER, 10, 10, 470, 330, HOME_PAGE_ADDRESS);
    if (variant_profile().opens_free_page) shell_open_target(FREE_PAGE_ADDRESS);
    window_repaint_now(window_native_handle(SPLASH_NUMBER));
    // The picture takes the browser control's number, which destroys the browser control.
    picture_create(SPLASH_NUMBER, 10, 10, 470, 330, image_native_handle(shell_state.logo_image),
                   PICTURE_SUNKEN_EDGE);
    window_repaint_now(window_native_handle(SPLASH_NUMBER));
    sleep_ms(SPLASH_DELAY_MS);
    window_destroy(SPLASH_NUMBER);
    return 0;
}
