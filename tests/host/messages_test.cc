#include "host/messages.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <utility>

#include "base/message_numbers.h"
#include "support/test_files.h"

namespace kcertadm {
namespace {

TEST(Catalogues, HaveARealTextForEveryNumber) {
  for (const char* name : {"kmsglib.msg", "kmsglde.msg"}) {
    const auto catalogue =
        ResourceCatalogue::Load(std::string(KCERTADM_SOURCE_DIR) + "/messages/" + name);
    ASSERT_TRUE(catalogue.has_value()) << name;
    EXPECT_EQ(catalogue->size(), kMessageCount);
    for (std::uint32_t number = kFirstMessage; number <= kLastMessage; ++number) {
      const std::string text(catalogue->Text(number).value_or(""));
      EXPECT_TRUE(text.size() > 10 && text.back() == '.')
          << name << " " << number;  // whole sentences
    }
  }
}

// A command that did its work leaves one of these, and its status is 0.
TEST(ReportSuccess, LeavesTheSuccessNumberAndReturnsZero) {
  const std::pair<SuccessMessage, std::uint32_t> kTests[] = {
      {SuccessMessage::kKeyFileCreated, 30020},    {SuccessMessage::kCertReceived, 30025},
      {SuccessMessage::kSelfSignedCreated, 30028}, {SuccessMessage::kSelfSignedRootCreated, 30029},
      {SuccessMessage::kRootCertReceived, 30030},  {SuccessMessage::kRootDesignated, 30031},
      {SuccessMessage::kCertSigned, 30040},        {SuccessMessage::kCertReqCreated, 30044},
      {SuccessMessage::kEntryDeleted, 30049},      {SuccessMessage::kEntriesListed, 30053},
      {SuccessMessage::kCertWritten, 30054},       {SuccessMessage::kPasswordChanged, 30060},
      {SuccessMessage::kAdminSecurity, 30065},     {SuccessMessage::kBundleRootsSkipped, 30085},
      {SuccessMessage::kKeyImported, 30098},       {SuccessMessage::kKeyExported, 30099},
  };
  for (const auto& [message, number] : kTests) {
    SCOPED_TRACE(number);
    std::uint32_t slot = kMsgKeyRingReadFailed;  // a failure noted earlier is replaced
    EXPECT_EQ(ReportSuccess(&slot, message), 0);
    EXPECT_EQ(slot, number);
    EXPECT_EQ(ReportSuccess(nullptr, message), 0) << "no slot to fill";
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
      {"DE_at", "kmsglde.msg", "only two characters count, in either case"},
      {"e", "kmsgle.msg", "a one-letter code"},
      {"../x", "kmsglib.msg", "path characters never reach a file name"},
      {"d/", "kmsglib.msg", "nor one of two"},
  };
  for (const Case& c : kTests) EXPECT_EQ(CatalogueFileName(c.setting), c.file) << c.why;
}

// A missing language file, or a directory in its place, falls back to the default catalogue.
TEST(LoadCatalogueFor, FallsBackToTheDefaultCatalogue) {
  test_support::TempDir dir;
  test_support::ScopedEnv env("KCERTADM_MSG_DIR", dir.path());
  dir.Write("kmsglib.msg", "30065 English.\n");
  ASSERT_EQ(mkdir(dir.Path("kmsglfr.msg").c_str(), 0700), 0);
  for (const char* language : {"de", "fr"}) {
    const auto catalogue = LoadCatalogueFor(language);
    EXPECT_EQ(catalogue ? std::string(catalogue->Text(30065).value_or("?")) : "none", "English.")
        << language;
  }
}

// Like strncpy but always terminated: the rest is NUL-filled, nothing is written beyond the given
// size.
TEST(ReportMessage, WritesNothingBeyondTheGivenSize) {
  ASSERT_TRUE(LoadMessageTexts());
  const std::string text = MessageText(kMsgAdminSecurity);
  ASSERT_GT(text.size(), 8u);
  struct Case {
    std::uint32_t number;
    bool buffer;
    std::uint32_t size;
    std::string expected;
  } const kTests[] = {
      {kMsgAdminSecurity, true, 200, text + std::string(200 - text.size(), '\0') + "x"},
      {kMsgAdminSecurity, true, 5, text.substr(0, 4) + '\0' + "x"},
      {kMsgAdminSecurity, true, 0, "x"},                        // nothing at all
      {kMsgAdminSecurity, false, 10, "x"},                      // no buffer
      {kLastMessage + 1, true, 4, std::string(4, '\0') + "x"},  // a number without text
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.size);
    std::string buffer(c.expected.size(), 'x');
    ReportMessage(c.number, c.buffer ? buffer.data() : nullptr, c.size);
    EXPECT_EQ(buffer, c.expected);
  }
  EXPECT_EQ(MessageText(29999), nullptr);
}

// A value named after the text comes from the parameters: quoted, its control characters and quotes
// masked (a line end would forge a second message line), cut short when long.
TEST(ReportMessage, NamesTheRefusedValueSafely) {
  ASSERT_TRUE(LoadMessageTexts());
  std::string text = MessageText(kMsgBadDigest);
  ASSERT_EQ(text.back(), '.');
  text.pop_back();
  const struct {
    const char* why;
    std::string detail;
    std::string shown;
  } kTests[] = {
      {"as given", "SHA3", ": \"SHA3\"."},
      {"nothing to name", "", "."},
      {"a line end and a quote", "x\n30065: \"ok", ": \"x?30065: ?ok\"."},
      {"a long value", std::string(100, 'a'),
       ": \"" + std::string(kMaxMessageDetail, 'a') + "...\"."},
  };
  for (const auto& c : kTests) {
    SCOPED_TRACE(c.why);
    char buffer[400];
    ReportMessage(kMsgBadDigest, c.detail, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), text + c.shown);
  }
}

}  // namespace
}  // namespace kcertadm
