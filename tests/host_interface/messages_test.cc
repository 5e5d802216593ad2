#include "host_interface/messages.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "support/test_files.h"

namespace kcertadm {
namespace {

TEST(Catalogues, HaveARealTextForEveryNumber) {
  for (const char* name : {"kmsglib.msg", "kmsglde.msg"}) {
    SCOPED_TRACE(name);
    const auto catalogue = ResourceCatalogue::Load(std::string(KCERTADM_SOURCE_DIR) + "/messages/" + name);
    ASSERT_TRUE(catalogue.has_value());
    EXPECT_EQ(catalogue->size(), kMessageCount);
    for (std::uint32_t number = kFirstMessage; number <= kLastMessage; ++number) {
      const std::string text(catalogue->Text(number).value_or(""));
      EXPECT_TRUE(text.size() > 10 && text.back() == '.') << number;  // whole sentences
    }
  }
}

TEST(CatalogueFileName, ChoosesByLanguageSetting) {
  struct Case { std::optional<std::string> setting; const char* file; const char* why; } const kTests[] = {
      {std::nullopt, "kmsglib.msg", "absent setting"},
      {"", "kmsglib.msg", "empty setting"},
      {"de_AT", "kmsglde.msg", "only two characters count"},
      {"e", "kmsgle.msg", "a one-letter code"},
      {"../x", "kmsglib.msg", "path characters never reach a file name"},
      {"d/", "kmsglib.msg", "path characters never reach a file name"},
  };
  for (const Case& c : kTests) EXPECT_EQ(CatalogueFileName(c.setting), c.file) << c.why;
}

TEST(LoadCatalogueFor, FallsBackToTheDefaultCatalogue) {
  testing::TempDir dir;
  testing::ScopedEnv env("KCERTADM_MSG_DIR", dir.path());
  auto textFor = [](const char* language) -> std::string {
    const auto catalogue = LoadCatalogueFor(language);
    return catalogue ? std::string(catalogue->Text(30065).value_or("?")) : "no catalogue";
  };
  EXPECT_EQ(textFor("de"), "no catalogue");  // nothing there at all
  dir.Write("kmsglib.msg", "30065 English.\n");
  ASSERT_EQ(mkdir(dir.Path("kmsglfr.msg").c_str(), 0700), 0);
  EXPECT_EQ(textFor("de"), "English.");  // German missing
  EXPECT_EQ(textFor("fr"), "English.");  // not a file
  dir.Write("kmsglde.msg", "30065 Deutsch.\n");
  EXPECT_EQ(textFor("DE"), "Deutsch.");
  EXPECT_EQ(textFor("en"), "English.");
}

// Like strncpy but always terminated: the rest is NUL-filled, nothing is written beyond the given size.
TEST(ReportMessage, WritesNothingBeyondTheGivenSize) {
  ASSERT_TRUE(LoadMessageTexts());
  const std::string text = MessageText(kMsgAdminSecurity);
  ASSERT_GT(text.size(), 8u);
  struct Case { std::uint32_t number; bool buffer; std::uint32_t size; std::string expected; } const kTests[] = {
      {kMsgAdminSecurity, true, 200, text + std::string(200 - text.size(), '\0') + "x"},
      {kMsgAdminSecurity, true, 5, text.substr(0, 4) + '\0' + "x"},
      {kMsgAdminSecurity, true, 1, std::string(1, '\0') + "x"},
      {kMsgAdminSecurity, true, 0, "x"},                                     // nothing at all
      {kMsgAdminSecurity, false, 10, "x"},                                   // no buffer
      {30080, true, 4, std::string(4, '\0') + "x"},                         // a number without text
      {0xFFFFFFFFu, true, 4, std::string(4, '\0') + "x"},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.size);
    std::string buffer(c.expected.size(), 'x');
    ReportMessage(c.number, c.buffer ? buffer.data() : nullptr, c.size);
    EXPECT_EQ(buffer, c.expected);
  }
  EXPECT_EQ(MessageText(29999), nullptr);
}

}  // namespace
}  // namespace kcertadm
