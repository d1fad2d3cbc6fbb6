// The splash window.  Not shown yet: "ABOUT" returns at once.
#include "shell/shell.h"

int32_t show_splash() {
    return 0;
}
