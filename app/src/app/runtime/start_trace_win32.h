// Optional timestamps of a capture's start, for finding where the time between
// the shortcut and the first overlay frame goes (tools/bench-start.sh).
//
// When the environment variable KADROVIX_TRACE_START names a file, each mark
// appends one line to it:
//     <process id> <label> <performance counter, µs> <Unix time, µs>
// The Unix time (the precise system time) lines up the resident, the editor it
// starts and the X-level watcher; the performance counter gives the intervals
// within one process. Several processes append to the same file. Without the
// variable a mark only tests a flag read once per process.
#pragma once

namespace kadrovix::win32 {

// Appends the line for `label`. `closes` ends the trace of this process: the
// editor's first finished frame is the end of its start, and later frames
// would only bury the marks that matter.
void mark_start(const char* label, bool closes = false);

// Appends "<pid> created - <Unix time, µs>" with the time the system created
// this process, before any of its code or libraries ran.
void mark_process_created();

}  // namespace kadrovix::win32
