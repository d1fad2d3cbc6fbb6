// Deliverables without process launching: nothing can be started or opened, and nothing in
// them imports the system's ways of starting or waiting for a process.
#include "toolkit/toolkit.h"

#include <windows.h>

int32_t shell_open_target(const char*) {
    return 0;
}

// The C++ runtime's own locks (the unwinder's, thread-local storage) wait on their semaphores
// with WaitForSingleObject.  Here that import is bound to a function of the program's, which
// makes the same wait through WaitForSingleObjectEx, so the program names no single-object
// wait among its imports.  It has to be defined in this object file, which every program
// without launching links, ahead of the runtime libraries that look it up.
namespace {
DWORD WINAPI wait_for_object(HANDLE object, DWORD milliseconds) {
    return WaitForSingleObjectEx(object, milliseconds, FALSE);
}
} // namespace
using WaitFunction = DWORD(WINAPI*)(HANDLE, DWORD);
#if defined(__i386__)
extern "C" const WaitFunction import_wait_for_object asm("__imp__WaitForSingleObject@8");
#else
extern "C" const WaitFunction import_wait_for_object asm("__imp_WaitForSingleObject");
#endif
// A constant address, so the binding is in place before any code of the program runs.
extern "C" constinit const WaitFunction import_wait_for_object = &wait_for_object;
