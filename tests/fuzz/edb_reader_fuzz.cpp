// Arbitrary bytes into the .edb reader: it must refuse or accept without a fault, and whatever
// it accepts must be written back to exactly the same bytes. Each input is tried twice: as it
// is, and with its last four bytes replaced by the right checksum, so that mutations reach the
// structure behind the checksum instead of all stopping at it.
#include "settings/edb_format.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void check(std::string_view bytes) {
    using namespace rudi::edb;
    ParseError why = ParseError::none;
    std::optional<Table> table = parse(bytes, &why);
    if (!table) {
        if (why == ParseError::none || describe(why).empty()) {
            std::abort();
        }
        return;
    }
    std::optional<std::string> written = serialize(*table);
    if (!written || *written != bytes) {
        std::abort();
    }
    for (const Field& field : table->fields) {
        std::optional<std::size_t> index = findField(*table, field.name);
        if (!index || table->fields[*index].name != field.name) {
            std::abort();
        }
        for (const Record& record : table->records) {
            if (!fits(record.values[*index], field.type)) {
                std::abort();
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    check(bytes);
    if (size >= 4) {
        std::string sealed(bytes);
        std::uint32_t crc = rudi::edb::crc32(bytes.substr(0, size - 4));
        for (int i = 0; i < 4; ++i) {
            sealed[size - 4 + i] = static_cast<char>((crc >> (8 * i)) & 0xFF);
        }
        check(sealed);
    }
    return 0;
}
