#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/runtime/start_trace_win32.h"
#include "app/startup_win32.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    kadrovix::win32::mark_process_created();
    kadrovix::win32::mark_start("entry");
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    std::vector<std::wstring> args;
    for (int i = 1; argv != nullptr && i < argc; ++i) args.emplace_back(argv[i]);
    if (argv != nullptr) ::LocalFree(argv);
    return kadrovix::run_program(args);
}
