#pragma once
// What each system gives the stop request of Interrupt.h: the source of the requests (signals on
// Linux, console events on Windows) and the abrupt end. The request's state, its wake-up event,
// its callback and the limits' watch are the same everywhere (Interrupt.cpp).
// For the platform layer's own use; nothing here throws.
#include <cstdint>

// Raises the request for the system's stop event `signalNumber` (see InterruptSignalNumber);
// called by the system's source, on whatever thread it delivers its events.
void RaiseInterrupt(int signalNumber);

// Keeps the system's stop events from interrupting the calling thread and those it starts from
// now on (Linux blocks the signals; Windows has nothing to do), and gives them back.
bool HoldInterruptEvents();
void ReleaseInterruptEvents();

// Starts passing every stop event to RaiseInterrupt. False when that could not be set up (traced).
bool StartInterruptSource();

// Ends the process at once with `exitCode`: no destructors, no locks. `notice` (a whole line) goes
// to standard error first only if that output can take it without holding the end up.
[[noreturn]] void EndProcessAtOnce(int exitCode, const char* notice);
