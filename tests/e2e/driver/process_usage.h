// What another process holds, read from outside: memory, kernel handles, GDI objects, windows.
//
// Wine answers GetProcessMemoryInfo's PrivateUsage, GetProcessHandleCount and GetGuiResources
// for another process with 0, so the figures come from where the system keeps them: the
// process's own /proc entry (drive Z: reaches the Linux root), the system's handle list, and
// the GDI handle table that the process's PEB points to (the table Windows keeps there too).
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace e2e {

struct ProcessUsage {
    std::optional<unsigned long long> privateBytes; // anonymous memory, resident or swapped
    std::optional<unsigned long long> residentBytes;
    std::optional<unsigned long> kernelHandles;
    std::optional<unsigned long> gdiObjects;
    unsigned long windows = 0; // top-level windows of the process and their children
};

// The Linux process that runs the Windows program whose full path ends in exeSuffix (matched
// without regard to case against its command line), if exactly one does.
std::optional<unsigned long> unixProcessOf(const std::wstring& exeSuffix);

ProcessUsage usageOf(HANDLE process, DWORD processId, std::optional<unsigned long> unixPid);

} // namespace e2e
