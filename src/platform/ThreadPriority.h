#pragma once
// Scheduling for the thread that keeps the lines to their cadence. On a machine whose processors
// are all busy, a thread of ordinary priority may wake many milliseconds after its timer, and the
// line it sends then is that late. Where the system lets this user do so (on Linux a real-time
// limit for the user, e.g. "rtprio" in limits.conf, or the capability for it; on Windows always),
// the calling thread is given a priority just above ordinary threads while it paces lines. It
// must get its ordinary scheduling back before it sends without pauses: a thread that never
// waits must not hold a processor against everything else.
// Threads: both functions affect the calling thread only. Failures: a raise that the system
// refuses leaves the thread as it was and says so by its result; nothing is shown.
bool RaiseCadencePriority();
void RestoreOrdinaryPriority();
