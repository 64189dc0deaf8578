#pragma once
// Ctrl-C for the command line: SIGINT, SIGTERM and SIGHUP (on Windows the console's Ctrl-C,
// Ctrl-Break, close, logoff and shutdown events) become an ordinary request to stop, seen by a
// watcher thread instead of interrupting whatever thread happens to run, so that a run can end
// cleanly with its end-of-run steps. The program itself can raise the same request (a time limit
// reached, a count of lines done) and every waiter sees it the same way.
//
// A request raised by a signal ends the program promptly whatever it is doing, even inside a
// call the request cannot cut short (a whole file being read or converted, a name being looked
// up, output that nobody reads): the command has kInterruptStopLimit from the signal to stop its
// work and say so (ConfirmInterruptStop), then kInterruptEndLimit for its end steps (closing
// files and connections, the summary). When either runs out the program ends at once with the
// signal's exit code (128 plus its number) and runs nothing more: the system closes its files,
// sockets and ports, what it wrote so far stays, and the files it replaces are replaced whole
// (a temporary file renamed into place), so none is left half written. It says so on standard
// error first (kInterruptCutNotice), unless that output cannot take the line at once.
//
// Threads: InstallInterruptWatch belongs to main() before it starts any thread; everything else
// may be called from any thread. Nothing here throws; a watch that cannot be set up leaves the
// signals with their default action and says so by its result.
#include <chrono>
#include <cstdint>
#include <functional>

#include "platform/WakeEvent.h"

// 80 ms: with the system's own clean-up of a large process the program is gone within 100 ms.
inline constexpr std::chrono::milliseconds kInterruptStopLimit{80};
inline constexpr std::chrono::milliseconds kInterruptEndLimit{2000};

// The first words of the line written when a limit ran out, so whoever reads the output knows why
// the usual end (a summary, say) is missing.
inline constexpr const char* kInterruptCutNotice = "ended at once";

// Blocks SIGINT, SIGTERM and SIGHUP in the calling thread (threads started later inherit that)
// and starts the watcher thread that takes them; on Windows installs the console control handler.
// False when the watch could not be set up.
bool InstallInterruptWatch();

// Raises the request from inside the program. The first request wins; later ones change nothing.
void RequestInterrupt();

bool IsInterruptRequested();

// The number of the signal that raised the request (SIGHUP 1, SIGINT 2, SIGTERM 15); 0 when none
// did (not yet, or the program raised it itself). Windows console events count as the signals
// closest to them: Ctrl-C 2 (SIGINT), Ctrl-Break 21 (SIGBREAK), a closed console 1 (SIGHUP),
// logoff and shutdown 15 (SIGTERM).
int InterruptSignalNumber();

// The command has stopped its work after the request (its run has ended, its receiver has left
// its wait); only its end steps are left. Harmless when no request was raised.
void ConfirmInterruptStop();

// An event that is set once the request is raised and stays set: the cancel event to hand to a
// wait that the request must end (a socket's, a port's). Never set (never created) when the watch
// is not installed. It is never reset nor closed, so any thread may wait on it.
const CWakeEvent& InterruptWakeEvent();

// `callback` runs once when the request is raised, on the thread that raised it (at once, on
// the calling thread, when it has been raised already). It must return promptly. A later call
// replaces a callback that has not run yet; an empty function removes it.
void SetInterruptCallback(std::function<void()> callback);

// For a command's help: the exit codes of a command ended by the system's stop events, e.g.
// "130 stopped by Ctrl-C, 143 by SIGTERM, 129 by SIGHUP" (Windows names Ctrl-Break and its
// console events instead of the signals). Each back end has its own list.
const char* InterruptExitCodesText();
