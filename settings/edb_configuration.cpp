#include "settings/edb_configuration.h"

namespace rudi::edb {

Table configurationTable() {
    Table table;
    table.fields = {
        {"提示频率", FieldType::fixedText, 20},  {"提示信息1", FieldType::text, 0},
        {"事件时间", FieldType::fixedText, 32},  {"提示信息2", FieldType::text, 0},
        {"是否自动运行", FieldType::logical, 0},
    };
    return table;
}

Record defaultConfigurationRecord() {
    return Record{false,
                  {Text("45"), Text("休息一下吧，起来走走，看看远方。"),
                   Text("2000年1月1日*12:00:00"), Text("事件时间到了。"), Logical{false}}};
}

} // namespace rudi::edb
