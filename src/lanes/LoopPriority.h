#pragma once
// The scheduling of a thread that serves lanes: while every lane pauses between its lines, the
// thread asks for the priority the run thread takes while it paces (see ThreadPriority.h), so
// that lanes still wake on time when every processor is busy. A thread that falls behind its
// lanes (most of its waits in a second end a long way after their time: the lanes ask for more
// than the processor can give) goes back to ordinary scheduling for good, so that it never holds
// a processor against everything else, the lanes' own receivers and the system's network work
// included; a single hold-up does not count. It is raised when the lanes' clock starts, not
// while they connect, and its first second is not judged.
// Each function concerns the calling thread only; nothing fails.
#include <chrono>

// Raises the calling thread's priority when `bPacedOnly`; returns whether it did.
bool RaiseLoopThread(bool bPacedOnly);
// A wait due at `due` ended at `ended`, its pause being `gap`: a thread that has been behind
// for a second gives its raised priority up.
void CheckLoopThreadLateness(std::chrono::steady_clock::time_point due,
                             std::chrono::steady_clock::time_point ended,
                             std::chrono::steady_clock::duration gap);
// Back to ordinary scheduling (at the end of the thread's service).
void LowerLoopThread();
// Whether the calling thread still has its raised priority.
bool IsLoopThreadRaised();
