// One run of rudi.exe for one check: a fresh folder holding a copy of the program and, when
// the check gives one, its 配置.edb; the process started, its main window found, and the
// program ended again when the run goes out of scope, whatever the check did to it.
#pragma once

#include "tests/e2e/driver/check.h"
#include "tests/e2e/driver/handle.h"

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// What the command line gave: the programs under test and where the run keeps its files.
struct Setup {
    std::filesystem::path rudiExe;
    std::filesystem::path recorderExe;
    // The log that the shutdown recorder in the system folder appends to.
    std::filesystem::path recorderLog;
    std::filesystem::path workDir;
    std::filesystem::path shotsDir;
    // The banner picture the program carries, to compare with what the About page shows.
    std::filesystem::path banner;
    // The program's icon file, whose 16 × 16 image the notification area shows.
    std::filesystem::path icon;
    // The database tool (edb.exe), to read back what rudi stored with a reader of its own.
    std::filesystem::path edbExe;
    // A folder on a read-only disk holding rudi.exe and 配置.edb, a folder of workDir.
    std::filesystem::path readOnlyFolder;
};

// The one record of a 配置.edb, in the supplied file's layout.
struct Configuration {
    std::wstring interval = L"25";
    std::wstring restMessage = L"起来走走，看看远方。";
    std::wstring eventTime = L"2013年6月27日* 9:05:09";
    std::wstring eventMessage = L"带上会议记录。\r\n三楼会议室。";
    bool autoRun = true;
};

// Identifiers of the main window's controls and menu items, and of its tray icon.
namespace ids {
inline constexpr int tab = 1001, restGroup = 1002, intervalLabel = 1003, intervalEdit = 1004,
                     restMessageLabel = 1005, restMessageEdit = 1006, countdownLabel = 1007,
                     eventGroup = 1008, eventTimeLabel = 1009, datePicker = 1010, timePicker = 1011,
                     shutdownBox = 1012, eventMessageLabel = 1013, eventMessageEdit = 1014,
                     banner = 1015, aboutLabel = 1016, makerLabel = 1017, linkLabel = 1018,
                     autoRunBox = 1019, okButton = 1020, cancelButton = 1021;
inline constexpr int showItem = 2001, exitItem = 2002;
inline constexpr UINT trayIcon = 100;
inline constexpr UINT trayMessage = 0x8064;
// The rest window's controls: 透明标签1 (the rest message), 透明标签2 (the counter), 按钮1.
inline constexpr int restWindowMessage = 1001, restWindowCounter = 1002, restWindowButton = 1003;
} // namespace ids

// Whether a run starts from an emptied folder or uses the folder as an earlier run left it.
enum class Folder { fresh, kept };

class RudiRun {
  public:
    // Prepares work/<folderName>: emptied, rudi.exe copied in, 配置.edb written if given. A kept
    // folder keeps what it holds; rudi.exe is copied only if it is missing.
    RudiRun(Check& check, const Setup& setup, const std::wstring& folderName,
            const std::optional<Configuration>& configuration, Folder use = Folder::fresh);
    RudiRun(const RudiRun&) = delete;
    RudiRun& operator=(const RudiRun&) = delete;
    ~RudiRun();

    const std::filesystem::path& folder() const { return folder_; }

    // Starts rudi.exe with the folder as its current directory.
    void start();
    // Starts it with "NAME=value" entries added to the environment of its Linux process (for
    // LD_PRELOAD and what the preloaded library reads). Wine gives a Windows program that this
    // one starts this process's own Linux environment, whatever the environment block says; a
    // Linux program gets the block. So Wine's loader, the Linux program that runs this driver
    // too, is started on rudi.exe with the block, and the new process is found by its image.
    void start(const std::vector<std::wstring>& linuxEnvironment);
    // Waits for the main window to be shown; aborts the check if it is not.
    HWND waitForMainWindow();
    HWND mainWindow() const { return main_; }
    // A control of the main window by its identifier; aborts the check if it is missing.
    HWND control(int id) const;

    HANDLE process() const { return process_.get(); }
    DWORD processId() const { return processId_; }
    DWORD threadId() const { return threadId_; }
    // Local time just before the process was created.
    const SYSTEMTIME& startedAt() const { return startedAt_; }

    bool running() const;
    bool waitForExit(DWORD timeoutMs) const;
    DWORD exitCode() const;

    // The error box (a top-level "#32770" of the process titled 错误), if one is open.
    HWND errorBox() const;

  private:
    void end();

    Check& check_;
    std::filesystem::path folder_;
    std::filesystem::path exe_;
    UniqueHandle process_;
    UniqueHandle thread_;
    DWORD processId_ = 0;
    DWORD threadId_ = 0;
    SYSTEMTIME startedAt_{};
    HWND main_ = nullptr;
};

// The configuration database's bytes for a record.
std::string configurationFile(const Configuration& configuration);

} // namespace e2e
