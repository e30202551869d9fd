// A small XML element tree: elements with attributes, text and children,
// names compared case-insensitively, CP932 text kept as bytes. Used for the
// header of layered pictures.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orva {

class TMxXml {
 public:
  explicit TMxXml(std::string name = {}) : Name(std::move(name)) {}

  std::string Name;
  std::string Text;
  std::vector<std::pair<std::string, std::string>> Attributes;
  std::vector<std::unique_ptr<TMxXml>> Children;

  TMxXml& AddChild(std::string name);
  // The first child with that name (any case), or null.
  const TMxXml* Child(std::string_view name) const;
  // The index-th child with that name, or null.
  const TMxXml* Child(std::string_view name, int index) const;
  const std::string* Attribute(std::string_view name) const;
  void SetAttribute(std::string_view name, std::string value);
  void SetAttribute(std::string_view name, int64_t value) { SetAttribute(name, std::to_string(value)); }
  // A missing or non-numeric value gives the default.
  int32_t IntAttribute(std::string_view name, int32_t def) const;
  // True only for "1"; missing gives the default.
  bool BoolAttribute(std::string_view name, bool def) const;

  // The element tree as text: one element per line, two spaces of indent
  // per depth, CR LF line ends.
  std::string Write() const;
  // Parses one element tree (an optional declaration and comments are
  // skipped). Malformed text throws OrvaError "ファイルが破壊されています".
  static std::unique_ptr<TMxXml> Parse(std::string_view text);

 private:
  void WriteTo(std::string& out, int depth) const;
};

// Escapes &, ", <, > and characters 1..31 of a text or attribute value.
std::string XmlEscape(std::string_view s);

}  // namespace orva
