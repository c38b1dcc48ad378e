// Running at logon, the timed-shutdown box and the web link.
#include "system/startup_shortcut.h"
#include "tests/support/program_fixture.h"

#include <gtest/gtest.h>

namespace rudi::testing {
namespace {

namespace fs = std::filesystem;
constexpr WindowName main = WindowName::main;

TEST(ShortcutPaths, LinkAndTargetNames) {
    EXPECT_EQ(startupLinkPath(fs::path("/start/up"))->generic_string(), "/start/up/rudi.lnk");
    EXPECT_EQ(startupLinkPath(fs::path("/start/up/"))->generic_string(), "/start/up/rudi.lnk")
        << "exactly one separator";
    EXPECT_FALSE(startupLinkPath(std::nullopt));
    EXPECT_FALSE(startupLinkPath(fs::path()));
    EXPECT_EQ(shortcutTarget("/programs/rudi").generic_string(), "/programs/rudi/rudi.EXE");
    // The program directory of an executable in a drive's root is the bare drive: the target is
    // in the drive's root, not in the drive's current folder.
    EXPECT_EQ(shortcutTarget(fs::path("C:")).generic_string(), "C:/rudi.EXE");
}

class ShortcutTest : public ProgramTest {};

TEST_F(ShortcutTest, CheckedWritesTheLinkEveryTimeUncheckedDeletesIt) {
    rt.startup = folder.path() / "Startup";
    startWith();
    rt.setChecked(main, "选择框1", true);
    rt.click(main, "按钮1");
    rt.click(main, "按钮1");
    ASSERT_EQ(rt.shortcuts.size(), 2u) << "re-created on every apply while checked";
    EXPECT_EQ(rt.shortcuts[0].link, folder.path() / "Startup" / "rudi.lnk");
    EXPECT_EQ(rt.shortcuts[0].target, folder.path() / "rudi.EXE");
    EXPECT_EQ(rt.shortcuts[0].description, "快捷方式");
    EXPECT_TRUE(rt.deletedFiles.empty());

    rt.setChecked(main, "选择框1", false);
    rt.click(main, "按钮1");
    EXPECT_EQ(rt.deletedFiles, (std::vector<fs::path>{folder.path() / "Startup" / "rudi.lnk"}));
    EXPECT_EQ(rt.shortcuts.size(), 2u);
}

TEST_F(ShortcutTest, WithoutAStartupFolderNothingIsWrittenOrDeleted) {
    rt.startup = std::nullopt;
    startWith();
    rt.setChecked(main, "选择框1", true);
    rt.click(main, "按钮1");
    rt.setChecked(main, "选择框1", false);
    rt.click(main, "按钮1");
    EXPECT_TRUE(rt.shortcuts.empty());
    EXPECT_TRUE(rt.deletedFiles.empty());
    EXPECT_FALSE(rt.windowVisible(main)) << "the apply itself went through";
}

TEST_F(ProgramTest, UncheckingTimedShutdownAbortsEveryTimeCheckingRunsNothing) {
    startWith();
    rt.click(main, "选择框2"); // checked
    EXPECT_TRUE(rt.commandLines.empty());
    rt.click(main, "选择框2"); // unchecked
    rt.click(main, "选择框2");
    rt.click(main, "选择框2");
    const std::pair<Text, bool> abort{"Shutdown -a", false};
    EXPECT_EQ(rt.commandLines, (std::vector<std::pair<Text, bool>>{abort, abort}));
}

TEST_F(ProgramTest, ReleasingTheLinkLabelOpensItsCaption) {
    startWith();
    rt.setText(main, "标签9", "https://example.org/rudi");
    rt.releaseLeftButton(main, "标签9");
    rt.releaseLeftButton(main, "标签8"); // another label opens nothing
    EXPECT_EQ(rt.webAddresses, (std::vector<Text>{"https://example.org/rudi"}));
}

} // namespace
} // namespace rudi::testing
