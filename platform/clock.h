// The board's system clock and sleeps.
#pragma once

#include <ctime>
#include <sys/select.h>
#include <sys/time.h>

std::time_t clk_time();                     // like time(nullptr)
int clk_gettimeofday(timeval* tv);          // like gettimeofday
int clk_settimeofday(const timeval* tv);    // like settimeofday: 0, or -1 with errno
void clk_sleep(unsigned seconds);
void clk_usleep(unsigned microseconds);
// Like select(), but the time-out counts board time.
int clk_select(int nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds, timeval* timeout);
