#include "password_source.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/test_files.h"

namespace kcertadm::cli {
namespace {

using Kind = PasswordSource::Kind;

TEST(PasswordSourceText, ReadsEachForm) {
  struct Case {
    const char* source_text;
    Kind kind;
    const char* argument;
    int descriptor;
  } const kTests[] = {
      {"pass:secret", Kind::kText, "secret", -1},
      {"pass:", Kind::kText, "", -1},               // the empty password is a password
      {"pass:a;b=c", Kind::kText, "a;b=c", -1},     // refused later, as a whole
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
    EXPECT_EQ(source->argument, test.argument);
    if (test.descriptor >= 0) {
      EXPECT_EQ(source->descriptor, test.descriptor);
    }
  }
}

TEST(PasswordSourceText, RefusesMalformedForms) {
  const char* const kTests[] = {
      "secret",    // a bare password would end up on the command line by mistake
      "",          // nothing at all
      "env:",      // no variable name
      "file:",     // no file name
      "fd:",       // no number
      "fd:x",      // not a number
      "fd:3x",     // trailing junk
      "fd:-1",     // negative
      "fd:99999999999",  // beyond int
      "STDIN",     // the forms are exact, as openssl's are
      "Pass:x",
  };
  for (const char* source_text : kTests) {
    SCOPED_TRACE(source_text);
    std::string problem;
    EXPECT_FALSE(ParsePasswordSource(source_text, problem).has_value());
    EXPECT_FALSE(problem.empty());
  }
}

TEST(PasswordFile, ConsecutiveReadsTakeConsecutiveLines) {
  kcertadm::testing::TempDir dir;
  const PasswordSource source{Kind::kFile, dir.Write("pw", "old pw\r\nnew=pw\n")};
  PasswordReader reader;
  std::string problem;
  auto first = reader.Read(source, problem);
  auto second = reader.Read(source, problem);
  ASSERT_TRUE(first && second) << problem;
  EXPECT_EQ(std::string(first->c_str()), "old pw");  // CR of a CR LF line end dropped
  EXPECT_EQ(std::string(second->c_str()), "new=pw");
  EXPECT_FALSE(reader.Read(source, problem).has_value()) << "a third line does not exist";
}

TEST(PasswordFile, LineContentCases) {
  kcertadm::testing::TempDir dir;
  struct Case {
    const char* name;
    std::string content;
    bool ok;
    std::string password;
  } const kTests[] = {
      {"no line end", "abc", true, "abc"},
      {"empty line", "\n", true, ""},
      {"blanks kept", " a b \n", true, " a b "},
      {"empty file", "", false, ""},
      {"longest", std::string(kMaxPasswordLength, 'x') + "\n", true,
       std::string(kMaxPasswordLength, 'x')},
      {"too long", std::string(kMaxPasswordLength + 1, 'x'), false, ""},
  };
  for (const Case& test : kTests) {
    SCOPED_TRACE(test.name);
    PasswordReader reader;
    std::string problem;
    auto password = reader.Read({Kind::kFile, dir.Write("pw", test.content)}, problem);
    ASSERT_EQ(password.has_value(), test.ok) << problem;
    if (test.ok) {
      EXPECT_EQ(std::string(password->begin(), password->end()), test.password);
    }
  }
}

TEST(PasswordReader, EnvironmentAndMissingSources) {
  setenv("KCERTADM_TEST_PW", "from env", 1);
  unsetenv("KCERTADM_TEST_NONE");
  PasswordReader reader;
  std::string problem;
  auto value = reader.Read({Kind::kEnvironment, "KCERTADM_TEST_PW"}, problem);
  ASSERT_TRUE(value);
  EXPECT_EQ(std::string(value->c_str()), "from env");
  EXPECT_FALSE(reader.Read({Kind::kEnvironment, "KCERTADM_TEST_NONE"}, problem));
  EXPECT_NE(problem.find("KCERTADM_TEST_NONE"), std::string::npos);
  EXPECT_FALSE(reader.Read({Kind::kFile, "/nonexistent/kcertadm-pw"}, problem));
  EXPECT_FALSE(reader.Read({Kind::kDescriptor, "987", 987}, problem));
}

TEST(PasswordReader, DescriptorIsReadNoFurtherThanTheLine) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const char data[] = "first\nsecond\nrest";
  ASSERT_EQ(write(fds[1], data, sizeof data - 1), static_cast<ssize_t>(sizeof data - 1));
  close(fds[1]);
  PasswordReader reader;
  std::string problem;
  const PasswordSource source{Kind::kDescriptor, "pipe", fds[0]};
  EXPECT_EQ(std::string(reader.Read(source, problem)->c_str()), "first");
  EXPECT_EQ(std::string(reader.Read(source, problem)->c_str()), "second");
  char rest[8] = {};
  EXPECT_EQ(read(fds[0], rest, sizeof rest), 4);  // the reader left the rest alone
  EXPECT_STREQ(rest, "rest");
  close(fds[0]);
}

}  // namespace
}  // namespace kcertadm::cli
