#include "engine/state.h"

namespace rudi {

ProgramState& state() {
    static ProgramState theState;
    return theState;
}

void resetState() {
    state() = ProgramState{};
}

std::int32_t intervalInSeconds(std::string_view intervalText) {
    const double seconds = textToInteger(intervalText) * 60.0;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(truncateToInteger(seconds)));
}

} // namespace rudi
