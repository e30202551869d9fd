#include "script/projectsource.h"

#include <cstring>
#include <sstream>

#include "common/cp932.h"
#include "common/errors.h"
#include "expr/extended.h"
#include "script/sourcetext.h"

namespace orva {

namespace {

using namespace source;

const char* const kTypeNames[] = {"none", "int", "float", "flag", "string"};

std::string TypeName(int type) {
  return type >= 0 && type <= 4 ? kTypeNames[type] : std::to_string(type);
}

std::optional<int> TypeOf(const std::string& word) {
  for (int i = 0; i <= 4; ++i)
    if (word == kTypeNames[i]) return i;
  char* end = nullptr;
  long v = std::strtol(word.c_str(), &end, 10);
  if (word.empty() || *end || v < 0 || v > 255) return std::nullopt;
  return static_cast<int>(v);
}

std::string Bool(bool b) { return b ? "true" : "false"; }

// A float as decimal text when that text gives back the same ten bytes.
std::string FloatText(const std::array<uint8_t, 10>& raw) {
  Float x = DecodeExtended(raw);
  std::string text = FloatToText(x);
  auto back = ParseFloatText(text);
  if (back && EncodeExtended(*back) == raw) return text;
  return "#" + ToHex(std::string(raw.begin(), raw.end()));
}

}  // namespace

std::string DisassembleProject(const TProjectFile& p) {
  std::ostringstream o;
  o << "version = " << p.version << "\n";
  o << "title = " << Quote(p.title) << "\n";
  o << "size = " << p.width << " " << p.height << "\n";
  o << "fullscreen = " << p.fullScreen1 << " " << p.fullScreen2 << "\n";
  o << "start = " << StringValue(p.startPage) << "\n";
  if (p.version >= 110) o << "exit = " << Quote(p.exitPage) << "\n";
  o << "registry-key = " << Quote(p.registryKey) << "\n";
  o << "image-option = " << p.imageOption << "\n";
  if (p.version > 103) o << "write-save-file = " << Bool(p.writeSaveFile) << "\n";
  if (p.version >= 106) o << "sleep-between-frames = " << Bool(p.sleepBetweenFrames) << "\n";
  if (p.version >= 109) o << "media-extensions = " << Quote(p.mediaExtensions) << "\n";
  if (p.version > 112) o << "pause-when-inactive = " << Bool(p.pauseWhenInactive) << "\n";
  if (p.version >= 114) o << "reserved = " << static_cast<int>(p.reserved) << "\n";
  if (p.version >= 116) o << "show-toolbar = " << Bool(p.showToolbar) << "\n";
  o << "disk-prompt = " << Quote(p.diskPrompt) << "\n";
  o << "quit-text = " << Quote(p.quitText) << "\n";
  for (const auto& v : p.variables) {
    o << "var " << TypeName(v.type) << " " << Quote(v.name);
    switch (v.type) {
      case 1: o << " = " << v.intValue; break;
      case 2: o << " = " << FloatText(v.floatValue); break;
      case 3: o << " = " << static_cast<int>(v.flagValue); break;
      case 4: o << " = " << Quote(v.strValue); break;
      default: break;
    }
    o << "\n";
  }
  for (const auto& d : p.folderDisks) o << "disk " << Quote(d.folder) << " = " << d.disk << "\n";
  return o.str();
}

TProjectFile AssembleProject(std::string_view sourceUtf8) {
  TProjectFile p;
  std::istringstream in{std::string(sourceUtf8)};
  std::string line;
  int lineNo = 0;
  try {
    while (std::getline(in, line)) {
      ++lineNo;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      size_t a = line.find_first_not_of(" \t");
      if (a == std::string::npos || line[a] == '#') continue;
      std::vector<Token> t = Tokenize(std::string_view(line).substr(a), lineNo);
      auto word = [&](size_t i) -> const Token& {
        if (i >= t.size()) Fail(lineNo, "a value is missing");
        return t[i];
      };
      auto number = [&](size_t i) -> int64_t {
        const Token& k = word(i);
        char* end = nullptr;
        long long v = std::strtoll(k.text.c_str(), &end, 10);
        if (k.kind != Token::Bare || k.text.empty() || *end) Fail(lineNo, "\"" + k.text + "\" is not a number");
        return v;
      };
      auto flag = [&](size_t i) {
        const std::string& w = word(i).text;
        if (w == "true") return true;
        if (w == "false") return false;
        Fail(lineNo, "\"" + w + "\" is not true or false");
      };
      auto text = [&](size_t i) {
        const Token& k = word(i);
        if (k.kind != Token::Str && k.kind != Token::Bare) Fail(lineNo, "a text is expected");
        return k.Cp932();
      };
      const std::string key = t[0].text;
      if (key == "var") {
        auto type = TypeOf(word(1).text);
        if (!type) Fail(lineNo, "unknown variable type \"" + word(1).text + "\"");
        TParamData v;
        v.type = static_cast<uint8_t>(*type);
        v.name = text(2);
        const bool hasValue = t.size() > 3;
        if (hasValue && word(3).text != "=") Fail(lineNo, "\"=\" expected after the variable name");
        switch (v.type) {
          case 1: v.intValue = hasValue ? static_cast<int32_t>(number(4)) : 0; break;
          case 2: {
            if (!hasValue) break;
            const std::string& w = word(4).text;
            if (!w.empty() && w[0] == '#') {
              auto raw = FromHex(w.substr(1));
              if (!raw || raw->size() != 10) Fail(lineNo, "a float in hexadecimal has ten bytes");
              std::memcpy(v.floatValue.data(), raw->data(), 10);
            } else {
              auto x = ParseFloatText(w);
              if (!x) Fail(lineNo, "\"" + w + "\" is not a number");
              v.floatValue = EncodeExtended(*x);
            }
            break;
          }
          case 3: v.flagValue = hasValue ? static_cast<uint8_t>(number(4)) : 0; break;
          case 4: v.strValue = hasValue ? text(4) : std::string(); break;
          default:
            if (hasValue) Fail(lineNo, "variables of this type carry no value");
        }
        p.variables.push_back(std::move(v));
        continue;
      }
      if (key == "disk") {
        if (word(2).text != "=") Fail(lineNo, "disk FOLDER = N");
        p.folderDisks.push_back({text(1), static_cast<int32_t>(number(3))});
        continue;
      }
      if (word(1).text != "=" || word(1).kind != Token::Bare) Fail(lineNo, "KEY = VALUE expected");
      if (key == "version") p.version = static_cast<int32_t>(number(2));
      else if (key == "title") p.title = text(2);
      else if (key == "size") { p.width = static_cast<int32_t>(number(2)); p.height = static_cast<int32_t>(number(3)); }
      else if (key == "fullscreen") { p.fullScreen1 = static_cast<int32_t>(number(2)); p.fullScreen2 = static_cast<int32_t>(number(3)); }
      else if (key == "start") p.startPage = text(2);
      else if (key == "exit") p.exitPage = text(2);
      else if (key == "registry-key") p.registryKey = text(2);
      else if (key == "image-option") p.imageOption = static_cast<int32_t>(number(2));
      else if (key == "write-save-file") p.writeSaveFile = flag(2);
      else if (key == "sleep-between-frames") p.sleepBetweenFrames = flag(2);
      else if (key == "media-extensions") p.mediaExtensions = text(2);
      else if (key == "pause-when-inactive") p.pauseWhenInactive = flag(2);
      else if (key == "reserved") p.reserved = static_cast<uint8_t>(number(2));
      else if (key == "show-toolbar") p.showToolbar = flag(2);
      else if (key == "disk-prompt") p.diskPrompt = text(2);
      else if (key == "quit-text") p.quitText = text(2);
      else Fail(lineNo, "unknown key \"" + key + "\"");
    }
  } catch (const SourceError& e) {
    throw OrvaError::Utf8("project:" + std::to_string(e.line) + ": " + e.message);
  }
  if (p.version > TProjectFile::kVersionMax) throw OrvaError::Utf8("このバージョンには対応していません");
  return p;
}

}  // namespace orva
