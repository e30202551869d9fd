#include "tables/dbtsv.h"

#include <cmath>

#include "common/cp932.h"
#include "common/errors.h"
#include "expr/extended.h"
#include "tables/dbs.h"

namespace orva {

namespace {

constexpr int32_t kDefaultTextSize = 80;

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Cells of a line: a tab ends a cell even when it is empty; the text after
// the last tab is a cell only when it is not empty. Tabs are never trail
// bytes, so they are found byte by byte.
void SplitCells(std::string_view line, std::vector<std::string_view>& cells) {
  cells.clear();
  size_t start = 0;
  for (size_t i = 0; i < line.size(); ++i)
    if (line[i] == '\t') {
      cells.push_back(line.substr(start, i - start));
      start = i + 1;
    }
  if (start < line.size()) cells.push_back(line.substr(start));
}

// Undoes the escapes of a data line: backslash + double quote or backslash
// keeps the second character, backslash + "n" is CR LF, any other backslash
// stays. Double-byte characters are skipped whole, so the trail byte 0x5C of
// "ソ" or "表" is never an escape.
void Unescape(std::string_view line, std::string& out) {
  out.clear();
  for (size_t i = 0; i < line.size();) {
    const size_t len = cp932::StrictCharLength(line, i);
    if (len == 1 && line[i] == '\\' && i + 1 < line.size()) {
      const char next = line[i + 1];
      if (next == '"' || next == '\\') {
        out += next;
        i += 2;
        continue;
      }
      if (next == 'n') {
        out += "\r\n";
        i += 2;
        continue;
      }
    }
    out.append(line.substr(i, len));
    i += len;
  }
}

struct HeaderCell {
  std::string name;
  int type = 4;
  int32_t size = kDefaultTextSize;
};

// "name type size": the text up to the first blank is the name, the next
// word the type word, the rest the declared size.
HeaderCell ParseHeaderCell(std::string_view cell) {
  HeaderCell h;
  const size_t blank = cell.find(' ');
  h.name = std::string(Trim(cell.substr(0, blank)));
  if (blank == std::string_view::npos) return h;
  std::string_view rest = cell.substr(blank + 1);
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  const size_t next = rest.find(' ');
  const std::string_view word = Trim(rest.substr(0, next));
  if (word == "int")
    h.type = 1;
  else if (word == "float")
    h.type = 2;
  else if (word == "bool")
    h.type = 3;
  if (next != std::string_view::npos) h.size = ParseIntText(Trim(rest.substr(next + 1))).value_or(kDefaultTextSize);
  return h;
}


[[noreturn]] void Unwritable(const std::string& what) {
  throw OrvaError(what + Sys(" cannot be written as a table line"));
}

std::string Where(int32_t rec, const TDBField& f) {
  return Sys("record ") + std::to_string(rec) + Sys(", field ") + f.name;
}

// Escapes a text for a data cell.
void EscapeText(std::string_view s, std::string& out, int32_t rec, const TDBField& f) {
  bool afterLoneLead = false;
  for (size_t i = 0; i < s.size();) {
    const size_t len = cp932::StrictCharLength(s, i);
    const char c = s[i];
    if (len == 2) {
      out.append(s.substr(i, 2));
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') {
      // A lone lead byte before the escape would pair with its backslash.
      if (afterLoneLead) Unwritable(Where(rec, f));
      out += "\\n";
      afterLoneLead = false;
      i += 2;
      continue;
    } else if (c == '\r' || c == '\n' || c == '\t') {
      Unwritable(Where(rec, f));
    } else {
      out += c;
    }
    afterLoneLead = len == 1 && cp932::IsLeadByte(static_cast<unsigned char>(c));
    i += len;
  }
}

}  // namespace

std::vector<std::string> SplitTextLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\r' && c != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\r\n";
  return out;
}

bool TDBTable::LoadFromLines(const std::vector<std::string>& lines, TDBLoadReport* report) {
  if (lines.empty()) return false;
  // Built aside and swapped in only when the whole load succeeds.
  TDBTable fresh(name_, kind_);
  std::vector<std::string_view> cells;
  SplitCells(lines[0], cells);
  for (size_t k = 0; k < cells.size(); ++k) {
    const HeaderCell h = ParseHeaderCell(cells[k]);
    if (h.name.empty()) return false;
    if (fresh.AddField(h.name, h.type, h.size) < 0 && report)
      report->warnings.push_back(Sys("header cell ") + std::to_string(k + 1) + " \"" + std::string(cells[k]) +
                                 Sys("\" skipped (a repeated name or a size out of range): later cells shift"));
  }
  const TDBFieldList& fields = fresh.FieldList();
  std::string unescaped;
  for (size_t l = 1; l < lines.size(); ++l) {
    const std::string& line = lines[l];
    if (line.empty()) continue;
    std::string_view text = line;
    if (line.find('\\') != std::string::npos) {
      Unescape(line, unescaped);
      text = unescaped;
    }
    SplitCells(text, cells);
    fresh.InsertRecord();
    const int n = std::min(static_cast<int>(cells.size()), fields.Count());
    for (int j = 0; j < n; ++j) {
      fresh.SetStrAt(fresh.count_ - 1, j, cells[static_cast<size_t>(j)]);
      const TDBField& f = fields[j];
      if (report && f.type == TDBFieldType::Str && cells[static_cast<size_t>(j)].size() > static_cast<size_t>(f.DeclaredSize()))
        report->warnings.push_back(Sys("line ") + std::to_string(l + 1) + Sys(", field ") + f.name + ": " +
                                   std::to_string(cells[static_cast<size_t>(j)].size()) + Sys(" bytes cut to ") +
                                   std::to_string(f.DeclaredSize()));
    }
  }
  TakeContent(fresh);
  return true;
}

std::vector<std::string> SaveToLines(const TDBTable& table) {
  const TDBFieldList& fields = table.FieldList();
  std::vector<std::string> lines;
  std::string header;
  for (int i = 0; i < fields.Count(); ++i) {
    const TDBField& f = fields[i];
    bool ok = !f.name.empty();
    for (char c : f.name) ok = ok && !IsBlank(c);
    if (!ok) Unwritable(Sys("field name \"") + f.name + "\"");
    if (i) header += '\t';
    header += f.name;
    header += ' ';
    header += FieldTypeWord(f.type);
    if (f.type == TDBFieldType::Str) {
      header += ' ';
      header += std::to_string(f.DeclaredSize());
    }
  }
  lines.push_back(std::move(header));
  std::string text;
  for (int32_t r = 0; r < table.RecordCount(); ++r) {
    std::string line;
    for (int i = 0; i < fields.Count(); ++i) {
      const TDBField& f = fields[i];
      if (i) line += '\t';
      if (f.type == TDBFieldType::Str) {
        EscapeText(table.TextAt(r, i), line, r, f);
        continue;
      }
      if (f.type == TDBFieldType::Float) {
        Float x = 0;
        table.GetFloatAt(r, i, x);
        if (!std::isfinite(x)) Unwritable(Where(r, f));
      }
      table.GetStrAt(r, i, text);
      line += text;
    }
    if (line.empty()) Unwritable(Sys("record ") + std::to_string(r));
    lines.push_back(std::move(line));
  }
  return lines;
}

}  // namespace orva
