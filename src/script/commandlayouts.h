// The record layout of every script command: which fields follow the common
// base fields, in which order, and from which page version on. Loading,
// saving, the page assembler and the disassembler are all driven by this one
// table, so the layouts live in exactly one place.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace orva {

enum class FieldKind : uint8_t {
  Expr,       // a compiled expression (int32 step count, then steps)
  String,     // int32 length, then bytes
  Int,        // int32
  Byte,       // one byte
  ExprList,   // int32 count, then that many expressions
  Props,      // one expression per property whose bit is set in the page's mask for this type
  TextData,   // int32 byte length, then the bytes of tagged text
};

struct FieldLayout {
  FieldKind kind;
  std::string_view name;  // the name the page source uses for the field
  int sinceVersion = 0;   // present only when the page version exceeds this (0: always)
};

struct CommandLayout {
  uint8_t code;
  std::string_view className;  // TComIf ...
  std::string_view keyword;    // the page source's name: If, Call, BoxNew ...
  std::vector<FieldLayout> fields;
};

inline constexpr int kCommandTypeCount = 64;

// The layout of a type code (0..63), or null.
const CommandLayout* CommandLayoutOf(int code);
// The layout of a page-source keyword (case-insensitive), or null.
const CommandLayout* CommandLayoutByKeyword(std::string_view keyword);

}  // namespace orva
