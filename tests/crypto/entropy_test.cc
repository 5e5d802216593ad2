#include "crypto/random/entropy.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "crypto/random/random_md5.h"
#include "support/test_files.h"

namespace kcertadm {
namespace {

// A stand-in key ring: 600 entries of five fields; sizes meet every case of the phase rule, one
// spans batches.
const std::vector<std::string> kFakeRingFields = [] {
  std::vector<std::string> made;
  for (std::uint32_t i = 0; i < 5 * 600; ++i) {
    std::string field(i == 1   ? 9 * KeyRingSampleBatch::kBatchSize
                      : i < 60 ? i % 9
                               : (i * 7919) % 1601,
                      '\0');
    for (std::size_t k = 0; k < field.size(); ++k)
      field[k] = static_cast<char>((i * 131 + k * 17) >> 3);
    made.push_back(field);
  }
  return made;
}();

void FakeRingSampler(KeyRingFieldSample sample, void* context) {
  for (const std::string& field : kFakeRingFields)
    sample(context, reinterpret_cast<const std::uint8_t*>(field.data()), field.size());
}

// The samples one byte at a time, straight from the rule: every eighth byte of each field from the
// phase on.
std::string OneByteSamples(std::uint32_t phase) {
  std::string samples;
  for (const std::string& field : kFakeRingFields) {
    if (field.empty() || phase > field.size()) {
      phase -= static_cast<std::uint32_t>(field.size());
      continue;
    }
    for (std::size_t i = phase; i < field.size(); i += 8) samples += field[i];
    phase = phase == field.size() ? 7 : static_cast<std::uint32_t>(7 - (field.size() - phase) % 8);
  }
  return samples;
}

// The whole seeding, samples fed in batches, leaves the generator where one-byte seeds of every
// byte do.
TEST(Entropy, WholeSeedingMatchesOneByteSeeds) {
  SetKeyRingEntrySampler(&FakeRingSampler);
  std::vector<std::string> calls;
  std::time_t before, after;
  std::unique_ptr<Md5RandomGenerator> seeded;
  do {  // the phase comes from time(): retry across a second boundary
    calls.clear();
    seeded = std::make_unique<Md5RandomGenerator>();
    before = std::time(nullptr);
    SeedFromMachine([&](const std::uint8_t* data, std::size_t size) {
      calls.emplace_back(reinterpret_cast<const char*>(data), size);
      seeded->Seed(data, size);
    });
    after = std::time(nullptr);
  } while (before != after);
  SetKeyRingEntrySampler(nullptr);
  ASSERT_TRUE(calls.size() >= 4 && calls[0].size() == 12 && calls[1].size() == 144 &&
              calls.back().size() == 32)
      << "clocks, file status, samples and text, then the last 32 bytes";
  std::string rest;
  for (std::size_t i = 2; i + 1 < calls.size(); ++i) rest += calls[i];
  const std::string samples = OneByteSamples(static_cast<std::uint32_t>(before % 8));
  EXPECT_EQ(calls[2].size(), KeyRingSampleBatch::kBatchSize) << "in full batches";
  ASSERT_EQ(rest.compare(0, samples.size(), samples), 0) << "the samples first, in order";
  EXPECT_NE(rest.find(" etc\n", samples.size()), std::string::npos) << "then the listing text";
  Md5RandomGenerator reference;
  reference.Seed(reinterpret_cast<const std::uint8_t*>(calls[0].data()), 12);
  reference.Seed(reinterpret_cast<const std::uint8_t*>(calls[1].data()), 144);
  for (const char c : rest) reference.Seed(reinterpret_cast<const std::uint8_t*>(&c), 1);
  reference.Seed(reinterpret_cast<const std::uint8_t*>(calls.back().data()), 32);
  std::uint8_t got[64], want[64];
  seeded->Generate(got, sizeof got);
  reference.Generate(want, sizeof want);
  EXPECT_EQ(0, std::memcmp(got, want, sizeof got));
}

TEST(Entropy, TextIsFedInLineReaderPieces) {
  const std::string long_line(250, 'x'), exact(120, 'y');
  std::vector<std::string> calls;
  SeedTextPieces(
      [&](const std::uint8_t* d, std::size_t n) {
        calls.emplace_back(reinterpret_cast<const char*>(d), n);
      },
      "short\n" + long_line + "\n" + exact + "\n" + std::string("nul\0hidden\n", 11) + "tail");
  const std::vector<std::string> expected = {"short\n" + long_line + "\n" + exact + "\nnultail"};
  EXPECT_EQ(calls, expected) << "each piece cut at its NUL byte, the pieces fed as one seed";
}

TEST(Entropy, FileStatusRecordsAndPaths) {
  std::uint8_t root[36], none[36], zero[36] = {};
  FileStatusRecord("/", root), FileStatusRecord("/no/such/path", none);
  EXPECT_NE(0, std::memcmp(root, zero, 36)) << "the root keeps its slash";
  EXPECT_EQ(0, std::memcmp(none, zero, 36)) << "failed queries feed zeros";
  for (const std::string& tmpdir :
       {std::string("/var/tmp"), std::string(300, 'a')}) {  // too long: the fallback
    test_support::ScopedEnv env("TMPDIR", tmpdir);
    const std::vector<std::string> paths = StatusSeedPaths();
    EXPECT_EQ(paths, (std::vector<std::string>{paths.at(0), "/usr",
                                               tmpdir.size() < 300 ? tmpdir : "/tmp", "/etc"}));
  }
}

}  // namespace
}  // namespace kcertadm
