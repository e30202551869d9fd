// Searching and sorting the records of a table.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

#include "common/cp932.h"
#include "tables/dbs.h"

namespace orva {

namespace {

// Upper-cases ASCII letters of single-byte characters; double-byte
// characters (paired only with a valid trail byte) are copied whole.
void FoldUpper(std::string_view s, std::string& out) {
  out.assign(s);
  for (size_t i = 0; i < out.size();) {
    const size_t len = cp932::StrictCharLength(out, i);
    if (len == 1 && out[i] >= 'a' && out[i] <= 'z') out[i] = static_cast<char>(out[i] - 32);
    i += len;
  }
}

// True when needle occurs in hay starting and ending on character
// boundaries: "A" is not found inside "ア" (0x83 0x41), nor "\" inside "表".
bool ContainsWhole(std::string_view hay, std::string_view needle) {
  if (needle.empty()) return true;
  size_t boundary = 0;  // a character start at or after every position tried
  size_t from = 0;
  while (true) {
    const size_t p = hay.find(needle, from);
    if (p == std::string_view::npos) return false;
    while (boundary < p) boundary += cp932::StrictCharLength(hay, boundary);
    if (boundary == p) {
      size_t end = p;
      while (end < p + needle.size()) end += cp932::StrictCharLength(hay, end);
      if (end == p + needle.size()) return true;
      from = p + 1;
    } else {
      from = boundary;
    }
  }
}

enum class MatchMode { Int, Float, Bool, Text, TextCI, Part, PartCI };

struct Matcher {
  int field = -1;
  const TDBField* f = nullptr;
  MatchMode mode = MatchMode::Text;
  int32_t i = 0;
  Float x = 0;
  bool b = false;
  std::string text;  // upper-cased for PartCI
};

// Reused buffers of one search.
struct Scratch {
  std::string text;
  std::string folded;
};

bool Matches(const TDBTable& t, int32_t rec, const Matcher& m, Scratch& scratch) {
  switch (m.mode) {
    case MatchMode::Int: {
      int32_t v;
      return t.GetIntAt(rec, m.field, v) && v == m.i;
    }
    case MatchMode::Float: {
      Float v;
      return t.GetFloatAt(rec, m.field, v) && v == m.x;
    }
    case MatchMode::Bool: {
      bool v;
      return t.GetBoolAt(rec, m.field, v) && v == m.b;
    }
    default: break;
  }
  std::string_view text;
  if (m.f->type == TDBFieldType::Str) {
    text = t.TextAt(rec, m.field);
  } else {
    if (!t.GetStrAt(rec, m.field, scratch.text)) return false;
    text = scratch.text;
  }
  switch (m.mode) {
    case MatchMode::Text: return text == m.text;
    case MatchMode::TextCI: return cp932::SameTextCI(text, m.text);
    case MatchMode::Part: return ContainsWhole(text, m.text);
    case MatchMode::PartCI:
      FoldUpper(text, scratch.folded);
      return ContainsWhole(scratch.folded, m.text);
    default: return false;
  }
}

// The matchers of a key list; false when a key names no field.
bool MakeMatchers(const TDBFieldList& fields, const std::vector<TDBKey>& keys, bool ci, bool partial,
                  std::vector<Matcher>& out) {
  for (const TDBKey& k : keys) {
    Matcher m;
    m.field = fields.IndexOf(k.field);
    if (m.field < 0) return false;
    m.f = &fields[m.field];
    if (const auto* v = std::get_if<int32_t>(&k.value)) {
      m.mode = MatchMode::Int;
      m.i = *v;
    } else if (const auto* x = std::get_if<Float>(&k.value)) {
      m.mode = MatchMode::Float;
      m.x = *x;
    } else if (const auto* b = std::get_if<bool>(&k.value)) {
      m.mode = MatchMode::Bool;
      m.b = *b;
    } else {
      const std::string& s = std::get<std::string>(k.value);
      if (partial && ci) {
        m.mode = MatchMode::PartCI;
        FoldUpper(s, m.text);
      } else {
        m.mode = partial ? MatchMode::Part : ci ? MatchMode::TextCI : MatchMode::Text;
        m.text = s;
      }
    }
    out.push_back(std::move(m));
  }
  return true;
}

// A float order that is total: NaNs after every number, equal to each other.
int CompareFloat(Float a, Float b) {
  const bool na = std::isnan(a), nb = std::isnan(b);
  if (na || nb) return na == nb ? 0 : (na ? 1 : -1);
  return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

template <class Visit>
void TDBTable::ForEachMatch(const std::vector<TDBKey>& keys, bool caseInsensitive, bool partial,
                            Visit&& visit) const {
  std::vector<Matcher> matchers;
  if (!MakeMatchers(fields_, keys, caseInsensitive, partial, matchers)) return;
  // Whole-record fast path for the common search: one int key on an int
  // field.
  if (matchers.size() == 1 && matchers[0].mode == MatchMode::Int && matchers[0].f->type == TDBFieldType::Int) {
    const size_t size = static_cast<size_t>(fields_.RecordSize());
    const uint8_t* p = data_.data() + matchers[0].f->offset;
    const uint32_t want = static_cast<uint32_t>(matchers[0].i);
    for (int32_t r = 0; r < count_; ++r, p += size) {
      const uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
      if (v == want && !visit(r)) return;
    }
    return;
  }
  Scratch scratch;
  for (int32_t r = 0; r < count_; ++r) {
    bool all = true;
    for (const Matcher& m : matchers)
      if (!Matches(*this, r, m, scratch)) {
        all = false;
        break;
      }
    if (all && !visit(r)) return;
  }
}

std::vector<int32_t> TDBTable::Locate(const std::vector<TDBKey>& keys, bool caseInsensitive, bool partial) const {
  std::vector<int32_t> out;
  ForEachMatch(keys, caseInsensitive, partial, [&](int32_t r) {
    out.push_back(r);
    return true;
  });
  return out;
}

int32_t TDBTable::LocateFirst(const std::vector<TDBKey>& keys, bool caseInsensitive, bool partial) const {
  int32_t found = -1;
  ForEachMatch(keys, caseInsensitive, partial, [&](int32_t r) {
    found = r;
    return false;
  });
  return found;
}

void TDBTable::Sort(const std::vector<TDBSortKey>& keys) {
  // Each key's values are taken out once into a column; the records are
  // then ordered by index and moved in one pass.
  struct Column {
    TDBFieldType type;
    bool descending;
    std::vector<int32_t> ints;       // int and bool keys
    std::vector<Float> floats;
    std::vector<std::string_view> texts;
    std::vector<uint64_t> prefixes;  // the first 8 bytes of each text, big-endian
  };
  std::vector<Column> columns;
  for (const TDBSortKey& k : keys) {
    const int fi = fields_.IndexOf(k.field);
    if (fi < 0) continue;
    const TDBField& f = fields_[fi];
    Column c{f.type, k.descending, {}, {}, {}, {}};
    for (int32_t r = 0; r < count_; ++r) {
      switch (f.type) {
        case TDBFieldType::Int:
        case TDBFieldType::Bool: {
          int32_t v = 0;
          GetIntAt(r, fi, v);
          c.ints.push_back(v);
          break;
        }
        case TDBFieldType::Float: {
          Float v = 0;
          GetFloatAt(r, fi, v);
          c.floats.push_back(v);
          break;
        }
        case TDBFieldType::Str: {
          // Texts hold no zero byte, so zero padding keeps a prefix first.
          const std::string_view text = TextAt(r, fi);
          uint64_t prefix = 0;
          for (size_t i = 0; i < 8; ++i)
            prefix = prefix << 8 | (i < text.size() ? static_cast<unsigned char>(text[i]) : 0u);
          c.texts.push_back(text);
          c.prefixes.push_back(prefix);
          break;
        }
      }
    }
    columns.push_back(std::move(c));
  }
  if (columns.empty() || count_ < 2) return;

  std::vector<int32_t> order(static_cast<size_t>(count_));
  std::iota(order.begin(), order.end(), 0);
  auto compare = [&](int32_t a, int32_t b) {
    for (const Column& c : columns) {
      int d = 0;
      switch (c.type) {
        case TDBFieldType::Int: {
          const int32_t x = c.ints[static_cast<size_t>(a)], y = c.ints[static_cast<size_t>(b)];
          d = x < y ? -1 : (y < x ? 1 : 0);
          if (c.descending) d = -d;
          break;
        }
        case TDBFieldType::Float:
          d = CompareFloat(c.floats[static_cast<size_t>(a)], c.floats[static_cast<size_t>(b)]);
          if (c.descending) d = -d;
          break;
        // Bool and string keys ignore the descending flag.
        case TDBFieldType::Bool: d = c.ints[static_cast<size_t>(a)] - c.ints[static_cast<size_t>(b)]; break;
        case TDBFieldType::Str: {
          const uint64_t x = c.prefixes[static_cast<size_t>(a)], y = c.prefixes[static_cast<size_t>(b)];
          if (x != y) {
            d = x < y ? -1 : 1;
            break;
          }
          const int cmp = c.texts[static_cast<size_t>(a)].compare(c.texts[static_cast<size_t>(b)]);
          d = cmp < 0 ? -1 : (cmp > 0 ? 1 : 0);
          break;
        }
      }
      if (d != 0) return d < 0;
    }
    return false;
  };
  std::stable_sort(order.begin(), order.end(), compare);

  const size_t size = static_cast<size_t>(fields_.RecordSize());
  if (size == 0) return;
  std::vector<uint8_t> sorted(data_.size());
  for (size_t i = 0; i < order.size(); ++i)
    std::memcpy(sorted.data() + i * size, data_.data() + static_cast<size_t>(order[i]) * size, size);
  data_ = std::move(sorted);
}

}  // namespace orva
