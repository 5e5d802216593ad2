#include "json_writer.h"

#include <gtest/gtest.h>

#include <string>

namespace kcertadm::cli {
namespace {

using namespace std::string_literals;

// Whatever a certificate or label holds, the literal is JSON text a parser
// takes back: the escapes, and U+FFFD for every octet that is not UTF-8.
TEST(JsonQuoted, EscapesWhatJsonOrItsReadersCannotCarry) {
  const struct {
    std::string input;
    const char* expected;
    const char* why;
  } kTests[] = {
      {"", R"("")", "empty"},
      {"www.example.com", R"("www.example.com")", "plain text stays"},
      {"a\"b\\c/", R"("a\"b\\c/")", "quote and backslash would end or start an escape"},
      {"\0x"s, R"("\u0000x")", "NUL would cut C readers short"},
      {"\x01\x1f", R"("\u0001\u001f")", "C0 controls are not allowed raw"},
      {"\b\f\n\r\t", R"("\b\f\n\r\t")", "the short forms"},
      {"\x7f", R"("\u007f")", "DEL"},
      {"\xc2\x85", R"("\u0085")", "C1 NEL, a line end to some readers"},
      {"\xe2\x80\xa8\xe2\x80\xa9", R"("\u2028\u2029")",
       "line and paragraph separators break JavaScript"},
      {"caf\xc3\xa9 \xf0\x9f\x94\x91", "\"caf\xc3\xa9 \xf0\x9f\x94\x91\"",
       "valid UTF-8 stays as it is"},
      {"\xff", R"("\ufffd")", "an octet that starts nothing"},
      {"\x80x", R"("\ufffdx")", "a continuation octet without a lead"},
      {"\xc0\xaf", R"("\ufffd\ufffd")", "an overlong '/' sneaks past path checks"},
      {"\xe0\x80\xaf", R"("\ufffd\ufffd\ufffd")", "a three-octet overlong form"},
      {"\xed\xa0\x80", R"("\ufffd\ufffd\ufffd")", "a UTF-16 surrogate is no character"},
      {"\xf4\x90\x80\x80", R"("\ufffd\ufffd\ufffd\ufffd")", "beyond U+10FFFF"},
      {"\xe2\x82x", R"("\ufffd\ufffdx")", "a sequence cut short by an ASCII octet"},
      {"\xe2\x82", R"("\ufffd\ufffd")", "a sequence cut short by the end"},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(JsonQuoted(c.input), c.expected);
  }
}

// Every one- and two-octet text: no raw control octet comes out, and the
// only quotes that are not escaped are the two around the literal.
TEST(JsonQuoted, NoOctetPairEscapesTheLiteral) {
  for (int first = 0; first < 256; ++first) {
    for (int second = -1; second < 256; ++second) {
      std::string input(1, static_cast<char>(first));
      if (second >= 0) input += static_cast<char>(second);
      const std::string quoted = JsonQuoted(input);
      ASSERT_GE(quoted.size(), 2u);
      bool escaped = false;
      for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(quoted[i]);
        ASSERT_TRUE(c >= 0x20 && c != 0x7f) << first << " " << second;
        ASSERT_TRUE(c != '"' || escaped) << first << " " << second;
        escaped = !escaped && c == '\\';
      }
      ASSERT_FALSE(escaped) << "a lone backslash before the closing quote: " << first;
      ASSERT_EQ(quoted.back(), '"');
    }
  }
}

TEST(JsonWriter, NestsWithCommasAndIndents) {
  JsonWriter json;
  json.BeginObject();
  json.Key("a");
  json.Integer(-1);
  json.Key("empty");
  json.BeginArray();
  json.EndArray();
  json.Key("list");
  json.BeginArray();
  json.Bool(true);
  json.Null();
  json.BeginObject();
  json.EndObject();
  json.StringOrNull(std::nullopt);
  json.IntegerOrNull(7);
  json.EndArray();
  json.Key("s\n");
  json.String("x");
  json.EndObject();
  EXPECT_EQ(json.Text(),
            "{\n"
            "  \"a\": -1,\n"
            "  \"empty\": [],\n"
            "  \"list\": [\n"
            "    true,\n"
            "    null,\n"
            "    {},\n"
            "    null,\n"
            "    7\n"
            "  ],\n"
            "  \"s\\n\": \"x\"\n"
            "}\n");
}

}  // namespace
}  // namespace kcertadm::cli
