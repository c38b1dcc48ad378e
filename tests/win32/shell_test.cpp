// The Windows run time's shell calls: the Startup shortcut read back through the shell's own
// link object, file deletion, the program directory, and where command lines are looked up.
#include "runtime/win32/com_ptr.h"
#include "runtime/win32/wide.h"
#include "runtime/win32/win32_runtime.h"
#include "system/startup_shortcut.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <filesystem>
#include <fstream>

namespace rudi::win32 {
namespace {

namespace fs = std::filesystem;

class ShellTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        // A folder whose name the ANSI code page cannot spell.
        folder =
            fs::temp_directory_path() / (L"rudi 测试 ü ℃ " + std::to_wstring(GetTickCount64()));
        fs::create_directories(folder);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
        CoUninitialize();
    }

    struct Link {
        std::wstring target, description, arguments, workingDirectory;
        int showCommand = 0;
    };
    static Link readLink(const fs::path& path) {
        Link link;
        ComPtr<IShellLinkW> shellLink;
        EXPECT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                               IID_IShellLinkW, shellLink.putVoid())));
        ComPtr<IPersistFile> file;
        EXPECT_TRUE(SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, file.putVoid())));
        EXPECT_TRUE(SUCCEEDED(file->Load(path.c_str(), STGM_READ)));
        wchar_t buffer[MAX_PATH * 2] = {};
        shellLink->GetPath(buffer, MAX_PATH * 2, nullptr, SLGP_RAWPATH);
        link.target = buffer;
        buffer[0] = 0;
        shellLink->GetDescription(buffer, MAX_PATH * 2);
        link.description = buffer;
        buffer[0] = 0;
        shellLink->GetArguments(buffer, MAX_PATH * 2);
        link.arguments = buffer;
        buffer[0] = 0;
        shellLink->GetWorkingDirectory(buffer, MAX_PATH * 2);
        link.workingDirectory = buffer;
        shellLink->GetShowCmd(&link.showCommand);
        return link;
    }

    Win32Runtime rt{GetModuleHandleW(nullptr)};
    fs::path folder;
};

TEST_F(ShellTest, ShortcutHasTheTargetDescriptionAndShowCommand) {
    const fs::path link = *startupLinkPath(folder);
    const fs::path target = shortcutTarget(folder / L"程序");
    ASSERT_TRUE(rt.createShortcut(link, target, shortcutDescription));
    const Link read = readLink(link);
    EXPECT_EQ(read.target, target.wstring());
    EXPECT_EQ(read.description, L"快捷方式");
    // The stored show command is the link header's 32-bit field at offset 0x3C. Readers treat
    // every value but 1, 3 and 7 as SW_SHOWNORMAL, so the shell's own reading is 1.
    std::ifstream in(link, std::ios::binary);
    in.seekg(0x3C);
    std::uint32_t stored = 0;
    in.read(reinterpret_cast<char*>(&stored), sizeof stored);
    EXPECT_EQ(stored, static_cast<std::uint32_t>(SW_SHOW));
    EXPECT_EQ(read.showCommand, SW_SHOWNORMAL);
    EXPECT_EQ(read.arguments, L"");
    EXPECT_EQ(read.workingDirectory, L"");
}

TEST_F(ShellTest, ASecondSaveReplacesTheLinkAndDeleteRemovesIt) {
    const fs::path link = *startupLinkPath(folder);
    ASSERT_TRUE(rt.createShortcut(link, shortcutTarget(L"C:\\old place"), shortcutDescription));
    ASSERT_TRUE(rt.createShortcut(link, shortcutTarget(folder), shortcutDescription));
    EXPECT_EQ(readLink(link).target, (folder / L"rudi.EXE").wstring());
    EXPECT_TRUE(rt.deleteFile(link));
    EXPECT_FALSE(fs::exists(link));
    EXPECT_FALSE(rt.deleteFile(link)) << "a link that is not there fails quietly";
}

TEST_F(ShellTest, SaveIntoAMissingFolderFailsAndWritesNothing) {
    const fs::path link = folder / L"无此目录" / L"rudi.lnk";
    EXPECT_FALSE(rt.createShortcut(link, shortcutTarget(folder), shortcutDescription));
    EXPECT_FALSE(fs::exists(link.parent_path()));
}

TEST(ProgramPaths, TargetOfABareDriveIsItsRoot) {
    EXPECT_EQ(shortcutTarget(fs::path(L"C:")).wstring(), L"C:\\rudi.EXE");
    EXPECT_EQ(shortcutTarget(fs::path(L"D:\\工具")).wstring(), L"D:\\工具\\rudi.EXE");
}

TEST(ProgramPaths, ProgramDirectoryIsTheExecutablesFolderWithoutATrailingSeparator) {
    Win32Runtime rt{GetModuleHandleW(nullptr)};
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const fs::path directory = rt.programDirectory();
    EXPECT_EQ(directory / fs::path(self).filename(), fs::path(self));
    EXPECT_NE(directory.wstring().back(), L'\\');
    const auto startup = rt.startupFolder();
    ASSERT_TRUE(startup.has_value()) << "a user profile has a Startup folder";
    EXPECT_EQ(startup->filename().wstring().size() > 0, true);
}

TEST(CommandLines, ProgramsComeFromTheSystemFolderOnly) {
    Win32Runtime rt{GetModuleHandleW(nullptr)};
    // A bare name that exists only beside this program is not run: the system folder is the
    // only place a command line's program is taken from.
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const fs::path planted = fs::path(self).parent_path() / L"rudi-planted-tool.exe";
    fs::copy_file(self, planted, fs::copy_options::overwrite_existing);
    EXPECT_FALSE(rt.runCommandLine("rudi-planted-tool --gtest_list_tests", false));
    fs::remove(planted);
    // Paths and quotes are not command names.
    EXPECT_FALSE(rt.runCommandLine("C:\\windows\\system32\\cmd.exe /c exit", false));
    EXPECT_FALSE(rt.runCommandLine("\"cmd\" /c exit", false));
    // A tool of the system folder starts.
    EXPECT_TRUE(rt.runCommandLine("cmd /c exit 0", true));
}

TEST(Texts, Gbk936ConversionBothWays) {
    EXPECT_EQ(widen("休息"), L"休息");
    EXPECT_EQ(narrow(L"休息"), "休息");
    EXPECT_EQ(widen(""), L"");
    EXPECT_EQ(widen(std::string_view("ab\0cd", 5)), L"ab") << "a text ends at its first zero byte";
    // A lone lead byte at the end does not crash and loses only itself.
    EXPECT_EQ(widen("ab\xC4").substr(0, 2), L"ab");
    // A lead byte without its trail byte never takes the next byte with it.
    const struct {
        const char* gbk;
        const wchar_t* end;
    } lone[] = {{"A\x81\r\nB", L"\r\nB"},
                {"\xC4\x30", L"0"},
                {"x\x81\x7F", L"\x7F"},
                {"\xFE\xFF\n", L"\n"},
                {"\x81 \xD0\xDD", L" 休"}};
    for (const auto& c : lone) {
        const std::wstring wide = widen(c.gbk);
        const std::wstring end = c.end;
        EXPECT_TRUE(wide.size() >= end.size() &&
                    wide.compare(wide.size() - end.size(), end.size(), end) == 0)
            << c.gbk;
        EXPECT_LE(wide.size(), std::string(c.gbk).size()) << c.gbk;
    }
    EXPECT_EQ(widen("A\x81\r\nB").front(), L'A');
    // A character outside GBK becomes a question mark, never an empty text.
    EXPECT_EQ(narrow(L"a\U0001F600b").front(), 'a');
    EXPECT_EQ(narrow(L"a\U0001F600b").back(), 'b');
}

} // namespace
} // namespace rudi::win32
