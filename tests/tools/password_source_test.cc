#include "password_source.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/test_files.h"

namespace kcertadm::cli {
namespace {

using Kind = PasswordSource::Kind;

TEST(PasswordSourceText, ReadsEachFormAndRefusesMalformedOnes) {
  struct Case {
    const char* source_text;
    Kind kind;
    const char* argument;
    int descriptor;
  } const kTests[] = {
      {"pass:secret", Kind::kText, "secret", -1},
      {"pass:", Kind::kText, "", -1},            // the empty password is a password
      {"pass:a;b=c", Kind::kText, "a;b=c", -1},  // refused later, as a whole
      {"env:KCERTADM_PW", Kind::kEnvironment, "KCERTADM_PW", -1},
      {"file:/tmp/pw:x", Kind::kFile, "/tmp/pw:x", -1},  // only the first ":" counts
      {"fd:3", Kind::kDescriptor, "3", 3},
      {"stdin", Kind::kStdin, "stdin", 0},
  };
  for (const Case& test : kTests) {
    SCOPED_TRACE(test.source_text);
    std::string problem;
    const auto source = ParsePasswordSource(test.source_text, problem);
    ASSERT_TRUE(source.has_value()) << problem;
    EXPECT_EQ(source->kind, test.kind);
    // A password is kept only in a container that wipes itself.
    EXPECT_EQ(test.kind == Kind::kText ? std::string(source->text.begin(), source->text.end())
                                       : source->argument,
              test.argument);
    EXPECT_EQ(source->descriptor, test.descriptor);
  }
  // Refused: a bare password would land on the command line by mistake; a
  // name or number must be there, whole and in range; the forms are exact.
  for (const char* text : {"secret", "", "env:", "file:", "fd:", "fd:x", "fd:3x", "fd:-1",
                           "fd:99999999999", "STDIN", "Pass:x"}) {
    SCOPED_TRACE(text);
    std::string problem;
    EXPECT_FALSE(ParsePasswordSource(text, problem).has_value());
    EXPECT_FALSE(problem.empty());
  }
}

TEST(PasswordFile, LineContentCases) {
  kcertadm::test_support::TempDir dir;
  struct Case {
    const char* name;
    std::string content;
    std::optional<std::string> password;  // none: refused
  } const kTests[] = {
      {"no line end", "abc", "abc"},
      {"empty line", "\n", ""},
      {"blanks kept", " a b \n", " a b "},
      {"CR of a CR LF line end dropped", "pw\r\n", "pw"},
      {"empty file", "", std::nullopt},
      {"longest", std::string(kMaxPasswordLength, 'x') + "\n",
       std::string(kMaxPasswordLength, 'x')},
      {"too long", std::string(kMaxPasswordLength + 1, 'x'), std::nullopt},
  };
  for (const Case& test : kTests) {
    SCOPED_TRACE(test.name);
    PasswordReader reader;
    std::string problem;
    auto password = reader.Read({Kind::kFile, dir.Write("pw", test.content), -1, {}}, problem);
    ASSERT_EQ(password.has_value(), test.password.has_value()) << problem;
    if (password) {
      EXPECT_EQ(std::string(password->begin(), password->end()), *test.password);
    }
  }
}

// Reading one file or descriptor again takes its next line, and reads no further than that line.
TEST(PasswordReader, ConsecutiveReadsTakeConsecutiveLines) {
  kcertadm::test_support::TempDir dir;
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const char data[] = "first\nsecond\nrest";
  ASSERT_EQ(write(fds[1], data, sizeof data - 1), static_cast<ssize_t>(sizeof data - 1));
  close(fds[1]);
  PasswordReader reader;
  std::string problem;
  for (const PasswordSource& source : {PasswordSource{Kind::kFile, dir.Write("pw", data), -1, {}},
                                       PasswordSource{Kind::kDescriptor, "pipe", fds[0], {}}}) {
    EXPECT_EQ(std::string(reader.Read(source, problem)->c_str()), "first");
    EXPECT_EQ(std::string(reader.Read(source, problem)->c_str()), "second");
  }
  char rest[8] = {};
  EXPECT_EQ(read(fds[0], rest, sizeof rest), 4);
  EXPECT_STREQ(rest, "rest");
  close(fds[0]);
}

TEST(PasswordReader, EnvironmentAndMissingSources) {
  setenv("KCERTADM_TEST_PW", "from env", 1);
  unsetenv("KCERTADM_TEST_NONE");
  PasswordReader reader;
  std::string problem;
  auto value = reader.Read({Kind::kEnvironment, "KCERTADM_TEST_PW", -1, {}}, problem);
  ASSERT_TRUE(value);
  EXPECT_EQ(std::string(value->c_str()), "from env");
  EXPECT_FALSE(reader.Read({Kind::kEnvironment, "KCERTADM_TEST_NONE", -1, {}}, problem));
  EXPECT_NE(problem.find("KCERTADM_TEST_NONE"), std::string::npos);
  EXPECT_FALSE(reader.Read({Kind::kFile, "/nonexistent/kcertadm-pw", -1, {}}, problem));
  EXPECT_FALSE(reader.Read({Kind::kDescriptor, "987", 987, {}}, problem));
}

}  // namespace
}  // namespace kcertadm::cli
