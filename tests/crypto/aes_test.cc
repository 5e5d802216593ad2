// The AES block functions, each kernel on its own: published answers, and
// the two kernels against each other.
#include <gtest/gtest.h>

#include "crypto/aes_kernel_util.h"
#include "crypto/cipher/aes.h"
#include "crypto/toolkit_util.h"

namespace kcertadm {
namespace {

using test_support::Hex;

class AesKernelTest : public test_support::AesKernelParam {
 protected:
  AesKeySchedule Schedule(const Bytes& key) {
    AesKeySchedule schedule;
    AesSetKey(schedule, key.data(), key.size(), GetParam());
    EXPECT_EQ(schedule.kernel, GetParam());
    return schedule;
  }
  // CBC both ways over `in`, in place for decryption; returns the ciphertext.
  Bytes RoundTrip(const AesKeySchedule& schedule, const Bytes& iv, const Bytes& in) {
    Bytes out(in.size()), chain = iv;
    AesCbcEncrypt(schedule, chain.data(), in.data(), out.data(), in.size() / kAesBlockSize);
    EXPECT_EQ(Bytes(out.end() - 16, out.end()), chain)
        << "the IV becomes the last ciphertext block";
    Bytes back = out;
    chain = iv;
    AesCbcDecrypt(schedule, chain.data(), back.data(), back.data(), back.size() / kAesBlockSize);
    EXPECT_EQ(back, in);
    EXPECT_EQ(Bytes(out.end() - 16, out.end()), chain);
    return out;
  }
};

// FIPS 197 appendix C: one block under each key size (CBC with a zero IV is the bare cipher).
TEST_P(AesKernelTest, Fips197AppendixC) {
  const struct {
    const char* key;
    const char* cipher;
  } kAnswers[] = {
      {"000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
      {"000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191"},
      {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
       "8ea2b7ca516745bfeafc49904b496089"},
  };
  for (const auto& answer : kAnswers) {
    SCOPED_TRACE(answer.key);
    EXPECT_EQ(
        RoundTrip(Schedule(Hex(answer.key)), Bytes(16, 0), Hex("00112233445566778899aabbccddeeff")),
        Hex(answer.cipher));
  }
}

// NIST SP 800-38A F.2.1-F.2.6: four chained blocks under each key size.
TEST_P(AesKernelTest, Sp80038aCbc) {
  const Bytes plain =
      Hex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
          "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710");
  const struct {
    const char* key;
    const char* cipher;
  } kAnswers[] = {
      {"2b7e151628aed2a6abf7158809cf4f3c",
       "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"
       "73bed6b8e3c1743b7116e69e222295163ff1caa1681fac09120eca307586e1a7"},
      {"8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b",
       "4f021db243bc633d7178183a9fa071e8b4d9ada9ad7dedf4e5e738763f69145a"
       "571b242012fb7ae07fa9baac3df102e008b0e27988598881d920a9e64f5615cd"},
      {"603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4",
       "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
       "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b"},
  };
  for (const auto& answer : kAnswers) {
    SCOPED_TRACE(answer.key);
    EXPECT_EQ(RoundTrip(Schedule(Hex(answer.key)), Hex("000102030405060708090a0b0c0d0e0f"), plain),
              Hex(answer.cipher));
  }
}

INSTANTIATE_TEST_SUITE_P(BothKernels, AesKernelTest, test_support::kBothAesKernels,
                         test_support::AesKernelName);

// Random keys and messages of 1..13 blocks (whole and partial groups of the
// kernels' parallel decryption): the portable kernel gives what AES-NI gives.
TEST(AesKernels, AgreeOnRandomMessages) {
  if (!AesNiAvailable())
    GTEST_SKIP() << "this processor has no AES instructions: nothing to compare with";
  test_support::Lcg lcg{2024};
  for (std::size_t key_size : {16u, 24u, 32u}) {
    for (std::size_t blocks = 1; blocks <= 13; ++blocks) {
      SCOPED_TRACE(::testing::Message() << key_size << "-byte key, " << blocks << " blocks");
      Bytes key(key_size), iv(16), plain(blocks * 16);
      lcg.Fill(key.data(), key.size()), lcg.Fill(iv.data(), 16),
          lcg.Fill(plain.data(), plain.size());
      Bytes results[2];
      for (AesKernel kernel : {AesKernel::kPortable, AesKernel::kAesNi}) {
        AesKeySchedule schedule;
        AesSetKey(schedule, key.data(), key.size(), kernel);
        Bytes& out = results[kernel == AesKernel::kAesNi];
        Bytes chain = iv, back(plain.size());
        out.resize(plain.size());
        AesCbcEncrypt(schedule, chain.data(), plain.data(), out.data(), blocks);
        chain = iv;
        AesCbcDecrypt(schedule, chain.data(), out.data(), back.data(), blocks);
        EXPECT_EQ(back, plain);
      }
      EXPECT_EQ(results[0], results[1]);
    }
  }
}

// Forcing the portable kernel is what lets the toolkit tests reach it on a
// processor with AES-NI; lifting it restores the processor's kernel.
TEST(AesKernels, PortableCanBeForced) {
  ForceAesPortableForTesting(true);
  EXPECT_EQ(AesPreferredKernel(), AesKernel::kPortable);
  ForceAesPortableForTesting(false);
  EXPECT_EQ(AesPreferredKernel(), AesNiAvailable() ? AesKernel::kAesNi : AesKernel::kPortable);
}

}  // namespace
}  // namespace kcertadm
