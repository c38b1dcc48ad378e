// What another process holds, read from outside: memory, kernel handles, GDI objects, windows.
//
// Wine answers GetProcessMemoryInfo's PrivateUsage, GetProcessHandleCount and GetGuiResources
// for another process with 0, so the figures come from where the system keeps them: the
// process's own /proc entry (drive Z: reaches the Linux root), the system's handle list, and
// the GDI handle table that the process's PEB points to (the table Windows keeps there too).
#pragma once

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct ProcessUsage {
    std::optional<unsigned long long> privateBytes; // anonymous memory, resident or swapped
    std::optional<unsigned long long> residentBytes;
    std::optional<unsigned long> kernelHandles;
    std::optional<unsigned long> gdiObjects;
    unsigned long windows = 0; // top-level windows of the process and their children
};

// The whole content of /proc/<pid>/<name>, read through drive Z:.
std::string procFile(unsigned long pid, const std::wstring& name);

// The Linux paths (UTF-8) of the files mapped into the process, in the order of its mappings.
std::vector<std::string> mappedFiles(unsigned long pid);

// The Linux process that runs the Windows program whose file's Linux path ends in exeSuffix
// (matched without regard to case against the files mapped into it), if exactly one does.
std::optional<unsigned long> unixProcessOf(const std::wstring& exeSuffix);
// The same for the program file `exe`, given as a Windows path.
std::optional<unsigned long> unixProcessOfFile(const std::filesystem::path& exe);
// This program's own Linux process (/proc/self would be the Wine server's, which opens files
// for Wine).
std::optional<unsigned long> ownUnixProcess();

ProcessUsage usageOf(HANDLE process, DWORD processId, std::optional<unsigned long> unixPid);

} // namespace e2e
