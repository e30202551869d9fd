#include "common/errors.h"

#include "common/cp932.h"

namespace orva {

OrvaError::OrvaError(std::string cp932Message)
    : message_(std::move(cp932Message)), utf8_(cp932::ToUtf8(message_)) {}

OrvaError::OrvaError(Utf8Tag, std::string utf8, std::string cp932)
    : message_(std::move(cp932)), utf8_(std::move(utf8)) {}

OrvaError OrvaError::Utf8(std::string_view utf8Message) {
  std::string cp;
  try {
    cp = cp932::FromUtf8(utf8Message);
  } catch (const OrvaError&) {
    cp = std::string(utf8Message);  // a host name CP932 cannot hold: keep the bytes
  }
  return OrvaError(Utf8Tag{}, std::string(utf8Message), std::move(cp));
}

OrvaError OrvaError::Unconverted(std::string_view utf8Message) {
  return OrvaError(Utf8Tag{}, std::string(utf8Message), std::string(utf8Message));
}

OrvaError OrvaError::Format(std::string_view utf8Pattern, std::string_view cp932Arg) {
  std::string pattern = Sys(utf8Pattern);
  std::string out;
  size_t pos = pattern.find("%s");
  if (pos == std::string::npos) {
    out = pattern;
  } else {
    out = pattern.substr(0, pos);
    out += cp932Arg;
    out += pattern.substr(pos + 2);
  }
  return OrvaError(std::move(out));
}

}  // namespace orva
