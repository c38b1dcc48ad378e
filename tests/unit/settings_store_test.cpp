// Loading the settings at start and storing them with 确定.
#include "engine/date_time.h"
#include "engine/state.h"
#include "runtime/files.h"
#include "runtime/runtime.h"
#include "settings/edb_configuration.h"
#include "tests/support/program_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace rudi::testing {
namespace {

namespace fs = std::filesystem;
constexpr WindowName main = WindowName::main;

class SettingsTest : public ProgramTest {
  protected:
    // Starts the program and expects it to stop with the error report.
    Text startExpectingError(const std::vector<Settings>& records) {
        writeConfiguration(records);
        return startExpectingErrorAsIs();
    }
    Text startExpectingErrorAsIs() {
        EXPECT_THROW(rt.start(), ProgramEnded);
        EXPECT_EQ(rt.exitCode, -1);
        EXPECT_EQ(rt.exitCleanups, 0) << "the error report skips the exit clean-up";
        if (rt.messageBoxes.size() != 1) {
            ADD_FAILURE() << "expected exactly the error report";
            return {};
        }
        EXPECT_EQ(rt.messageBoxes[0].title, "错误");
        return rt.messageBoxes[0].text;
    }
};

TEST_F(SettingsTest, LoadFillsTheControlsAndTheState) {
    clock.set({2026, 12, 11, 8, 30, 15});
    rt.startup = folder.path();
    startWith({Settings{"45", "起来走走", "2013年6月27日* 9:05:09", "开会", true}});
    EXPECT_EQ(rt.text(main, "编辑框1"), "45");
    EXPECT_EQ(rt.text(main, "编辑框2"), "起来走走");
    EXPECT_EQ(rt.text(main, "编辑框3"), "开会");
    EXPECT_EQ(rt.checked(main, "选择框1"), 1);
    EXPECT_EQ(rt.dateTimeValue(main, "日期框1"), makeDateTime(2026, 12, 11, 8, 30, 15))
        << "the picker shows now, not the stored event date";
    const ProgramState& s = state();
    EXPECT_EQ(s.restIntervalText, "45");
    EXPECT_EQ(s.secondsToRest, 2700);
    EXPECT_EQ(s.eventTimeParts, (TextArray{"2013年6月27日", " 9:05:09"}));
    EXPECT_EQ(s.restMessage, "") << "apply-only copies stay absent until 确定";
    EXPECT_EQ(s.autoRun, 0);
    EXPECT_TRUE(rt.shortcuts.empty()) << "load does not touch the shortcut";
    EXPECT_TRUE(rt.windowVisible(main));
    EXPECT_EQ(storedTable().records.size(), 1u) << "load writes nothing";
}

TEST_F(SettingsTest, AFileOfSeveralRecordsLoadsItsFirstAndHoldsOneAfterApplying) {
    startWith({Settings{.interval = "10"}, Settings{.interval = "20"}, Settings{.interval = "30"}});
    EXPECT_EQ(rt.text(main, "编辑框1"), "10");
    rt.click(main, "按钮1");
    const edb::Table t = storedTable();
    ASSERT_EQ(t.records.size(), 1u);
    EXPECT_EQ(std::get<Text>(t.records[0].values[0]), "10");
}

TEST_F(SettingsTest, AFileWithoutRecordsLoadsEmptySettings) {
    startWith({});
    EXPECT_EQ(rt.text(main, "编辑框1"), "");
    EXPECT_EQ(rt.checked(main, "选择框1"), 0);
    EXPECT_EQ(state().secondsToRest, 0);
    EXPECT_TRUE(state().eventTimeParts.empty());
}

TEST_F(SettingsTest, ApplyStoresWhatWasTypedAsOneRecord) {
    clock.set({2013, 6, 27, 8, 0, 0});
    rt.startup = folder.path() / "Startup";
    startWith();
    typeInto("编辑框1", "abc");
    typeInto("编辑框2", "看看远方");
    typeInto("编辑框3", "");
    rt.setDateTimeValue(main, "日期框2", makeDateTime(1999, 3, 4, 9, 5, 9));
    rt.setChecked(main, "选择框1", true);
    for (int i = 0; i < 3; ++i) {
        rt.click(main, "按钮1");
    }
    const edb::Table t = storedTable();
    ASSERT_EQ(t.records.size(), 1u);
    EXPECT_EQ(t.records[0], recordOf({"abc", "看看远方", "2013年6月27日* 9:05:09", "", true}))
        << "the date the picker got at load, the picked time with its blank";
    EXPECT_EQ(state().eventTimeParts, (TextArray{"2013年6月27日", " 9:05:09"}));
    EXPECT_EQ(state().secondsToRest, 0) << "abc is no number";
    EXPECT_EQ(state().autoRun, 1);
}

TEST_F(SettingsTest, ApplyHidesThenSetsTheShortcutThenRestartsTheCountdown) {
    rt.startup = folder.path();
    startWith();
    ticks(5);
    ASSERT_EQ(state().secondsToRest, 2695);
    rt.setChecked(main, "选择框1", true);
    std::vector<std::string> seen;
    rt.onLog = [&](const std::string& entry) {
        seen.push_back(entry.substr(0, entry.find(' ')) + " " +
                       std::to_string(state().secondsToRest));
    };
    rt.click(main, "按钮1"); // the interval text is unchanged
    EXPECT_EQ(seen, (std::vector<std::string>{"hide 2695", "shortcut 2695"}));
    EXPECT_EQ(state().secondsToRest, 2700) << "every apply restarts the countdown";
}

TEST_F(SettingsTest, CancelKeepsWhatWasTypedForTheNextApply) {
    startWith();
    typeInto("编辑框1", "5");
    rt.click(main, "按钮2");
    EXPECT_FALSE(rt.windowVisible(main));
    EXPECT_EQ(std::get<Text>(storedTable().records[0].values[0]), "45") << "取消 stores nothing";
    rt.trayEvent(2);
    EXPECT_EQ(rt.text(main, "编辑框1"), "5");
    rt.click(main, "按钮1");
    EXPECT_EQ(std::get<Text>(storedTable().records[0].values[0]), "5");
    EXPECT_EQ(state().secondsToRest, 300);
}

TEST_F(SettingsTest, TextsLongerThanAFixedFieldAreCutByBytes) {
    startWith();
    // 提示频率 is 20 bytes wide: 19 ASCII digits and a two-byte character leave one byte of it.
    typeInto("编辑框1", "1234567890123456789分");
    rt.click(main, "按钮1");
    const Text stored = std::get<Text>(storedTable().records[0].values[0]);
    EXPECT_EQ(stored, Text("1234567890123456789分").substr(0, 20));
    EXPECT_EQ(state().restIntervalText, "1234567890123456789分")
        << "the state keeps the whole text";
}

TEST_F(SettingsTest, AnApplyWhoseWriteFailsOrIsCutOffKeepsTheOldRecord) {
    using files::testing::ScopedWriteFaults;
    using files::testing::WriteFaults;
    using files::testing::WriteStep;
    const auto failing = [](WriteStep step) {
        return WriteFaults{step, std::nullopt, std::nullopt};
    };
    const auto crashing = [](WriteStep step) {
        return WriteFaults{std::nullopt, step, std::nullopt};
    };
    const WriteFaults cutOff{std::nullopt, std::nullopt, 10};
    for (const WriteFaults& fault : {failing(WriteStep::write), failing(WriteStep::rename),
                                     crashing(WriteStep::rename), cutOff}) {
        ProgramHarness program;
        program.startWith({Settings{.interval = "45", .eventTime = "2013年6月27日*10:00:00"}});
        program.typeInto("编辑框1", "5");
        {
            const ScopedWriteFaults faults(fault);
            program.rt.click(WindowName::main, "按钮1");
        }
        const edb::Table t = program.storedTable();
        ASSERT_EQ(t.records.size(), 1u);
        EXPECT_EQ(std::get<Text>(t.records[0].values[0]), "45") << "the old record is whole";
        EXPECT_EQ(state().eventTimeParts, (TextArray{"2013年6月27日", "10:00:00"}))
            << "the event time comes from what the file holds";
        EXPECT_EQ(state().secondsToRest, 300) << "the countdown follows the window";
    }
}

TEST_F(SettingsTest, MissingFileStopsTheStartWithTheReportAndCreatesNoFile) {
    EXPECT_EQ(startExpectingErrorAsIs(),
              "运行时出错!\r\n\r\n错误信息：未指定当前数据库或者指定数据库未打开\r\n");
    EXPECT_FALSE(fs::exists(configurationPath()));
}

TEST_F(SettingsTest, DamagedFileStopsTheStartLikeAMissingOneAndIsLeftAlone) {
    std::string bytes = configurationFile({Settings{}});
    bytes[bytes.size() / 2] ^= 0x55;
    writeBytes(bytes);
    EXPECT_EQ(startExpectingErrorAsIs(),
              "运行时出错!\r\n\r\n错误信息：未指定当前数据库或者指定数据库未打开\r\n");
    std::ifstream in(configurationPath(), std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), bytes);
}

TEST_F(SettingsTest, WrongTypeStopsRightAfterItsReadWithErrorFive) {
    // 是否自动运行 as a text field: the three edit boxes are filled before the report.
    edb::Table table = edb::configurationTable();
    table.fields[4].type = edb::FieldType::text;
    table.fields[4].width = 0;
    table.records.push_back(
        {false, {Text("7"), Text("m1"), Text("2000年1月1日*12:00:00"), Text("m2"), Text("1")}});
    writeBytes(*edb::serialize(table));
    EXPECT_EQ(startExpectingErrorAsIs(),
              "运行时出错!\r\n\r\n错误代码：5\r\n\r\n错误信息：数据或数组类型不匹配\r\n");
    EXPECT_EQ(rt.text(WindowName::main, "编辑框1"), "7");
    EXPECT_EQ(rt.text(WindowName::main, "编辑框3"), "m2");
}

TEST_F(SettingsTest, MissingFieldStopsAtItsFirstRead) {
    edb::Table table = edb::configurationTable();
    table.fields.erase(table.fields.begin() + 3); // no 提示信息2
    table.records.push_back({false, {Text("7"), Text("m1"), Text(""), edb::Logical{false}}});
    writeBytes(*edb::serialize(table));
    EXPECT_EQ(startExpectingErrorAsIs(), "运行时出错!\r\n\r\n错误信息：指定字段不存在\r\n");
    EXPECT_EQ(rt.text(WindowName::main, "编辑框2"), "m1");
    EXPECT_EQ(rt.text(WindowName::main, "编辑框3"), "");
}

} // namespace
} // namespace rudi::testing
