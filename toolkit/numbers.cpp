// The handles of every kind of numbered object, from one counter.
#include "toolkit/numbers.h"

#include <climits>

namespace {
int32_t handle_counter = -1;
} // namespace

int32_t number_new_handle() {
    if (handle_counter == INT32_MIN) return 0;
    return --handle_counter;
}
