#include "json_writer.h"

#include <cstdio>

namespace kcertadm::cli {
namespace {

constexpr std::string_view kReplacement = "\\ufffd";

// Length of the valid UTF-8 sequence at the start of bytes, or 0 when the
// first octet does not start one (RFC 3629: no overlong forms, no
// surrogates, nothing past U+10FFFF). The code point goes to *code.
std::size_t Utf8Sequence(std::string_view bytes, char32_t* code) {
  const auto octet = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = octet(0);
  std::size_t length;
  char32_t value;
  char32_t lowest;
  if (lead < 0x80) {
    *code = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F, lowest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F, lowest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07, lowest = 0x10000;
  } else {
    return 0;
  }
  if (bytes.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((octet(i) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (octet(i) & 0x3F);
  }
  if (value < lowest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *code = value;
  return length;
}

bool NeedsEscape(char32_t code) {
  return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x2028 || code == 0x2029;
}

void AppendEscape(std::string& out, char32_t code) {
  switch (code) {
    case '\b':
      out += "\\b";
      return;
    case '\f':
      out += "\\f";
      return;
    case '\n':
      out += "\\n";
      return;
    case '\r':
      out += "\\r";
      return;
    case '\t':
      out += "\\t";
      return;
    default:
      break;
  }
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(code));
  out += escape;
}

}  // namespace

std::string JsonQuoted(std::string_view bytes) {
  std::string out = "\"";
  while (!bytes.empty()) {
    char32_t code = 0;
    const std::size_t length = Utf8Sequence(bytes, &code);
    if (length == 0) {
      out += kReplacement;
      bytes.remove_prefix(1);
      continue;
    }
    if (code == '"' || code == '\\') {
      out += '\\';
      out += static_cast<char>(code);
    } else if (NeedsEscape(code)) {
      AppendEscape(out, code);
    } else {
      out.append(bytes.substr(0, length));
    }
    bytes.remove_prefix(length);
  }
  return out + "\"";
}

void JsonWriter::NewLine() {
  text_ += '\n';
  text_.append(2 * empty_.size(), ' ');
}

void JsonWriter::BeforeValue() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (empty_.empty()) return;  // the document's one value
  if (!empty_.back()) text_ += ',';
  empty_.back() = false;
  NewLine();
}

void JsonWriter::Open(char bracket) {
  BeforeValue();
  text_ += bracket;
  empty_.push_back(true);
}

void JsonWriter::Close(char bracket) {
  const bool was_empty = empty_.back();
  empty_.pop_back();
  if (!was_empty) NewLine();
  text_ += bracket;
}

void JsonWriter::BeginObject() { Open('{'); }
void JsonWriter::EndObject() { Close('}'); }
void JsonWriter::BeginArray() { Open('['); }
void JsonWriter::EndArray() { Close(']'); }

void JsonWriter::Key(std::string_view name) {
  BeforeValue();
  text_ += JsonQuoted(name);
  text_ += ": ";
  after_key_ = true;
}

void JsonWriter::String(std::string_view value) {
  BeforeValue();
  text_ += JsonQuoted(value);
}

void JsonWriter::Integer(std::int64_t value) {
  BeforeValue();
  text_ += std::to_string(value);
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  text_ += value ? "true" : "false";
}

void JsonWriter::Null() {
  BeforeValue();
  text_ += "null";
}

void JsonWriter::StringOrNull(const std::optional<std::string>& value) {
  value ? String(*value) : Null();
}

void JsonWriter::IntegerOrNull(const std::optional<std::int64_t>& value) {
  value ? Integer(*value) : Null();
}

void JsonWriter::StringMember(std::string_view name, std::string_view value) {
  Key(name);
  String(value);
}

void JsonWriter::BoolMember(std::string_view name, bool value) {
  Key(name);
  Bool(value);
}

void JsonWriter::IntegerMember(std::string_view name, std::int64_t value) {
  Key(name);
  Integer(value);
}

}  // namespace kcertadm::cli
