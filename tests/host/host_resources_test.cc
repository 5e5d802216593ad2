#include "host/host_resources.h"

#include <gtest/gtest.h>

#include "host/scoped_env.h"
#include "support/test_files.h"

namespace kcertadm {
namespace {

using testing::ScopedEnv;
using testing::TempDir;

TEST(ResourceCatalogue, ReadsNumberedLines) {
  const ResourceCatalogue catalogue = ResourceCatalogue::Parse(
      "# comment\n\n30000 First text.\n30001 Windows line end.\r\n30002 Has = and ;  two blanks\n"
      "30000 a repeated number is skipped\n30003 no final line end");
  EXPECT_EQ(catalogue.size(), 4u);
  EXPECT_EQ(catalogue.Text(30000), "First text.");
  EXPECT_EQ(catalogue.Text(30001), "Windows line end.");
  EXPECT_EQ(catalogue.Text(30002), "Has = and ;  two blanks");
  EXPECT_EQ(catalogue.Text(30003), "no final line end");
}

TEST(ResourceCatalogue, SkipsMalformedLinesAndKeepsTheRest) {
  struct Case {
    const char* line;
    const char* why;
  } const kTests[] = {
      {"30010", "a number without text"},
      {"30010 ", "an empty text"},
      {"x30010 text", "not a number"},
      {" 30010 text", "a leading blank"},
      {"1234567890 text", "a number too long to be one of ours"},
      {"30010\ttext", "no blank after the number"},
      {"30010 bad \xC3\x28 utf-8", "invalid UTF-8 never reaches the host"},
      {"30010 \xED\xA0\x80", "an encoded surrogate"},
      {"30010 \xC0\xAF", "an overlong sequence"},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.why);
    const ResourceCatalogue catalogue = ResourceCatalogue::Parse(std::string(c.line) + "\n30011 kept\n");
    EXPECT_FALSE(catalogue.Text(30010).has_value());
    EXPECT_EQ(catalogue.Text(30011), "kept");
  }
}

TEST(ResourceCatalogue, CutsLongTextsAtACharacterBoundary) {
  // 1022 ASCII bytes then a two-byte letter that would straddle the limit.
  const ResourceCatalogue catalogue =
      ResourceCatalogue::Parse("7 " + std::string(1022, 'a') + "\xC3\xA4tail\n");
  EXPECT_EQ(catalogue.Text(7), std::string(1022, 'a'));
}

TEST(ResourceCatalogue, LoadRefusesMissingAndOversizedFiles) {
  TempDir dir;
  EXPECT_FALSE(ResourceCatalogue::Load(dir.path() + "/missing.msg").has_value());
  EXPECT_FALSE(ResourceCatalogue::Load(dir.path()).has_value());  // a directory
  const std::string big = dir.Write("big.msg", std::string(ResourceCatalogue::kMaxFileSize + 1, '#'));
  EXPECT_FALSE(ResourceCatalogue::Load(big).has_value());
}

TEST(HostResourceDirectories, WithoutOverrideFindsTheSourceCatalogues) {
  ScopedEnv env("KCERTADM_MSG_DIR", std::nullopt);
  const auto found = HostFindResourceFile("kmsglib.msg");
  ASSERT_TRUE(found.has_value());
  EXPECT_TRUE(ResourceCatalogue::Load(*found).has_value());
}

}  // namespace
}  // namespace kcertadm
