// The one-second tick: the event check, the countdown to the next rest, and the labels.
#pragma once

namespace rudi {

class Runtime;

void oneSecondTick(Runtime& rt);

} // namespace rudi
