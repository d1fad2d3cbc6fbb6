// Opening a program, document or web address on Windows.  A target that names a program is
// started with the target, in double quotes, as its command line; anything else (a document,
// or a web address, which is never tried as a program) goes to the shell's default handler.
// Nothing waits for what was started.
#include "toolkit/target_scheme.h"
#include "toolkit/toolkit.h"

#include <windows.h>

#include <shellapi.h>

#include <string>

namespace {
bool start_program(const char* target) {
    std::string command = std::string("\"") + target + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                        nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

bool open_with_shell(const char* target) {
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.lpFile = target;
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExA(&info) != FALSE;
}
} // namespace

int32_t shell_open_target(const char* target) {
    if (!target || !*target) return 0;
    if (!target_has_scheme(target) && start_program(target)) return 1;
    return open_with_shell(target) ? 1 : 0;
}
