#include "host/host_resources.h"

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace kcertadm {
namespace {

TEST(ResourceCatalogue, KeepsWellFormedLinesOnly) {
  struct Case {
    std::string line;
    std::uint32_t number;
    std::optional<std::string> text;
  } const kTests[] = {
      {"30000 First text.", 30000, "First text."},
      {"30001 Windows line end.\r", 30001, "Windows line end."},
      {"30000 a repeated number is skipped", 30000, "First text."},
      {"30003 " + std::string(1022, 'a') + "\xC3\xA4tail", 30003,
       std::string(1022, 'a')},  // a letter across the limit
      // Malformed lines never reach the host; the lines after them are kept.
      {"30010", 30010, std::nullopt},                     // a number without text
      {"30011 ", 30011, std::nullopt},                    // an empty text
      {"x30012 text", 30012, std::nullopt},               // not a number
      {" 30013 text", 30013, std::nullopt},               // a leading blank
      {"30014\ttext", 30014, std::nullopt},               // no blank after the number
      {"1234567890 text", 1234567890, std::nullopt},      // too long to be one of ours
      {"30015 bad \xC3\x28 utf-8", 30015, std::nullopt},  // invalid UTF-8
      {"30016 \xED\xA0\x80", 30016, std::nullopt},        // an encoded surrogate
  };
  std::string content;
  for (const Case& c : kTests) content += c.line + "\n";
  const ResourceCatalogue catalogue =
      ResourceCatalogue::Parse(content + "\n30020 no final line end");
  for (const Case& c : kTests) EXPECT_EQ(catalogue.Text(c.number), c.text) << c.line.substr(0, 40);
  EXPECT_EQ(catalogue.Text(30020), "no final line end");
  EXPECT_EQ(catalogue.size(), 4u);
}

TEST(ResourceCatalogue, LoadFindsTheSourceCataloguesAndRefusesOversizedFiles) {
  test_support::ScopedEnv env("KCERTADM_MSG_DIR", std::nullopt);
  const auto found = HostFindResourceFile("kmsglib.msg");
  ASSERT_TRUE(found.has_value());
  EXPECT_TRUE(ResourceCatalogue::Load(*found).has_value());
  test_support::TempDir dir;
  EXPECT_FALSE(ResourceCatalogue::Load(
      dir.Write("big.msg", std::string(ResourceCatalogue::kMaxFileSize + 1, '#'))));
}

}  // namespace
}  // namespace kcertadm
