// Opening a program, document or web address on a POSIX desktop.  A target without a scheme is
// first started as a program (searched on PATH, with the target as its only argument); a web
// address, or a target that no program answers to, goes to the desktop's default handler,
// xdg-open.  A web address is never tried as a program: "http://host/path" would otherwise name
// ./http:/host/path, and whatever sits there would run.  Both are
// started with an argument vector, never through a shell, so no character of the target is
// interpreted.  Nothing waits for what was started: a detached thread reaps it, so no zombie
// is left behind.
#include "toolkit/target_scheme.h"
#include "toolkit/toolkit.h"

#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>

#include <thread>

extern char** environ;

namespace {
bool spawn_detached(const char* program, char* const argv[]) {
    pid_t pid = 0;
    if (posix_spawnp(&pid, program, nullptr, nullptr, argv, environ) != 0) return false;
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}
} // namespace

int32_t shell_open_target(const char* target) {
    if (!target || !*target) return 0;
    char* as_program[] = {const_cast<char*>(target), nullptr};
    if (!target_has_scheme(target) && spawn_detached(target, as_program)) return 1;
    char opener[] = "xdg-open";
    char* with_handler[] = {opener, const_cast<char*>(target), nullptr};
    return spawn_detached(opener, with_handler) ? 1 : 0;
}
