// The one error type of the program: an exception carrying the system's own
// message. The message is kept as the content world's CP932 text (it may hold
// content names); what() gives it in UTF-8 for logs and message boxes.
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace orva {

class OrvaError : public std::exception {
 public:
  // From a CP932 message (the system's texts and content names).
  explicit OrvaError(std::string cp932Message);

  // From a message written in UTF-8 (source literals, host file names).
  static OrvaError Utf8(std::string_view utf8Message);
  // A UTF-8 message kept as it is (for failures of the conversion itself).
  static OrvaError Unconverted(std::string_view utf8Message);

  // "%s" in the UTF-8 pattern is replaced by the CP932 argument, as the
  // system's formats like "%s:ファイルがありません" do.
  static OrvaError Format(std::string_view utf8Pattern, std::string_view cp932Arg);

  const std::string& message() const { return message_; }  // CP932
  const char* what() const noexcept override { return utf8_.c_str(); }

 private:
  struct Utf8Tag {};
  OrvaError(Utf8Tag, std::string utf8, std::string cp932);
  std::string message_;
  std::string utf8_;
};

}  // namespace orva
