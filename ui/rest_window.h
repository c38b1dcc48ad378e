// The rest window: full screen, translucent, topmost, until the user goes back to work.
#pragma once

#include "runtime/runtime.h"

namespace rudi {

WindowHandlers restWindowHandlers();

// The creation handler's steps, and the two ways a rest ends.
void onRestWindowCreated(Runtime& rt);
void onBackToWork(Runtime& rt);
void onRestWindowClosing(Runtime& rt);

} // namespace rudi
