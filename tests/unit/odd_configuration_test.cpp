// Damaged and odd configuration files through the program's start: each gives the outcome the
// program defines (an exact error report, or a sound start) and a start never changes the file.
#include "engine/state.h"
#include "settings/edb_configuration.h"
#include "tests/support/program_fixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

namespace rudi::testing {
namespace {

constexpr const char* noDatabase =
    "运行时出错!\r\n\r\n错误信息：未指定当前数据库或者指定数据库未打开\r\n";
constexpr const char* noField = "运行时出错!\r\n\r\n错误信息：指定字段不存在\r\n";
constexpr const char* wrongType =
    "运行时出错!\r\n\r\n错误代码：5\r\n\r\n错误信息：数据或数组类型不匹配\r\n";

// The supplied layout with one change made to its table.
std::string tableFile(const std::function<void(edb::Table&)>& change) {
    edb::Table table = edb::configurationTable();
    table.records.push_back(recordOf(Settings{}));
    change(table);
    return *edb::serialize(table);
}

struct OddFile {
    const char* name;
    std::function<std::string()> bytes;
    const char* report; // nullptr: the program starts and runs
};

// The bytes of a file of the supplied layout with its checksum made right again after a change,
// so that the reader meets the change itself.
std::string withChecksum(std::string bytes) {
    bytes.resize(bytes.size() - 4);
    const std::uint32_t crc = edb::crc32(bytes);
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<char>((crc >> (8 * i)) & 0xFF));
    }
    return bytes;
}

const std::string valid = configurationFile({Settings{}});

std::vector<OddFile> oddFiles() {
    std::vector<OddFile> files = {
        {"empty", [] { return std::string(); }, noDatabase},
        {"headerOnly", [] { return valid.substr(0, 16); }, noDatabase},
        {"wrongMagic",
         [] {
             std::string b = valid;
             b[0] = 'X';
             return withChecksum(b);
         },
         noDatabase},
        {"wrongVersion",
         [] {
             std::string b = valid;
             b[8] = 9;
             return withChecksum(b);
         },
         noDatabase},
        {"badChecksum",
         [] {
             std::string b = valid;
             b.back() ^= 1;
             return b;
         },
         noDatabase},
        {"textLongerThanItsWidth",
         [] {
             // 提示频率 is 20 bytes wide; a record holding 21 is not a valid file.
             const std::string wide = tableFile([](edb::Table& t) {
                 t.fields[0].width = 21;
                 t.records[0].values[0] = Text(21, '7');
             });
             std::string narrowed = wide;
             narrowed[16 + 1 + byteLength("提示频率") + 1] = 20; // the width field, low byte
             return withChecksum(narrowed);
         },
         noDatabase},
        {"noIntervalField",
         [] {
             return tableFile([](edb::Table& t) {
                 t.fields.erase(t.fields.begin());
                 t.records[0].values.erase(t.records[0].values.begin());
             });
         },
         noField},
        {"noAutoRunField",
         [] {
             return tableFile([](edb::Table& t) {
                 t.fields.pop_back();
                 t.records[0].values.pop_back();
             });
         },
         noField},
        {"intervalIsLogical",
         [] {
             return tableFile([](edb::Table& t) {
                 t.fields[0] = {t.fields[0].name, edb::FieldType::logical, 0};
                 t.records[0].values[0] = edb::Logical{true};
             });
         },
         wrongType},
        {"eventTimeIsLogical",
         [] {
             return tableFile([](edb::Table& t) {
                 t.fields[2] = {t.fields[2].name, edb::FieldType::logical, 0};
                 t.records[0].values[2] = edb::Logical{false};
             });
         },
         wrongType},
        {"noRecords", [] { return configurationFile({}); }, nullptr},
        {"severalRecords",
         [] {
             return configurationFile({Settings{}, Settings{.interval = "9"}});
         },
         nullptr},
        {"eventTimeWithoutStar",
         [] { return configurationFile({Settings{.eventTime = "2013年6月27日"}}); }, nullptr},
        {"eventTimeWithLeadingStar",
         [] { return configurationFile({Settings{.eventTime = "*10:00:01"}}); }, nullptr},
        {"eventTimeEmpty", [] { return configurationFile({Settings{.eventTime = ""}}); }, nullptr},
    };
    // Cut at every byte: never a start, always the same report.
    for (std::size_t n = 1; n < valid.size(); n += 7) {
        files.push_back({"truncated", [n] { return valid.substr(0, n); }, noDatabase});
    }
    return files;
}

TEST(OddConfiguration, EachFileGivesItsOutcomeAndIsLeftAsItWas) {
    for (const OddFile& odd : oddFiles()) {
        const std::string bytes = odd.bytes();
        SCOPED_TRACE(std::string(odd.name) + ", " + std::to_string(bytes.size()) + " bytes");
        ProgramHarness program;
        program.clock.set({2013, 6, 27, 10, 0, 0});
        program.writeBytes(bytes);
        bool ended = false;
        try {
            program.rt.start();
            for (int i = 0; i < 3; ++i) {
                program.ticks(1);
            }
        } catch (const ProgramEnded&) {
            ended = true;
        }
        if (odd.report != nullptr) {
            EXPECT_TRUE(ended);
            EXPECT_EQ(program.rt.exitCode, -1);
            ASSERT_EQ(program.rt.messageBoxes.size(), 1u);
            EXPECT_EQ(program.rt.messageBoxes[0].text, odd.report);
        } else {
            EXPECT_FALSE(ended) << "the program starts and keeps running";
            EXPECT_TRUE(program.rt.messageBoxes.empty());
            EXPECT_TRUE(program.rt.windowVisible(WindowName::main));
        }
        std::ifstream in(program.configurationPath(), std::ios::binary);
        EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), bytes)
            << "a start never writes the file";
    }
}

} // namespace
} // namespace rudi::testing
