#pragma once
// Whether the command line's standard streams go to a person at a terminal (live progress,
// readable lines) or to a file or pipe (stable, machine-readable lines). Any thread; never fails.

enum class StandardStream { kOutput, kError };

bool IsTerminal(StandardStream stream);

// Makes standard output and error pass bytes unchanged, so that a line ends with the same LF on
// every system (the Windows C library would write CR LF for each LF). For main(), before output.
void SetStandardStreamsBinary();
