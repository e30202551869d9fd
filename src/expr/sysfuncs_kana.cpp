// Half-width and full-width forms of Shift-JIS text.
#include <unordered_map>

#include "common/cp932.h"
#include "expr/sysfuncs_library.h"

namespace orva {

namespace {

// Full-width forms of the bytes 0x20-0x7E. The quotes take the closing
// quotation marks that Japanese text uses.
constexpr uint16_t kAscii[0x5F] = {
    0x8140, 0x8149, 0x8168, 0x8194, 0x8190, 0x8193, 0x8195, 0x8166, 0x8169, 0x816A, 0x8196, 0x817B, 0x8143, 0x817C,
    0x8144, 0x815E, 0x824F, 0x8250, 0x8251, 0x8252, 0x8253, 0x8254, 0x8255, 0x8256, 0x8257, 0x8258, 0x8146, 0x8147,
    0x8183, 0x8181, 0x8184, 0x8148, 0x8197, 0x8260, 0x8261, 0x8262, 0x8263, 0x8264, 0x8265, 0x8266, 0x8267, 0x8268,
    0x8269, 0x826A, 0x826B, 0x826C, 0x826D, 0x826E, 0x826F, 0x8270, 0x8271, 0x8272, 0x8273, 0x8274, 0x8275, 0x8276,
    0x8277, 0x8278, 0x8279, 0x816D, 0x815F, 0x816E, 0x814F, 0x8151, 0x814D, 0x8281, 0x8282, 0x8283, 0x8284, 0x8285,
    0x8286, 0x8287, 0x8288, 0x8289, 0x828A, 0x828B, 0x828C, 0x828D, 0x828E, 0x828F, 0x8290, 0x8291, 0x8292, 0x8293,
    0x8294, 0x8295, 0x8296, 0x8297, 0x8298, 0x8299, 0x829A, 0x816F, 0x8162, 0x8170, 0x8160};

// Full-width forms of the half-width katakana and marks 0xA1-0xDF.
constexpr uint16_t kKana[0x3F] = {
    0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340, 0x8342, 0x8344, 0x8346, 0x8348, 0x8383, 0x8385,
    0x8387, 0x8362, 0x815B, 0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A, 0x834C, 0x834E, 0x8350, 0x8352,
    0x8354, 0x8356, 0x8358, 0x835A, 0x835C, 0x835E, 0x8360, 0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B,
    0x836C, 0x836D, 0x836E, 0x8371, 0x8374, 0x8377, 0x837A, 0x837D, 0x837E, 0x8380, 0x8381, 0x8382, 0x8384,
    0x8386, 0x8388, 0x8389, 0x838A, 0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B};

constexpr unsigned char kVoiced = 0xDE;      // ﾞ
constexpr unsigned char kSemiVoiced = 0xDF;  // ﾟ
constexpr unsigned char kHalfU = 0xB3;       // ｳ
constexpr uint16_t kFullVu = 0x8394;         // ヴ

// ｶ-ﾄ and ﾊ-ﾎ take the voiced mark (full-width code + 1); ﾊ-ﾎ also the
// semi-voiced one (+ 2).
bool TakesVoiced(unsigned char b) { return (b >= 0xB6 && b <= 0xC4) || (b >= 0xCA && b <= 0xCE); }
bool TakesSemiVoiced(unsigned char b) { return b >= 0xCA && b <= 0xCE; }

void Put(std::string& out, uint16_t code) {
  out += static_cast<char>(code >> 8);
  out += static_cast<char>(code & 0xFF);
}

const std::unordered_map<uint16_t, std::string>& HalfForms() {
  static const std::unordered_map<uint16_t, std::string> kMap = [] {
    std::unordered_map<uint16_t, std::string> m;
    for (int c = 0x20; c <= 0x7E; ++c) m[kAscii[c - 0x20]] = std::string(1, static_cast<char>(c));
    m[0x8167] = "\"";  // the opening double quotation mark too
    for (int b = 0xA1; b <= 0xDF; ++b) {
      m[kKana[b - 0xA1]] = std::string(1, static_cast<char>(b));
      if (TakesVoiced(static_cast<unsigned char>(b)))
        m[static_cast<uint16_t>(kKana[b - 0xA1] + 1)] = {static_cast<char>(b), static_cast<char>(kVoiced)};
      if (TakesSemiVoiced(static_cast<unsigned char>(b)))
        m[static_cast<uint16_t>(kKana[b - 0xA1] + 2)] = {static_cast<char>(b), static_cast<char>(kSemiVoiced)};
    }
    m[kFullVu] = {static_cast<char>(kHalfU), static_cast<char>(kVoiced)};
    return m;
  }();
  return kMap;
}

}  // namespace

std::string HanToZen(std::string_view s) {
  std::string out;
  out.reserve(s.size() * 2);
  for (size_t i = 0; i < s.size();) {
    size_t len = cp932::CharLength(s, i);
    unsigned char b = static_cast<unsigned char>(s[i]);
    if (len == 2 || cp932::IsLeadByte(b)) {
      out.append(s.substr(i, len));
    } else if (b >= 0x20 && b <= 0x7E) {
      Put(out, kAscii[b - 0x20]);
    } else if (b >= 0xA1 && b <= 0xDF) {
      unsigned char next = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0;
      if (next == kVoiced && b == kHalfU) {
        Put(out, kFullVu);
        ++len;
      } else if (next == kVoiced && TakesVoiced(b)) {
        Put(out, static_cast<uint16_t>(kKana[b - 0xA1] + 1));
        ++len;
      } else if (next == kSemiVoiced && TakesSemiVoiced(b)) {
        Put(out, static_cast<uint16_t>(kKana[b - 0xA1] + 2));
        ++len;
      } else {
        Put(out, kKana[b - 0xA1]);
      }
    } else {
      out += static_cast<char>(b);
    }
    i += len;
  }
  return out;
}

std::string ZenToHan(std::string_view s) {
  const auto& forms = HalfForms();
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    size_t len = cp932::CharLength(s, i);
    auto it = len == 2 ? forms.find(static_cast<uint16_t>(static_cast<unsigned char>(s[i]) << 8 |
                                                          static_cast<unsigned char>(s[i + 1])))
                       : forms.end();
    if (it != forms.end())
      out += it->second;
    else
      out.append(s.substr(i, len));
    i += len;
  }
  return out;
}

}  // namespace orva
