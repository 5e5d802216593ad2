// DES, triple DES, RC2 and RC4: published known answers, generated vectors
// through the object calls, and the buffering and final-call rules.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "crypto/des.h"
#include "crypto/rc2.h"
#include "crypto/rc4.h"
#include "crypto/toolkit.h"
#include "crypto/toolkit_util.h"

namespace kcertadm {
namespace {

using testing::FromHex;
using testing::ToHex;
using Bytes = std::vector<std::uint8_t>;

Bytes DesCbc(const std::string& key, const std::string& iv, const Bytes& in, bool encrypt) {
  DesKeySchedule schedule;
  DesSetKey(schedule, FromHex(key).data());
  Bytes chain = FromHex(iv), out(in.size());
  if (encrypt)
    DesCbcEncrypt(schedule, chain.data(), in.data(), out.data(), in.size() / 8);
  else
    DesCbcDecrypt(schedule, chain.data(), in.data(), out.data(), in.size() / 8);
  return out;
}

struct BlockAnswer {
  const char* key;
  const char* plain;
  const char* cipher;
};

// Single-block DES answers: the textbook example, FIPS 81 (ECB of its first
// block), and NIST variable-plaintext / variable-key / S-box entries.
constexpr BlockAnswer kDesAnswers[] = {
    {"133457799bbcdff1", "0123456789abcdef", "85e813540f0ab405"},
    {"0123456789abcdef", "4e6f772069732074", "3fa40e8a984d4815"},
    {"0101010101010101", "8000000000000000", "95f8a5e5dd31d900"},
    {"0101010101010101", "0000000000000001", "166b40b44aba4bd6"},
    {"8001010101010101", "0000000000000000", "95a8d72813daa94d"},
    {"7ca110454a1a6e57", "01a1d6d039776742", "690f5b0d9a26939b"},
    {"0131d9619dc1376e", "5cd54ca83def57da", "7a389d10354bd271"},
};

TEST(DesKnownAnswers, SingleBlocks) {
  for (const auto& answer : kDesAnswers) {
    SCOPED_TRACE(answer.key);
    const Bytes zero_iv(8, 0);
    EXPECT_EQ(ToHex(DesCbc(answer.key, "0000000000000000", FromHex(answer.plain), true)), answer.cipher);
    EXPECT_EQ(ToHex(DesCbc(answer.key, "0000000000000000", FromHex(answer.cipher), false)), answer.plain);
  }
}

TEST(DesKnownAnswers, Fips81CbcExample) {
  const Bytes plain = testing::Bytes("Now is the time for all ");
  const char* cipher = "e5c7cdde872bf27c43e934008c389c0f683788499a7c05f6";
  EXPECT_EQ(ToHex(DesCbc("0123456789abcdef", "1234567890abcdef", plain, true)), cipher);
  EXPECT_EQ(DesCbc("0123456789abcdef", "1234567890abcdef", FromHex(cipher), false), plain);
}

TEST(DesKnownAnswers, ParityBitsAreIgnored) {
  const Bytes plain = FromHex("0123456789abcdef");
  EXPECT_EQ(DesCbc("133457799bbcdff1", "0000000000000000", plain, true),
            DesCbc("123456789abcdef0", "0000000000000000", plain, true));
}

TEST(DesKnownAnswers, TripleDesWithEqualKeysIsSingleDes) {
  const Bytes key = FromHex("0123456789abcdef0123456789abcdef0123456789abcdef");
  const Bytes plain = testing::PatternBytes(64);
  DesEde3KeySchedule schedule;
  DesEde3SetKey(schedule, key.data());
  Bytes iv = FromHex("1234567890abcdef"), out(plain.size());
  DesEde3CbcEncrypt(schedule, iv.data(), plain.data(), out.data(), 8);
  EXPECT_EQ(out, DesCbc("0123456789abcdef", "1234567890abcdef", plain, true));
}

TEST(DesKeyParity, ForcedAndChecked) {
  struct Case {
    const char* in;
    const char* forced;
  } const kCases[] = {
      {"0000000000000000", "0101010101010101"},
      {"ffffffffffffffff", "fefefefefefefefe"},
      {"0123456789abcdef", "0123456789abcdef"},  // already odd
      {"0022446688aaccee", "0123456789abcdef"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.in);
    Bytes key = FromHex(c.in);
    DesSetOddParity(key.data());
    EXPECT_EQ(ToHex(key), c.forced);
    EXPECT_TRUE(DesHasOddParity(key.data()));
  }
  EXPECT_FALSE(DesHasOddParity(FromHex("0123456789abcdee").data()));
}

// RFC 2268 section 5.
TEST(Rc2KnownAnswers, Rfc2268) {
  struct Answer {
    const char* key;
    std::uint32_t bits;
    const char* plain;
    const char* cipher;
  } const kAnswers[] = {
      {"0000000000000000", 63, "0000000000000000", "ebb773f993278eff"},
      {"ffffffffffffffff", 64, "ffffffffffffffff", "278b27e42e2f0d49"},
      {"3000000000000000", 64, "1000000000000001", "30649edf9be7d2c2"},
      {"88", 64, "0000000000000000", "61a8a244adacccf0"},
      {"88bca90e90875a", 64, "0000000000000000", "6ccf4308974c267f"},
      {"88bca90e90875a7f0f79c384627bafb2", 64, "0000000000000000", "1a807d272bbe5db1"},
      {"88bca90e90875a7f0f79c384627bafb2", 128, "0000000000000000", "2269552ab0f85ca6"},
      {"88bca90e90875a7f0f79c384627bafb216f80a6f85920584c42fceb0be255daf1e", 129, "0000000000000000",
       "5b78d3a43dfff1f1"},
  };
  for (const auto& answer : kAnswers) {
    SCOPED_TRACE(answer.key);
    const Bytes key = FromHex(answer.key), plain = FromHex(answer.plain);
    Rc2KeySchedule schedule;
    Rc2SetKey(schedule, key.data(), key.size(), answer.bits);
    Bytes iv(8, 0), out(8);
    Rc2CbcEncrypt(schedule, iv.data(), plain.data(), out.data(), 1);
    EXPECT_EQ(ToHex(out), answer.cipher);
    iv.assign(8, 0);
    Rc2CbcDecrypt(schedule, iv.data(), out.data(), out.data(), 1);
    EXPECT_EQ(ToHex(out), answer.plain);
  }
}

TEST(Rc4KnownAnswers, ClassicExamples) {
  struct Answer {
    const char* key;
    const char* plain;
    const char* cipher;
  } const kAnswers[] = {
      {"Key", "Plaintext", "bbf316e8d940af0ad3"},
      {"Wiki", "pedia", "1021bf0420"},
      {"Secret", "Attack at dawn", "45a01f645fc35b383552544b9bf5"},
  };
  for (const auto& answer : kAnswers) {
    SCOPED_TRACE(answer.key);
    const Bytes key = testing::Bytes(answer.key), plain = testing::Bytes(answer.plain);
    Rc4State state;
    Rc4SetKey(state, key.data(), key.size());
    Bytes out(plain.size());
    Rc4Crypt(state, plain.data(), out.data(), out.size());
    EXPECT_EQ(ToHex(out), answer.cipher);
  }
}

// ----------------------------------------------------- through the objects

struct CipherSetup {
  const AlgorithmInfoType* type;
  const void* params;
  const KeyInfoType* key_form;
  const void* key_material;
  MethodList methods;
};

// Runs a whole message through one object, fed in pieces of `piece` bytes
// (0: in one piece), with output buffers sized by the caller's rule.
int RunCipher(const CipherSetup& setup, bool encrypt, const Bytes& in, std::size_t piece, Bytes* out) {
  AlgorithmObject* alg = nullptr;
  KeyObject* key = nullptr;
  EXPECT_EQ(AlgCreate(&alg), 0);
  EXPECT_EQ(KeyCreate(&key), 0);
  int status = KeySetInfo(key, setup.key_form, setup.key_material);
  if (status == 0) status = AlgSetInfo(alg, setup.type, setup.params);
  if (status == 0)
    status = encrypt ? EncryptInit(alg, key, setup.methods, nullptr) : DecryptInit(alg, key, setup.methods, nullptr);
  out->assign(in.size() + 16, 0);
  std::uint32_t total = 0;
  if (piece == 0) piece = in.size() == 0 ? 1 : in.size();
  for (std::size_t at = 0; status == 0 && at < in.size(); at += piece) {
    const auto n = static_cast<std::uint32_t>(std::min(piece, in.size() - at));
    std::uint32_t written = 0;
    const auto room = static_cast<std::uint32_t>(out->size() - total);
    status = encrypt ? EncryptUpdate(alg, out->data() + total, &written, room, in.data() + at, n, nullptr, nullptr)
                     : DecryptUpdate(alg, out->data() + total, &written, room, in.data() + at, n, nullptr, nullptr);
    total += written;
  }
  if (status == 0) {
    std::uint32_t written = 0;
    const auto room = static_cast<std::uint32_t>(out->size() - total);
    status = encrypt ? EncryptFinal(alg, out->data() + total, &written, room, nullptr, nullptr)
                     : DecryptFinal(alg, out->data() + total, &written, room, nullptr, nullptr);
    total += written;
  }
  out->resize(total);
  AlgDestroy(&alg);
  KeyDestroy(&key);
  return status;
}

TEST(CipherObjects, GeneratedVectorsInOneAndManyPieces) {
  const auto rows = testing::ReadVectorFile("cipher_vectors.txt");
  ASSERT_GT(rows.size(), 60u);
  for (const auto& row : rows) {
    const std::string& name = row[0];
    SCOPED_TRACE(name + " key " + row[1] + " length " + row[4]);
    const Bytes key = FromHex(row[1]);
    const Bytes iv = row[2] == "-" ? Bytes(8, 0) : FromHex(row[2]);
    const Bytes plain = testing::PatternBytes(std::stoul(row[4]));
    const Bytes expected = FromHex(row[5]);
    const CbcParams cbc{iv.data()};
    const Rc2CbcParams rc2{static_cast<std::uint32_t>(std::stoul(row[3])), iv.data()};
    const ByteItem item{key.data(), static_cast<std::uint32_t>(key.size())};
    CipherSetup setup{};
    if (name == "des-cbc") setup = {AlgInfoDesCbc(), &cbc, KeyInfoDes8(), key.data(), DesCbcMethods};
    if (name == "des-ede3-cbc") setup = {AlgInfoDesEde3Cbc(), &cbc, KeyInfoDesEde3(), key.data(), DesEde3CbcMethods};
    if (name == "rc2-cbc") setup = {AlgInfoRc2Cbc(), &rc2, KeyInfoItem(), &item, Rc2CbcMethods};
    if (name == "rc4") setup = {AlgInfoRc4(), nullptr, KeyInfoItem(), &item, Rc4Methods};
    ASSERT_NE(setup.type, nullptr);
    for (std::size_t piece : {0u, 1u, 5u, 13u, 64u}) {
      SCOPED_TRACE(piece);
      Bytes out;
      ASSERT_EQ(RunCipher(setup, true, plain, piece, &out), 0);
      EXPECT_EQ(out, expected);
      ASSERT_EQ(RunCipher(setup, false, expected, piece, &out), 0);
      EXPECT_EQ(out, plain);
    }
  }
}

// The DES key can come as an 8-byte item, as KeyInfoDes8 or as
// KeyInfoDesParity; all give the same cipher (DES ignores parity).
TEST(CipherObjects, DesKeyFormsAgree) {
  const Bytes key = FromHex("0123456789abcdef"), iv = FromHex("1234567890abcdef");
  const Bytes plain = testing::Bytes("Now is the time for all ");
  const CbcParams params{iv.data()};
  const ByteItem item{key.data(), 8};
  const CipherSetup setups[] = {
      {AlgInfoDesCbc(), &params, KeyInfoItem(), &item, DesCbcMethods},
      {AlgInfoDesCbc(), &params, KeyInfoDes8(), key.data(), DesCbcMethods},
      {AlgInfoDesCbc(), &params, KeyInfoDesParity(), key.data(), DesCbcMethods},
  };
  for (const auto& setup : setups) {
    Bytes out;
    ASSERT_EQ(RunCipher(setup, true, plain, 0, &out), 0);
    EXPECT_EQ(ToHex(out), "e5c7cdde872bf27c43e934008c389c0f683788499a7c05f6");
  }
}

struct Session {
  AlgorithmObject* alg = nullptr;
  KeyObject* key = nullptr;
  ~Session() {
    AlgDestroy(&alg);
    KeyDestroy(&key);
  }
};

// Opens a DES-CBC object (key 0123456789abcdef, IV 0) in one direction.
void OpenDes(Session& s, bool encrypt) {
  static const Bytes key = FromHex("0123456789abcdef"), iv(8, 0);
  const CbcParams params{iv.data()};
  ASSERT_EQ(AlgCreate(&s.alg), 0);
  ASSERT_EQ(KeyCreate(&s.key), 0);
  ASSERT_EQ(KeySetInfo(s.key, KeyInfoDes8(), key.data()), 0);
  ASSERT_EQ(AlgSetInfo(s.alg, AlgInfoDesCbc(), &params), 0);
  ASSERT_EQ(encrypt ? EncryptInit(s.alg, s.key, DesCbcMethods, nullptr) : DecryptInit(s.alg, s.key, DesCbcMethods, nullptr), 0);
}

TEST(CbcBuffering, PartialBlockIsHeldAndRefusedAtFinal) {
  Session s;
  OpenDes(s, true);
  std::uint8_t out[32];
  std::uint32_t written = 99;
  const Bytes in = testing::PatternBytes(12);
  ASSERT_EQ(EncryptUpdate(s.alg, out, &written, sizeof(out), in.data(), 12, nullptr, nullptr), 0);
  EXPECT_EQ(written, 8u);
  EXPECT_EQ(EncryptFinal(s.alg, out, &written, sizeof(out), nullptr, nullptr), TkErrInputTooLong);
  EXPECT_EQ(written, 0u);
}

TEST(CbcBuffering, SmallOutputBufferRefusedWithoutConsumingInput) {
  Session s;
  OpenDes(s, true);
  const Bytes in = testing::PatternBytes(16);
  std::uint8_t out[16];
  std::uint32_t written = 99;
  EXPECT_EQ(EncryptUpdate(s.alg, out, &written, 15, in.data(), 16, nullptr, nullptr), TkErrOutputTooSmall);
  EXPECT_EQ(written, 0u);
  // Nothing was taken: the retry produces the same as a fresh object.
  ASSERT_EQ(EncryptUpdate(s.alg, out, &written, 16, in.data(), 16, nullptr, nullptr), 0);
  EXPECT_EQ(Bytes(out, out + 16), DesCbc("0123456789abcdef", "0000000000000000", in, true));
  // Seven bytes fit in no block: nothing to write, even into no buffer.
  EXPECT_EQ(EncryptUpdate(s.alg, nullptr, &written, 0, in.data(), 7, nullptr, nullptr), 0);
  EXPECT_EQ(written, 0u);
}

TEST(CbcBuffering, OtherDirectionAfterInitIsRefused) {
  Session s;
  OpenDes(s, true);
  std::uint8_t out[8];
  std::uint32_t written;
  EXPECT_EQ(DecryptUpdate(s.alg, out, &written, 8, out, 8, nullptr, nullptr), TkErrNotInitialised);
}

TEST(CipherKeyLimits, RefusedAtInit) {
  const Bytes iv(8, 0), long_key(257, 1), key16(16, 2);
  struct Case {
    const char* why;
    const AlgorithmInfoType* type;
    std::uint32_t effective_bits;
    std::uint32_t key_length;
    int status;
  } const kCases[] = {
      {"RC2 key of 129 bytes", AlgInfoRc2Cbc(), 128, 129, TkErrNotFound},
      {"RC2 empty key", AlgInfoRc2Cbc(), 128, 0, TkErrNotFound},
      {"RC2 effective bits 0", AlgInfoRc2Cbc(), 0, 16, TkErrNotFound},
      {"RC2 128-byte key, 1024 bits", AlgInfoRc2Cbc(), 1024, 128, 0},
      {"RC4 key of 257 bytes", AlgInfoRc4(), 0, 257, TkErrBadKeyLength},
      {"RC4 empty key", AlgInfoRc4(), 0, 0, TkErrBadKeyLength},
      {"RC4 256-byte key", AlgInfoRc4(), 0, 256, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    Session s;
    ASSERT_EQ(AlgCreate(&s.alg), 0);
    ASSERT_EQ(KeyCreate(&s.key), 0);
    const ByteItem item{long_key.data(), c.key_length};
    ASSERT_EQ(KeySetInfo(s.key, KeyInfoItem(), &item), 0);
    const Rc2CbcParams rc2{c.effective_bits, iv.data()};
    const bool is_rc2 = c.type == AlgInfoRc2Cbc();
    ASSERT_EQ(AlgSetInfo(s.alg, c.type, is_rc2 ? static_cast<const void*>(&rc2) : nullptr), 0);
    EXPECT_EQ(EncryptInit(s.alg, s.key, is_rc2 ? Rc2CbcMethods : Rc4Methods, nullptr), c.status);
  }
}

TEST(CipherKeyLimits, Rc2EffectiveBitsAbove1024RefusedAtSetInfo) {
  const Bytes iv(8, 0);
  for (std::uint32_t bits : {1025u, 0xffffffffu}) {
    AlgorithmObject* alg = nullptr;
    ASSERT_EQ(AlgCreate(&alg), 0);
    const Rc2CbcParams params{bits, iv.data()};
    EXPECT_EQ(AlgSetInfo(alg, AlgInfoRc2Cbc(), &params), TkErrBadParameter);
    // The refused parameters leave the object free for a valid algorithm.
    const Rc2CbcParams valid{1024, iv.data()};
    EXPECT_EQ(AlgSetInfo(alg, AlgInfoRc2Cbc(), &valid), 0);
    AlgDestroy(&alg);
  }
}

// The object keeps its own copy of the IV: changing the caller's buffer
// after AlgSetInfo changes nothing.
TEST(CipherObjects, IvIsCopiedAtSetInfo) {
  const Bytes key = FromHex("0123456789abcdef");
  Bytes iv = FromHex("1234567890abcdef");
  Session s;
  ASSERT_EQ(AlgCreate(&s.alg), 0);
  ASSERT_EQ(KeyCreate(&s.key), 0);
  ASSERT_EQ(KeySetInfo(s.key, KeyInfoDes8(), key.data()), 0);
  const CbcParams params{iv.data()};
  ASSERT_EQ(AlgSetInfo(s.alg, AlgInfoDesCbc(), &params), 0);
  EXPECT_TRUE(s.alg->flags & kAlgFlagHasIv);
  std::fill(iv.begin(), iv.end(), 0xee);
  ASSERT_EQ(EncryptInit(s.alg, s.key, DesCbcMethods, nullptr), 0);
  const Bytes plain = testing::Bytes("Now is t");
  std::uint8_t out[8];
  std::uint32_t written;
  ASSERT_EQ(EncryptUpdate(s.alg, out, &written, 8, plain.data(), 8, nullptr, nullptr), 0);
  EXPECT_EQ(ToHex(out, 8), "e5c7cdde872bf27c");
}

}  // namespace
}  // namespace kcertadm
