#pragma once
// Where a trace text goes once tracing is on: standard error everywhere, and on Windows also the
// debugger's output (OutputDebugStringA), where tools such as DebugView show it. Called by Trace()
// only, one text at a time (Trace serialises the calls).

// Writes `text` and a line end.
void WriteTraceText(const char* text);
