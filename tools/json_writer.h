// A small writer of JSON text (RFC 8259) for the tool's machine-readable
// output. It builds one document in memory, indented by two blanks, and
// keeps the commas and nesting right; the caller says what comes next.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kcertadm::cli {

// A JSON string literal, quotes included, for any bytes: valid UTF-8 stays
// as it is, except that the quote and backslash are escaped, every control
// character (U+0000-U+001F, U+007F, U+0080-U+009F) and the line and
// paragraph separators U+2028 and U+2029 become \uXXXX (or \n, \t and the
// other short forms), and every octet that is not part of valid UTF-8
// (overlong forms, surrogates and values past U+10FFFF included) becomes
// U+FFFD, one per octet.
std::string JsonQuoted(std::string_view bytes);

class JsonWriter {
 public:
  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  // The name of the next member; inside an object only.
  void Key(std::string_view name);

  void String(std::string_view value);
  void Integer(std::int64_t value);
  void Bool(bool value);
  void Null();
  void StringOrNull(const std::optional<std::string>& value);
  void IntegerOrNull(const std::optional<std::int64_t>& value);

  // A member: Key(name), then the value.
  void StringMember(std::string_view name, std::string_view value);
  void BoolMember(std::string_view name, bool value);
  void IntegerMember(std::string_view name, std::int64_t value);

  // The document with a final line end; complete once every object and
  // array is ended.
  std::string Text() const { return text_ + "\n"; }

 private:
  void BeforeValue();
  void Open(char bracket);
  void Close(char bracket);
  void NewLine();

  std::string text_;
  std::vector<bool> empty_;  // per open container: nothing in it yet
  bool after_key_ = false;
};

}  // namespace kcertadm::cli
