#include "common/prt.h"

#include <cstdarg>
#include <cstdio>

void prt(const char* func, int line, const char* fmt, ...) {
    std::printf("[%s]-%d: ", func, line);
    va_list ap;
    va_start(ap, fmt);
    std::vprintf(fmt, ap);
    va_end(ap);
}
