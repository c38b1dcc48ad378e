// The surroundings a user's machine may give: a program folder and a profile with Chinese and
// accented names and blanks, a Startup folder that is missing, Explorer restarted while
// the main window is hidden, and no MIDI device for the tune.
#include "tests/e2e/driver/checks.h"
#include "tests/e2e/driver/inspect.h"
#include "tests/e2e/driver/steps.h"
#include "tests/e2e/driver/text.h"

#include "runtime/files.h"
#include "settings/edb_format.h"

#include <windows.h>

#include <system_error>
#include <variant>

namespace e2e {

namespace fs = std::filesystem;

namespace {

// Points the current user's Startup folder somewhere else for its lifetime, as a profile of
// another name would: the "Startup" value of User Shell Folders (and of its cache, Shell
// Folders), put back as it was afterwards.
class StartupFolderOverride {
  public:
    explicit StartupFolderOverride(const std::wstring& folder) {
        for (Value& v : values_) {
            HKEY key = nullptr;
            if (RegCreateKeyExW(HKEY_CURRENT_USER, v.key, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                                nullptr, &key, nullptr) != ERROR_SUCCESS) {
                continue;
            }
            wchar_t old[1024] = {};
            DWORD size = sizeof old;
            DWORD type = 0;
            v.had = RegQueryValueExW(key, L"Startup", nullptr, &type, reinterpret_cast<BYTE*>(old),
                                     &size) == ERROR_SUCCESS;
            v.type = type;
            v.old = old;
            RegSetValueExW(key, L"Startup", 0, v.had ? v.type : v.newType,
                           reinterpret_cast<const BYTE*>(folder.c_str()),
                           static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
            RegCloseKey(key);
        }
    }
    StartupFolderOverride(const StartupFolderOverride&) = delete;
    StartupFolderOverride& operator=(const StartupFolderOverride&) = delete;
    ~StartupFolderOverride() {
        for (const Value& v : values_) {
            HKEY key = nullptr;
            if (RegOpenKeyExW(HKEY_CURRENT_USER, v.key, 0, KEY_WRITE, &key) != ERROR_SUCCESS) {
                continue;
            }
            if (v.had) {
                RegSetValueExW(key, L"Startup", 0, v.type,
                               reinterpret_cast<const BYTE*>(v.old.c_str()),
                               static_cast<DWORD>((v.old.size() + 1) * sizeof(wchar_t)));
            } else {
                RegDeleteValueW(key, L"Startup");
            }
            RegCloseKey(key);
        }
    }

  private:
    struct Value {
        const wchar_t* key;
        DWORD newType;
        bool had = false;
        DWORD type = 0;
        std::wstring old{};
    };
    Value values_[2] = {
        {L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
         REG_EXPAND_SZ},
        {L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", REG_SZ}};
};

std::optional<bool> storedAutoRun(const fs::path& file) {
    const auto read = rudi::files::readWholeFile(file, rudi::edb::maxFileBytes);
    const auto table = rudi::edb::parse(read.bytes);
    if (read.status != rudi::files::ReadStatus::ok || !table || table->records.size() != 1 ||
        table->records[0].values.size() != 5) {
        return std::nullopt;
    }
    const auto* logical = std::get_if<rudi::edb::Logical>(&table->records[0].values[4]);
    return logical != nullptr ? std::optional<bool>(logical->value) : std::nullopt;
}

// 选择框1 set as wanted (a click when it differs) and 确定.
bool applyWithAutoRun(Check& check, const RudiRun& rudi, bool wanted) {
    HWND box = rudi.control(ids::autoRunBox);
    if ((sendTo(box, BM_GETCHECK) == BST_CHECKED) != wanted) {
        sendTo(box, BM_CLICK);
    }
    sendTo(rudi.control(ids::okButton), BM_CLICK);
    return check.expect(waitUntil([&] { return !IsWindowVisible(rudi.mainWindow()); }, 3000),
                        L"确定 left the main window on the screen");
}

} // namespace

void checkUnicodeFolders(Check& check, const Setup& setup) {
    const fs::path profile = L"C:\\users\\用户 Zoë Ångström";
    const fs::path startup =
        profile / L"AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
    std::error_code error;
    fs::create_directories(startup, error);
    if (!fs::is_directory(startup, error)) {
        check.abort(L"cannot create " + startup.wstring());
    }
    StartupFolderOverride override(startup.wstring());
    check.expect(_wcsicmp(startupFolder().c_str(), startup.c_str()) == 0,
                 L"the Startup folder reads " + quote(startupFolder().wstring()) +
                     L" with the override, expected " + quote(startup.wstring()));
    Configuration configuration;
    configuration.autoRun = false;
    // The folder's accented letters are ones GBK has: Wine writes a shortcut's path in the ANSI
    // code page, so a letter GBK lacks would come back from the shortcut as "?". The profile's
    // letters (ë, Å) are outside GBK: the shortcut file's own path is wide all the way.
    RudiRun rudi(check, setup, L"程序 Café Zhāng 文件夹", configuration);
    rudi.start();
    rudi.waitForMainWindow();
    const fs::path link = startup / L"rudi.lnk";
    fs::remove(link, error);
    if (!applyWithAutoRun(check, rudi, true)) {
        return;
    }
    check.expect(storedAutoRun(rudi.folder() / L"配置.edb") == std::optional<bool>(true),
                 L"配置.edb in the folder " + quote(rudi.folder().wstring()) +
                     L" does not hold 是否自动运行 true after 确定");
    if (!waitUntil([&] { return fs::exists(link, error); }, 3000)) {
        check.fail(L"no shortcut " + quote(link.wstring()) + L" after 确定 with 选择框1 checked");
    } else if (const auto made = readLink(link)) {
        const fs::path target = rudi.folder() / L"rudi.EXE";
        check.expect(_wcsicmp(made->target.c_str(), target.c_str()) == 0,
                     L"the shortcut points at " + quote(made->target) + L", expected " +
                         quote(target.wstring()));
    } else {
        check.fail(L"the shortcut " + quote(link.wstring()) + L" cannot be read");
    }
    if (!showFromTray(check, rudi) || !applyWithAutoRun(check, rudi, false)) {
        return;
    }
    check.expect(waitUntil([&] { return !fs::exists(link, error); }, 3000),
                 L"确定 with 选择框1 unchecked left " + quote(link.wstring()));
    fs::remove_all(profile, error);
}

void checkMissingStartupFolder(Check& check, const Setup& setup) {
    const fs::path missing = L"C:\\users\\没有的用户\\Start Menu\\Programs\\Startup";
    std::error_code error;
    fs::remove_all(L"C:\\users\\没有的用户", error);
    StartupFolderOverride override(missing.wstring());
    Configuration configuration;
    configuration.autoRun = false;
    RudiRun rudi(check, setup, L"no-startup-folder", configuration);
    rudi.start();
    rudi.waitForMainWindow();
    if (!applyWithAutoRun(check, rudi, true)) {
        return;
    }
    Sleep(1000);
    check.expect(storedAutoRun(rudi.folder() / L"配置.edb") == std::optional<bool>(true),
                 L"配置.edb does not hold 是否自动运行 true after 确定 without a Startup folder");
    check.expect(!fs::exists(L"C:\\users\\没有的用户", error),
                 L"确定 created the missing Startup folder's profile");
    check.expect(rudi.running() && rudi.errorBox() == nullptr,
                 L"rudi ended or reported an error without a Startup folder");
    // The countdown goes on from the applied interval.
    HWND countdown = rudi.control(ids::countdownLabel);
    const std::wstring before = windowText(countdown);
    check.expect(waitUntil([&] { return windowText(countdown) != before; }, 2500),
                 L"标签7 stopped at " + quote(before) + L" after 确定 without a Startup folder");
    if (showFromTray(check, rudi)) {
        applyWithAutoRun(check, rudi, false);
        check.expect(
            rudi.running() && rudi.errorBox() == nullptr,
            L"unchecking 选择框1 without a Startup folder ended rudi or reported an error");
    }
}

// A restarted Explorer has a notification area without the program's icon and announces
// itself to every top-level window with "TaskbarCreated". (Wine's explorer, once ended, does not
// bring its notification area back, so the loss and the announcement are what is staged: the
// icon taken out of the notification area, the message broadcast as Explorer sends it.)
void checkExplorerRestart(Check& check, const Setup& setup) {
    RudiRun rudi(check, setup, L"explorer-restart", Configuration{});
    rudi.start();
    HWND main = rudi.waitForMainWindow();
    sendTo(rudi.control(ids::cancelButton), BM_CLICK);
    if (!check.expect(waitUntil([&] { return !IsWindowVisible(main); }, 3000),
                      L"取消 left the main window on the screen") ||
        !check.expect(waitUntil([&] { return trayIconKnown(main, ids::trayIcon); }, 3000),
                      L"the notification area holds no icon of rudi before the restart")) {
        return;
    }
    check.expect(removeTrayIcon(main, ids::trayIcon) && !trayIconKnown(main, ids::trayIcon),
                 L"the icon could not be taken out of the notification area");
    SendNotifyMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    check.expect(waitUntil([&] { return trayIconKnown(main, ids::trayIcon); }, 5000),
                 L"the icon is not back within 5 s of the broadcast \"TaskbarCreated\"");
    check.expect(rudi.running() && !IsWindowVisible(main),
                 L"rudi ended or showed its window on \"TaskbarCreated\"");
    // Twice more, as a shell that restarts again would: still one icon, nothing else changes.
    for (int again = 0; again < 2; ++again) {
        SendNotifyMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    }
    Sleep(500);
    check.expect(trayIconKnown(main, ids::trayIcon) && !IsWindowVisible(main),
                 L"after two more \"TaskbarCreated\" the icon is gone or the window shows");
    postTrayEvent(rudi, WM_LBUTTONDBLCLK);
    check.expect(waitUntil([&] { return IsWindowVisible(main) != FALSE; }, 3000),
                 L"after the restart a double-click on the icon does not show the main window");
}

} // namespace e2e
