#include <gtest/gtest.h>

#include "crypto/toolkit_util.h"

namespace kcertadm {
namespace {

struct Objects {
  const ToolkitLockHeld& lock;
  AlgorithmObject* alg = nullptr;
  KeyObject* key = nullptr;
  explicit Objects(const ToolkitLockHeld& held) : lock(held) {
    EXPECT_EQ(AlgCreate(lock, &alg), 0);
    EXPECT_EQ(KeyCreate(lock, &key), 0);
  }
  ~Objects() { AlgDestroy(lock, &alg), KeyDestroy(lock, &key); }
};

const Bytes kDesKey = test_support::Hex("0123456789abcdef");
const Bytes kIv(8, 0);
const CbcParams kCbc{kIv.data()};

// Each call is made in the state the calls before it left.
TEST(CallingOrder, CallsOutOfOrderOrOfAnotherFamilyAreRefused) {
  ToolkitLockHeld lock;
  Objects des(lock), md5(lock), random(lock);
  std::uint8_t buffer[64] = {};
  std::uint32_t length = 77;
  ASSERT_EQ(AlgSetInfo(lock, md5.alg, AlgInfoMd5(), nullptr).code() |
                AlgSetInfo(lock, random.alg, AlgInfoRandomMd5(), nullptr).code(),
            0);
  EXPECT_EQ(RandomGenerate(lock, random.alg, buffer, 1, nullptr), 538)
      << "a random object serves only once initialised";
  EXPECT_EQ(RandomSeed(lock, random.alg, buffer, 1, nullptr), 538);
  ASSERT_EQ(KeySetInfo(lock, des.key, KeyInfoDes8(), kDesKey.data()), 0);
  EXPECT_EQ(EncryptUpdate(lock, des.alg, buffer, &length, 16, buffer, 8, nullptr, nullptr),
            TkErrAlgNotSet);
  EXPECT_EQ(length, 0u);
  ASSERT_EQ(AlgSetInfo(lock, des.alg, AlgInfoDesCbc(), &kCbc), 0);
  EXPECT_EQ(AlgSetInfo(lock, des.alg, AlgInfoMd5(), nullptr), TkErrAlgInfoAlreadySet);
  EXPECT_EQ(EncryptFinal(lock, des.alg, buffer, &length, 16, nullptr, nullptr),
            TkErrNotInitialised);
  ASSERT_EQ(EncryptInit(lock, des.alg, des.key, DesCbcMethods, nullptr), 0);
  // A failed second Init leaves the object uninitialised.
  EXPECT_EQ(EncryptInit(lock, des.alg, des.key, DigestMethods, nullptr), TkErrNoMethod);
  EXPECT_EQ(EncryptUpdate(lock, des.alg, buffer, &length, 8, buffer, 8, nullptr, nullptr),
            TkErrNotInitialised);
  EXPECT_EQ(SignInit(lock, md5.alg, nullptr, DigestMethods, nullptr), TkErrWrongKind);
  ASSERT_EQ(DigestInit(lock, md5.alg, nullptr, DigestMethods, nullptr), 0);
  EXPECT_EQ(EncryptUpdate(lock, md5.alg, buffer, &length, 64, buffer, 8, nullptr, nullptr),
            TkErrWrongKind);
}

TEST(Handles, InvalidObjectsAndInfoKindsAreRecognised) {
  AlgorithmObject forged_alg;  // never created: no marker
  KeyObject forged_key;
  ToolkitLockHeld lock;
  Objects o(lock);
  std::uint8_t buffer[16];
  std::uint32_t length;
  const struct {
    const char* why;
    int status, expected;
  } kCases[] = {
      {"null algorithm", AlgSetInfo(lock, nullptr, AlgInfoMd5(), nullptr).code(),
       TkErrBadAlgObject},
      {"forged algorithm", AlgSetInfo(lock, &forged_alg, AlgInfoMd5(), nullptr).code(),
       TkErrBadAlgObject},
      {"forged random object", RandomGenerate(lock, &forged_alg, buffer, 4, nullptr).code(),
       TkErrBadRandomObject},
      {"forged random",
       EncryptUpdate(lock, o.alg, buffer, &length, 16, buffer, 8, &forged_alg, nullptr).code(),
       TkErrBadRandomObject},
      {"forged key", EncryptInit(lock, o.alg, &forged_key, DesCbcMethods, nullptr).code(),
       TkErrBadKeyObject},
      {"a key form as algorithm", AlgSetInfo(lock, o.alg, KeyInfoDes8(), kDesKey.data()).code(),
       TkErrWrongAlgInfoKind},
      {"an algorithm as key form", KeySetInfo(lock, o.key, AlgInfoMd5(), nullptr).code(),
       TkErrWrongKind},
      {"algorithms cannot be read back", AlgGetInfo(lock, nullptr, o.alg, AlgInfoMd5()).code(),
       TkErrNotSupported},
  };
  for (const auto& c : kCases) EXPECT_EQ(c.status, c.expected) << c.why;
  EXPECT_EQ(o.alg->infoCount + o.key->infoCount, 0u);
  // Destroying clears the handle whether it was valid, forged or null.
  AlgorithmObject* alg = &forged_alg;
  KeyObject* key = &forged_key;
  AlgDestroy(lock, &alg), AlgDestroy(lock, nullptr), KeyDestroy(lock, &key);
  EXPECT_TRUE(alg == nullptr && key == nullptr);
}

// Which forms derive from which material; only granted forms are recorded.
TEST(KeyForms, Derivation) {
  const Bytes odd = kDesKey, even = test_support::Hex("0023456789abcdef"), bytes24(24, 0x5b);
  const ByteItem item_odd{odd.data(), 8}, item_even{even.data(), 8}, item24{bytes24.data(), 24},
      item7{bytes24.data(), 7};
  const struct {
    const char* why;
    const KeyInfoType *set_type, *get_type;
    const void* material;
    int status;
  } kCases[] = {
      {"Des8 from 8-byte item", KeyInfoItem(), KeyInfoDes8(), &item_odd, 0},
      {"Des8 from 7-byte item", KeyInfoItem(), KeyInfoDes8(), &item7, TkErrBadKeyForm},
      {"DesEde3 from 24-byte item", KeyInfoItem(), KeyInfoDesEde3(), &item24, 0},
      {"DesEde3 from Des8 (via its item)", KeyInfoDes8(), KeyInfoDesEde3(), odd.data(),
       TkErrBadKeyForm},
      {"DesParity from odd Des8", KeyInfoDes8(), KeyInfoDesParity(), odd.data(), 0},
      {"DesParity refuses a byte of even parity", KeyInfoItem(), KeyInfoDesParity(), &item_even,
       TkErrBadKeyForm},
      {"an item is recorded when another form is set", KeyInfoDesEde3(), KeyInfoItem(),
       bytes24.data(), 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    ToolkitLockHeld lock;
    Objects o(lock);
    ASSERT_EQ(KeySetInfo(lock, o.key, c.set_type, c.material), 0);
    const void* record = nullptr;
    EXPECT_EQ(KeyGetInfo(lock, &record, o.key, c.get_type), c.status);
    EXPECT_EQ(o.key->FindInfo(c.get_type) != nullptr, c.status == 0);
  }
}

TEST(KeyForms, MaterialCopiedOnceParityForcedAndDerivedFormsCached) {
  ToolkitLockHeld lock;
  Objects o(lock);
  const void *first = nullptr, *second = nullptr;
  EXPECT_EQ(KeyGetInfo(lock, &first, o.key, KeyInfoItem()), TkErrKeyEmpty);
  Bytes caller(8, 0);
  ASSERT_EQ(KeySetInfo(lock, o.key, KeyInfoDesParity(), caller.data()), 0);
  caller.assign(8, 0x55);
  EXPECT_EQ(KeySetInfo(lock, o.key, KeyInfoDes8(), kDesKey.data()), TkErrKeyAlreadySet);
  ASSERT_EQ(KeyGetInfo(lock, &first, o.key, KeyInfoDes8()).code() |
                KeyGetInfo(lock, &second, o.key, KeyInfoDes8()).code(),
            0);
  EXPECT_EQ(first, second);
  EXPECT_EQ(test_support::ToHex(static_cast<const std::uint8_t*>(first), 8), "0101010101010101");
}

TEST(MethodLookup, ListsAndKeys) {
  const ByteItem item7{kDesKey.data(), 7};
  // item: KeyInfoItem material, or null for Des8
  const struct {
    const char* why;
    MethodList methods;
    bool with_key;
    const void* item;
    int status;
  } kCases[] = {
      {"null list", nullptr, true, nullptr, TkErrNoMethod},
      {"list without the algorithm", Rc4Methods, true, nullptr, TkErrNoMethod},
      {"key form cannot be derived", DesCbcMethods, true, &item7, TkErrBadKeyForm},
      {"no key where one is needed", DesCbcMethods, false, nullptr, TkErrBadKeyObject},
      {"DES from the key ring's list", PbeMethods, true, nullptr, 0},
  };
  for (const auto& c : kCases) {
    ToolkitLockHeld lock;
    Objects o(lock);
    ASSERT_EQ(AlgSetInfo(lock, o.alg, AlgInfoDesCbc(), &kCbc), 0);
    ASSERT_EQ(c.item ? KeySetInfo(lock, o.key, KeyInfoItem(), c.item)
                     : KeySetInfo(lock, o.key, KeyInfoDes8(), kDesKey.data()),
              0);
    EXPECT_EQ(EncryptInit(lock, o.alg, c.with_key ? o.key : nullptr, c.methods, nullptr), c.status)
        << c.why;
  }
}

}  // namespace
}  // namespace kcertadm
