#include "imaging/mxxml.h"

#include <charconv>
#include <cstring>

#include "common/cp932.h"
#include "common/errors.h"
#include "imaging/pictures.h"

namespace orva {

TMxXml& TMxXml::AddChild(std::string name) {
  Children.push_back(std::make_unique<TMxXml>(std::move(name)));
  return *Children.back();
}

const TMxXml* TMxXml::Child(std::string_view name) const { return Child(name, 0); }

const TMxXml* TMxXml::Child(std::string_view name, int index) const {
  for (const auto& c : Children)
    if (cp932::SameTextCI(c->Name, name) && index-- == 0) return c.get();
  return nullptr;
}

const std::string* TMxXml::Attribute(std::string_view name) const {
  for (const auto& [k, v] : Attributes)
    if (cp932::SameTextCI(k, name)) return &v;
  return nullptr;
}

void TMxXml::SetAttribute(std::string_view name, std::string value) {
  for (auto& [k, v] : Attributes)
    if (cp932::SameTextCI(k, name)) {
      v = std::move(value);
      return;
    }
  Attributes.emplace_back(std::string(name), std::move(value));
}

int32_t TMxXml::IntAttribute(std::string_view name, int32_t def) const {
  const std::string* v = Attribute(name);
  if (!v) return def;
  std::string_view s = *v;
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  int32_t out = 0;
  const char* b = s.data();
  if (!s.empty() && s.front() == '+') ++b;
  auto [p, ec] = std::from_chars(b, s.data() + s.size(), out);
  if (ec != std::errc() || p != s.data() + s.size() || s.empty()) return def;
  return out;
}

bool TMxXml::BoolAttribute(std::string_view name, bool def) const {
  const std::string* v = Attribute(name);
  return v ? *v == "1" : def;
}

std::string XmlEscape(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (cp932::IsLeadByte(c) && i + 1 < s.size()) {
      out += s[i];
      out += s[++i];
      continue;
    }
    switch (c) {
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default:
        if (c >= 1 && c <= 31) out.append("&#").append(std::to_string(c)).append(";");
        else out += static_cast<char>(c);
    }
  }
  return out;
}

void TMxXml::WriteTo(std::string& out, int depth) const {
  const size_t indent = static_cast<size_t>(depth) * 2;
  out.append(indent, ' ').append("<").append(Name);
  for (const auto& [k, v] : Attributes) out.append(" ").append(k).append("=\"").append(XmlEscape(v)).append("\"");
  if (Text.empty() && Children.empty()) {
    out.append(" />\r\n");
    return;
  }
  out.append(">").append(XmlEscape(Text));
  if (!Children.empty()) {
    out.append("\r\n");
    for (const auto& c : Children) c->WriteTo(out, depth + 1);
    out.append(indent, ' ');
  }
  out.append("</").append(Name).append(">\r\n");
}

std::string TMxXml::Write() const {
  std::string out;
  WriteTo(out, 0);
  return out;
}

namespace {

class Parser {
 public:
  explicit Parser(std::string_view s) : s_(s) {}

  std::unique_ptr<TMxXml> Document() {
    SkipMisc();
    auto root = Element(0);
    SkipMisc();
    if (pos_ != s_.size()) ThrowBrokenFile();
    return root;
  }

 private:
  static constexpr int kMaxDepth = 64;

  bool At(std::string_view t) const { return s_.substr(pos_, t.size()) == t; }
  void Expect(char c) {
    if (pos_ >= s_.size() || s_[pos_] != c) ThrowBrokenFile();
    ++pos_;
  }
  void SkipSpace() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\r' || s_[pos_] == '\n')) ++pos_;
  }
  void SkipUntil(std::string_view end) {
    const size_t at = s_.find(end, pos_);
    if (at == std::string_view::npos) ThrowBrokenFile();
    pos_ = at + end.size();
  }
  // Declarations, processing instructions and comments between elements.
  void SkipMisc() {
    for (;;) {
      SkipSpace();
      if (At("<?")) SkipUntil("?>");
      else if (At("<!--")) SkipUntil("-->");
      else if (At("<!")) SkipUntil(">");
      else return;
    }
  }
  static bool NameChar(char c) {
    return c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '=' && c != '>' && c != '/' && c != '<' &&
           c != '"' && c != '\'';
  }
  std::string Name() {
    const size_t start = pos_;
    while (pos_ < s_.size() && NameChar(s_[pos_])) ++pos_;
    if (pos_ == start) ThrowBrokenFile();
    return std::string(s_.substr(start, pos_ - start));
  }
  std::string Unescape(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] != '&') {
        out += raw[i];
        continue;
      }
      const size_t semi = raw.find(';', i);
      if (semi == std::string_view::npos) ThrowBrokenFile();
      const std::string_view ent = raw.substr(i + 1, semi - i - 1);
      if (ent == "amp") out += '&';
      else if (ent == "quot") out += '"';
      else if (ent == "lt") out += '<';
      else if (ent == "gt") out += '>';
      else if (ent == "apos") out += '\'';
      else if (ent.size() > 1 && ent[0] == '#') {
        const bool hex = ent[1] == 'x' || ent[1] == 'X';
        uint32_t code = 0;
        const std::string_view digits = ent.substr(hex ? 2 : 1);
        auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
        if (ec != std::errc() || p != digits.data() + digits.size() || code == 0 || code > 255) ThrowBrokenFile();
        out += static_cast<char>(code);
      } else {
        ThrowBrokenFile();
      }
      i = semi;
    }
    return out;
  }
  std::unique_ptr<TMxXml> Element(int depth) {
    if (depth > kMaxDepth) ThrowBrokenFile();
    Expect('<');
    auto e = std::make_unique<TMxXml>(Name());
    for (;;) {
      SkipSpace();
      if (pos_ >= s_.size()) ThrowBrokenFile();
      if (At("/>")) {
        pos_ += 2;
        return e;
      }
      if (s_[pos_] == '>') {
        ++pos_;
        break;
      }
      std::string key = Name();
      SkipSpace();
      Expect('=');
      SkipSpace();
      if (pos_ >= s_.size() || (s_[pos_] != '"' && s_[pos_] != '\'')) ThrowBrokenFile();
      const char q = s_[pos_++];
      const size_t end = s_.find(q, pos_);
      if (end == std::string_view::npos) ThrowBrokenFile();
      e->Attributes.emplace_back(std::move(key), Unescape(s_.substr(pos_, end - pos_)));
      pos_ = end + 1;
    }
    // Content: text pieces and child elements until the end tag.
    std::string text;
    for (;;) {
      const size_t lt = s_.find('<', pos_);
      if (lt == std::string_view::npos) ThrowBrokenFile();
      text += Unescape(s_.substr(pos_, lt - pos_));
      pos_ = lt;
      if (At("</")) {
        pos_ += 2;
        const std::string endName = Name();
        if (!cp932::SameTextCI(endName, e->Name)) ThrowBrokenFile();
        SkipSpace();
        Expect('>');
        break;
      }
      if (At("<!--")) {
        SkipUntil("-->");
        continue;
      }
      e->Children.push_back(Element(depth + 1));
    }
    // Indentation around child elements is layout, not text.
    if (!e->Children.empty()) {
      const size_t first = text.find_first_not_of(" \t\r\n");
      text = first == std::string::npos ? std::string() : text;
      if (!text.empty()) {
        const size_t last = text.find_last_not_of(" \t\r\n");
        text = text.substr(first, last - first + 1);
      }
    }
    e->Text = std::move(text);
    return e;
  }

  std::string_view s_;
  size_t pos_ = 0;
};

}  // namespace

std::unique_ptr<TMxXml> TMxXml::Parse(std::string_view text) { return Parser(text).Document(); }

}  // namespace orva
