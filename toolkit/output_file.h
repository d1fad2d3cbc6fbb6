// A program's output file, complete or absent.  What is written goes to a new file beside the
// target, which takes the target's place only when complete: the target keeps its old contents
// until then, and a failed write, a kill or a file size limit leaves nothing behind.  A new
// target gets the usual mode, an existing one keeps its mode (and, for the administrator, its
// owner); a symbolic link stays a link to the new contents.  A device or FIFO (/dev/null, NUL)
// is written directly, and "-" is standard output, in binary.
#pragma once

#include <cstddef>

struct OutputFile;

// Null, with errno, when the output cannot be opened.
OutputFile* output_open(const char* path);
// Writes every byte; false, with errno, when a write fails.
bool output_write(OutputFile* output, const void* data, size_t size);
// Closes and frees the output: when keep, the new file takes the target's place; otherwise, or
// when that fails, it is removed.  0, or the errno of what failed.
int output_close(OutputFile* output, bool keep);

// From now on Ctrl-C (and on Windows Ctrl-Break) only raises a flag instead of ending the
// program.
void interrupt_catch();
bool interrupt_caught();
