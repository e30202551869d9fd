// Tab-separated table files: the first line defines the fields ("name type
// size" per cell), every further non-empty line is one record. There is no
// quoting: a backslash escapes a backslash, a double quote, or "n" for a
// line break inside a text, and a tab cannot stand inside a cell.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orva {

class TDBTable;

// The lines of a text: CR LF, LF or CR end a line; a final line end adds no
// empty line.
std::vector<std::string> SplitTextLines(std::string_view text);

// The table as lines that LoadFromLines reads back into the same table
// (floats through their 15-digit text). What cannot be written so (a field
// name holding a blank, a tab or a line end; a text holding a tab or a lone
// CR or LF; a float that is not a number; a record that would make an empty
// line) throws OrvaError naming it.
std::vector<std::string> SaveToLines(const TDBTable& table);

// The lines joined with CR LF, each ended by one.
std::string JoinLines(const std::vector<std::string>& lines);

}  // namespace orva
