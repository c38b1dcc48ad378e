// A program folder with a configuration database, a fake run time and a settable clock: the
// program can be started and driven as a user would, without Windows.
#pragma once

#include "settings/edb_format.h"
#include "tests/support/fake_runtime.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace rudi::testing {

// A fresh folder, removed with everything in it at the end.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// One configuration record as the supplied file lays it out.
struct Settings {
    Text interval = "45";
    Text restMessage = "休息一下";
    Text eventTime = "2000年1月1日*12:00:00";
    Text eventMessage = "事件";
    bool autoRun = false;
};

edb::Record recordOf(const Settings& settings);

// The bytes of a configuration database holding these records.
std::string configurationFile(const std::vector<Settings>& records);

// The program in a folder of its own; the state is reset at both ends.
class ProgramHarness {
  public:
    ProgramHarness();
    ~ProgramHarness();
    ProgramHarness(const ProgramHarness&) = delete;
    ProgramHarness& operator=(const ProgramHarness&) = delete;

    std::filesystem::path configurationPath() const { return folder.path() / u8"配置.edb"; }
    void writeConfiguration(const std::vector<Settings>& records);
    void writeBytes(const std::string& bytes);
    // Writes the configuration and starts the program (the main window loads the settings).
    void startWith(const std::vector<Settings>& records = {Settings{}});
    // The records of the configuration database as the file now holds them.
    edb::Table storedTable() const;

    void ticks(int count);
    void typeInto(std::string_view control, std::string_view text) {
        rt.setText(WindowName::main, control, text);
    }

    TempFolder folder;
    FakeClock clock;
    FakeRuntime rt;
};

class ProgramTest : public ::testing::Test, public ProgramHarness {};

} // namespace rudi::testing
