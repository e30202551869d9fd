#include "common/json.h"

#include <cstdio>

#include "common/cp932.h"

namespace orva {

std::string JsonString(const std::string& cp932) {
  std::string out = "\"";
  for (unsigned char c : cp932::ToUtf8(cp932)) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

}  // namespace orva
