// Whether a target to open begins with a web address's scheme ("http:", "mailto:", ...): two or
// more letters, digits, '+', '-' or '.', starting with a letter, then a colon.  One letter before
// the colon is a Windows drive, not a scheme.  A target with a scheme is never run as a program.
#pragma once

#include <cctype>
#include <cstddef>

inline bool target_has_scheme(const char* target) {
    std::size_t n = 0;
    while (std::isalnum(static_cast<unsigned char>(target[n])) || target[n] == '+' ||
           target[n] == '-' || target[n] == '.')
        ++n;
    return n >= 2 && std::isalpha(static_cast<unsigned char>(target[0])) && target[n] == ':';
}
