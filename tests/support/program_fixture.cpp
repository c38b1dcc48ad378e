#include "tests/support/program_fixture.h"

#include "engine/state.h"
#include "settings/edb_configuration.h"
#include "settings/record_database.h"
#include "settings/settings_store.h"

#include <atomic>
#include <fstream>
#include <random>

namespace rudi::testing {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
    static std::atomic<int> counter{0};
    std::random_device seed;
    path_ = fs::temp_directory_path() /
            ("rudi-test-" + std::to_string(seed()) + "-" + std::to_string(counter++));
    fs::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

edb::Record recordOf(const Settings& s) {
    return edb::Record{
        false, {s.interval, s.restMessage, s.eventTime, s.eventMessage, edb::Logical{s.autoRun}}};
}

std::string configurationFile(const std::vector<Settings>& records) {
    edb::Table table = edb::configurationTable();
    for (const Settings& s : records) {
        table.records.push_back(recordOf(s));
    }
    const auto bytes = edb::serialize(table);
    if (!bytes) {
        throw std::logic_error("the test's configuration does not fit the format");
    }
    return *bytes;
}

ProgramHarness::ProgramHarness() {
    resetState();
    databases() = RecordDatabase{};
    rt.programDir = folder.path();
}

ProgramHarness::~ProgramHarness() {
    resetState();
    databases() = RecordDatabase{};
}

void ProgramHarness::writeBytes(const std::string& bytes) {
    std::ofstream out(configurationPath(), std::ios::binary | std::ios::trunc);
    out << bytes;
}

void ProgramHarness::writeConfiguration(const std::vector<Settings>& records) {
    writeBytes(configurationFile(records));
}

void ProgramHarness::startWith(const std::vector<Settings>& records) {
    writeConfiguration(records);
    rt.start();
}

edb::Table ProgramHarness::storedTable() const {
    std::ifstream in(configurationPath(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto table = edb::parse(bytes);
    if (!table) {
        ADD_FAILURE() << "the configuration database does not parse";
        return {};
    }
    return *table;
}

void ProgramHarness::ticks(int count) {
    for (int i = 0; i < count; ++i) {
        clock.advance(1);
        rt.tick();
    }
}

} // namespace rudi::testing
