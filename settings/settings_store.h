// The five settings in the configuration database: loaded when the main window is created,
// stored by 确定.
#pragma once

namespace rudi {

class Runtime;
class RecordDatabase;

// The databases the program has open; the configuration database among them once loaded.
RecordDatabase& databases();

void loadSettings(Runtime& rt);
void applySettings(Runtime& rt);

} // namespace rudi
