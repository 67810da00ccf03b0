// The system's failure messages: "[function]-line: " and the message.
#pragma once

[[gnu::format(printf, 3, 4)]] void prt(const char* func, int line, const char* fmt, ...);
