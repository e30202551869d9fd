// Every table as JSON, for --dump-tables: the active table's name, then per
// table its name (UTF-8), kind, fields with type and size, current record
// index and records as typed values.
#pragma once

#include <string>

namespace orva {

class TDBManager;

std::string TablesToJson(const TDBManager& tables);

}  // namespace orva
