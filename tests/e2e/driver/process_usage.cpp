#include "tests/e2e/driver/process_usage.h"

#include "tests/e2e/driver/inspect.h"
#include "tests/e2e/driver/text.h"

#include <winternl.h>

#include <cstdint>
#include <cwctype>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace e2e {

namespace {

// A Linux path seen from Windows: "/proc/7/maps" as "Z:\proc\7\maps".
std::wstring linuxFile(const std::wstring& path) {
    return windowsPath(path).wstring();
}

// "Key:   123 kB" lines of /proc/N/status and smaps_rollup, in bytes.
std::optional<unsigned long long> kilobytesField(const std::string& text, const std::string& key) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(key + ":", 0) == 0) {
            return std::stoull(line.substr(key.size() + 1)) * 1024;
        }
    }
    return std::nullopt;
}

std::wstring lowered(std::wstring text) {
    for (wchar_t& c : text) {
        c = static_cast<wchar_t>(std::towlower(c));
    }
    return text;
}

// The entries of NtQuerySystemInformation(SystemHandleInformation).
struct SystemHandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE handleFlags;
    USHORT handleValue;
    PVOID objectPointer;
    ULONG accessMask;
};
struct SystemHandleList {
    ULONG count;
    SystemHandleEntry handles[1];
};
constexpr ULONG systemHandleInformation = 16;
constexpr NTSTATUS infoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);

using QuerySystemInformation = NTSTATUS(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
using QueryProcessInformation = NTSTATUS(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

template <typename Function> Function ntdllFunction(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

std::optional<unsigned long> kernelHandlesOf(DWORD processId) {
    auto query = ntdllFunction<QuerySystemInformation>("NtQuerySystemInformation");
    if (query == nullptr) {
        return std::nullopt;
    }
    std::vector<unsigned char> buffer(1 << 20);
    for (int attempt = 0; attempt < 8; ++attempt) {
        ULONG needed = 0;
        const NTSTATUS status = query(systemHandleInformation, buffer.data(),
                                      static_cast<ULONG>(buffer.size()), &needed);
        if (status == infoLengthMismatch) {
            buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed + 4096));
            continue;
        }
        if (status < 0) {
            return std::nullopt;
        }
        const auto* list = reinterpret_cast<const SystemHandleList*>(buffer.data());
        unsigned long count = 0;
        for (ULONG i = 0; i < list->count; ++i) {
            count += list->handles[i].ownerPid == processId ? 1 : 0;
        }
        return count;
    }
    return std::nullopt;
}

// One entry of the GDI handle table; an entry in use has a type.
struct GdiHandleEntry {
    std::uint64_t object;
    ULONG owner;
    USHORT unique;
    UCHAR type;
    UCHAR flags;
    std::uint64_t userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24);
constexpr std::size_t gdiHandleCount = 0x10000;
constexpr std::size_t pebGdiSharedHandleTable = 0xF8; // in the 64-bit PEB

std::optional<unsigned long> gdiObjectsOf(HANDLE process) {
    auto query = ntdllFunction<QueryProcessInformation>("NtQueryInformationProcess");
    PROCESS_BASIC_INFORMATION basic{};
    if (query == nullptr || query(process, 0, &basic, sizeof basic, nullptr) < 0 ||
        basic.PebBaseAddress == nullptr) {
        return std::nullopt;
    }
    std::uint64_t table = 0;
    SIZE_T read = 0;
    if (!ReadProcessMemory(
            process, reinterpret_cast<const char*>(basic.PebBaseAddress) + pebGdiSharedHandleTable,
            &table, sizeof table, &read) ||
        table == 0) {
        return std::nullopt;
    }
    std::vector<GdiHandleEntry> entries(gdiHandleCount);
    if (!ReadProcessMemory(process, reinterpret_cast<const void*>(table), entries.data(),
                           entries.size() * sizeof(GdiHandleEntry), &read)) {
        return std::nullopt;
    }
    unsigned long count = 0;
    for (std::size_t i = 0; i < read / sizeof(GdiHandleEntry); ++i) {
        count += entries[i].type != 0 ? 1 : 0;
    }
    return count;
}

} // namespace

std::string procFile(unsigned long pid, const std::wstring& name) {
    std::ifstream in(windowsPath(L"/proc/" + std::to_wstring(pid) + L"/" + name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> mappedFiles(unsigned long pid) {
    std::vector<std::string> files;
    std::istringstream maps(procFile(pid, L"maps"));
    std::string line;
    while (std::getline(maps, line)) {
        const std::size_t slash = line.find('/');
        if (slash != std::string::npos) {
            files.push_back(line.substr(slash));
        }
    }
    return files;
}

std::optional<unsigned long> unixProcessOf(const std::wstring& exeSuffix) {
    // Wine maps the program's file into its process, so its Linux path is among the mappings.
    std::wstring suffix = lowered(exeSuffix);
    for (wchar_t& c : suffix) {
        c = c == L'\\' ? L'/' : c;
    }
    std::vector<unsigned long> found;
    WIN32_FIND_DATAW entry{};
    HANDLE search = FindFirstFileW(linuxFile(L"/proc/*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    do {
        const std::wstring name = entry.cFileName;
        if (name.empty() || name.find_first_not_of(L"0123456789") != std::wstring::npos) {
            continue;
        }
        const unsigned long pid = std::stoul(name);
        for (const std::string& file : mappedFiles(pid)) {
            const std::wstring mapped = lowered(fromUtf8(file));
            if (mapped.size() >= suffix.size() &&
                mapped.compare(mapped.size() - suffix.size(), suffix.size(), suffix) == 0) {
                found.push_back(pid);
                break;
            }
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    if (found.size() != 1) {
        return std::nullopt;
    }
    return found[0];
}

std::optional<unsigned long> unixProcessOfFile(const std::filesystem::path& exe) {
    const std::wstring path = linuxPath(exe);
    return path.empty() ? std::nullopt : unixProcessOf(path);
}

std::optional<unsigned long> ownUnixProcess() {
    wchar_t self[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
    return unixProcessOfFile(self);
}

ProcessUsage usageOf(HANDLE process, DWORD processId, std::optional<unsigned long> unixPid) {
    ProcessUsage usage;
    if (unixPid) {
        const std::string rollup = procFile(*unixPid, L"smaps_rollup");
        // What the process allocated for itself: its anonymous memory, resident or swapped.
        // (Private_Clean would count pages of shared files that no other process happens to
        // map at the moment: it moves when other Wine programs start or end.)
        const auto anonymous = kilobytesField(rollup, "Anonymous");
        const auto swapped = kilobytesField(rollup, "Swap");
        if (anonymous && swapped) {
            usage.privateBytes = *anonymous + *swapped;
        }
        usage.residentBytes = kilobytesField(rollup, "Rss");
    }
    usage.kernelHandles = kernelHandlesOf(processId);
    usage.gdiObjects = gdiObjectsOf(process);
    for (HWND top : topLevelWindows(processId, nullptr)) {
        usage.windows += 1 + static_cast<unsigned long>(childWindows(top).size());
    }
    return usage;
}

} // namespace e2e
