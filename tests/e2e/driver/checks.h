// The checks, each a function that starts its own rudi.exe; main.cpp lists them in order.
#pragma once

#include "tests/e2e/driver/check.h"
#include "tests/e2e/driver/rudi_run.h"

namespace e2e {

// window_checks.cpp
void checkWindowFrame(Check& check, const Setup& setup);
void checkControls(Check& check, const Setup& setup);
void checkSettingsAndCountdown(Check& check, const Setup& setup);
void checkPages(Check& check, const Setup& setup);
// colour_check.cpp
void checkPaintedColours(Check& check, const Setup& setup);
// apply_check.cpp
void checkApplySettings(Check& check, const Setup& setup);
// integer_input_check.cpp
void checkIntegerInput(Check& check, const Setup& setup);
// tray_checks.cpp
void checkCancelAndTrayDoubleClick(Check& check, const Setup& setup);
void checkTrayMenu(Check& check, const Setup& setup);
void checkTaskbarCreated(Check& check, const Setup& setup);
void checkEscapeCloses(Check& check, const Setup& setup);
// error_check.cpp
void checkMissingConfiguration(Check& check, const Setup& setup);
void checkReadOnlyConfiguration(Check& check, const Setup& setup);
void checkReadOnlyFolder(Check& check, const Setup& setup);
// edb_dump_check.cpp
void checkStoredRecordWithEdb(Check& check, const Setup& setup);
// event_checks.cpp
void checkEventReminder(Check& check, const Setup& setup);
void checkTwentyEvents(Check& check, const Setup& setup);
// rest_window_check.cpp
void checkRestWindow(Check& check, const Setup& setup);
// environment_trials.cpp
void checkUnicodeFolders(Check& check, const Setup& setup);
void checkMissingStartupFolder(Check& check, const Setup& setup);
void checkExplorerRestart(Check& check, const Setup& setup);
// file_trials.cpp
void checkKilledDuringApplies(Check& check, const Setup& setup);
void checkKilledDuringAppliesLong(Check& check, const Setup& setup);
void checkTwoCopies(Check& check, const Setup& setup);
void checkTwoCopiesLong(Check& check, const Setup& setup);
// input_trials.cpp
void checkBigTexts(Check& check, const Setup& setup);
void checkOddBytes(Check& check, const Setup& setup);
// memory_check.cpp
void checkMemoryOverRests(Check& check, const Setup& setup);
void checkMemoryTwoHours(Check& check, const Setup& setup);
// clock_trials.cpp
void checkClockSetForwardAndBack(Check& check, const Setup& setup);
void checkLongSuspend(Check& check, const Setup& setup);
// shutdown_check.cpp
void checkShutdownCommand(Check& check, const Setup& setup);

} // namespace e2e
