#include "host_interface/messages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>

#include "host/scoped_env.h"
#include "support/test_files.h"

namespace kcertadm {
namespace {

using testing::ScopedEnv;
using testing::TempDir;

std::string SourceCatalogue(const char* name) {
  return std::string(KCERTADM_SOURCE_DIR) + "/messages/" + name;
}

TEST(Catalogues, HaveARealTextForEveryNumber) {
  for (const char* name : {"kmsglib.msg", "kmsglde.msg"}) {
    SCOPED_TRACE(name);
    const auto catalogue = ResourceCatalogue::Load(SourceCatalogue(name));
    ASSERT_TRUE(catalogue.has_value());
    EXPECT_EQ(catalogue->size(), kMessageCount);
    for (std::uint32_t number = kFirstMessage; number <= kLastMessage; ++number) {
      const auto text = catalogue->Text(number);
      ASSERT_TRUE(text.has_value()) << number;
      EXPECT_GT(text->size(), 10u) << number;
      EXPECT_EQ(text->back(), '.') << number;  // whole sentences
    }
  }
}

TEST(CatalogueFileName, ChoosesByLanguageSetting) {
  struct Case {
    std::optional<std::string> setting;
    const char* file;
    const char* why;
  } const kTests[] = {
      {std::nullopt, "kmsglib.msg", "absent setting"},
      {"", "kmsglib.msg", "empty setting"},
      {"en", "kmsglib.msg", "English is the default catalogue"},
      {"EN", "kmsglib.msg", "folded before the comparison"},
      {"de", "kmsglde.msg", "German"},
      {"DE", "kmsglde.msg", "folded"},
      {"de_AT", "kmsglde.msg", "only two characters count"},
      {"e", "kmsgle.msg", "a one-letter code"},
      {"../x", "kmsglib.msg", "path characters never reach a file name"},
      {"d/", "kmsglib.msg", "path characters never reach a file name"},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(CatalogueFileName(c.setting), c.file);
  }
}

TEST(LoadCatalogueFor, FallsBackToTheDefaultCatalogue) {
  TempDir dir;
  ScopedEnv env("KCERTADM_MSG_DIR", dir.path());
  EXPECT_FALSE(LoadCatalogueFor("de").has_value());  // nothing there at all

  dir.Write("kmsglib.msg", "30065 English.\n");
  auto loaded = LoadCatalogueFor("de");  // German missing: English
  ASSERT_TRUE(loaded.has_value());
  EXPECT_EQ(loaded->Text(30065), "English.");

  ASSERT_EQ(mkdir((dir.path() + "/kmsglfr.msg").c_str(), 0700), 0);
  loaded = LoadCatalogueFor("fr");  // not a file: English
  ASSERT_TRUE(loaded.has_value());
  EXPECT_EQ(loaded->Text(30065), "English.");

  dir.Write("kmsglde.msg", "30065 Deutsch.\n");
  loaded = LoadCatalogueFor("DE");
  ASSERT_TRUE(loaded.has_value());
  EXPECT_EQ(loaded->Text(30065), "Deutsch.");
  loaded = LoadCatalogueFor("en");
  ASSERT_TRUE(loaded.has_value());
  EXPECT_EQ(loaded->Text(30065), "English.");
}

class ReportMessageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(LoadMessageTexts());
    text_ = MessageText(kMsgAdminSecurity);
    ASSERT_NE(text_, nullptr);
    ASSERT_GT(std::strlen(text_), 8u);
  }
  const char* text_ = nullptr;
};

TEST_F(ReportMessageTest, CopiesWholeTextAndNulFillsTheRest) {
  char buffer[1024];
  std::memset(buffer, 'x', sizeof buffer);
  ReportMessage(kMsgAdminSecurity, buffer, sizeof buffer);
  EXPECT_STREQ(buffer, text_);
  for (std::size_t i = std::strlen(text_); i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], '\0') << i;
}

TEST_F(ReportMessageTest, WritesNothingBeyondTheGivenSize) {
  struct Case {
    std::uint32_t number;
    char* buffer;
    std::uint32_t size;
    const char* expected;  // what the eight bytes hold afterwards
  };
  char buffer[8];
  const Case kTests[] = {
      {kMsgAdminSecurity, buffer, 1, ""},                 // the NUL alone
      {kMsgAdminSecurity, buffer, 5, nullptr},            // four characters and the NUL
      {kMsgAdminSecurity, buffer, 0, "xxxxxxx"},          // nothing at all
      {kMsgAdminSecurity, nullptr, 10, "xxxxxxx"},        // no buffer
      {30080, buffer, 4, ""},                             // a number without text: NULs
      {0xFFFFFFFFu, buffer, 4, ""},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.size);
    std::memset(buffer, 'x', sizeof buffer - 1);
    buffer[sizeof buffer - 1] = '\0';
    ReportMessage(c.number, c.buffer, c.size);
    EXPECT_EQ(std::string(buffer), c.expected ? std::string(c.expected) : std::string(text_, c.size - 1));
    if (c.size > 0 && c.size < sizeof buffer - 1) {
      EXPECT_EQ(buffer[c.size], 'x');
    }
  }
  EXPECT_EQ(MessageText(29999), nullptr);
}

}  // namespace
}  // namespace kcertadm
