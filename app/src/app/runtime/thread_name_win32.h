// Readable names for worker threads, shown by debuggers and crash dumps.
#pragma once

namespace kadrovix::win32 {

// Names the calling thread. SetThreadDescription exists from Windows 10 1607
// on and is looked up at run time, so older systems and compatibility layers
// without it simply keep an unnamed thread. Gives whether the name was set.
bool set_current_thread_name(const wchar_t* name);

}  // namespace kadrovix::win32
