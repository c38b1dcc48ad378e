// The layout of the configuration database supplied beside the program, and its first record.
#pragma once

#include "settings/edb_format.h"

namespace rudi::edb {

// The five fields in their fixed order: 提示频率 (fixed, 20 bytes), 提示信息1 (text),
// 事件时间 (fixed, 32 bytes: an event time text is at most 23), 提示信息2 (text),
// 是否自动运行 (logical). No records.
Table configurationTable();

// The record supplied with the program: a 45-minute interval, a rest message, an event time
// in the past with its message, not run at logon.
Record defaultConfigurationRecord();

} // namespace rudi::edb
