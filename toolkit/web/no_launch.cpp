// Deliverables without process launching: nothing can be started or opened.
#include "toolkit/toolkit.h"

int32_t shell_open_target(const char*) {
    return 0;
}
