#include "settings/settings_store.h"

#include "engine/date_time.h"
#include "engine/state.h"
#include "runtime/program_files.h"
#include "runtime/runtime.h"
#include "settings/record_database.h"
#include "system/startup_shortcut.h"

namespace rudi {

namespace {

constexpr WindowName main = WindowName::main;
constexpr std::string_view alias = "配置";
constexpr std::string_view noDatabase = "未指定当前数据库或者指定数据库未打开";
constexpr std::string_view noField = "指定字段不存在";
constexpr int typeMismatchCode = 5;
constexpr std::string_view typeMismatch = "数据或数组类型不匹配";

// The value of a field of the configuration record. The program cannot go on without it:
// a missing database or field, or a value of another type, ends it with the error report.
template <class Expected> Expected readExpected(Runtime& rt, std::string_view field) {
    const FieldRead read = databases().readField(field);
    if (read.outcome == ReadOutcome::noCurrentDatabase) {
        rt.reportError(std::nullopt, noDatabase);
    }
    if (read.outcome == ReadOutcome::noSuchField) {
        rt.reportError(std::nullopt, noField);
    }
    const Expected* value = std::get_if<Expected>(&read.value);
    if (value == nullptr) {
        rt.reportError(typeMismatchCode, typeMismatch);
    }
    return *value;
}

Text readText(Runtime& rt, std::string_view field) {
    return readExpected<Text>(rt, field);
}

void rebuildEventTimeParts(Runtime& rt) {
    state().eventTimeParts = splitText(readText(rt, "事件时间"), "*");
}

} // namespace

RecordDatabase& databases() {
    static RecordDatabase theDatabases;
    return theDatabases;
}

void loadSettings(Runtime& rt) {
    databases().openDatabase(programFile(rt.programDirectory(), u8"配置.edb"), alias);

    rt.setText(main, "编辑框1", readText(rt, "提示频率"));
    rt.setText(main, "编辑框2", readText(rt, "提示信息1"));
    rt.setText(main, "编辑框3", readText(rt, "提示信息2"));

    ProgramState& s = state();
    s.restIntervalText = readText(rt, "提示频率");
    s.secondsToRest = intervalInSeconds(s.restIntervalText);

    rt.setChecked(main, "选择框1", readExpected<edb::Logical>(rt, "是否自动运行").value);

    rebuildEventTimeParts(rt);
    rt.setDateTimeValue(main, "日期框1", currentDateTime());
}

void applySettings(Runtime& rt) {
    ProgramState& s = state();
    const Text interval = rt.text(main, "编辑框1");
    if (compareTexts(interval, s.restIntervalText) != 0) {
        s.restIntervalText = interval;
        s.secondsToRest = intervalInSeconds(s.restIntervalText);
    }
    s.restMessage = rt.text(main, "编辑框2");
    s.eventMessage = rt.text(main, "编辑框3");
    s.eventTimeText =
        buildEventTimeText(rt.dateTimeValue(main, "日期框1"), rt.dateTimeValue(main, "日期框2"));
    s.autoRun = rt.checked(main, "选择框1") == 1 ? 1 : 0;

    // The old record is replaced by the new one in a single write: a failure at any point
    // leaves the old record, never a file without one.
    RecordDatabase& db = databases();
    db.selectDatabase(alias);
    db.beginTransaction();
    db.deleteRecords(true);
    db.purgeDeleted();
    db.appendRecord({s.restIntervalText, s.restMessage, s.eventTimeText, s.eventMessage,
                     edb::Logical{s.autoRun == 1}});
    db.commit();

    rebuildEventTimeParts(rt);
    rt.setWindowVisible(main, false);
    updateStartupShortcut(rt);
    s.secondsToRest = intervalInSeconds(rt.text(main, "编辑框1"));
}

} // namespace rudi
