// The object model of the toolkit: calling order, handle checks, info kinds,
// key forms and their derivation and caching, the method lookup and the
// translation of implementation codes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "crypto/toolkit.h"
#include "crypto/toolkit_scope.h"
#include "crypto/toolkit_util.h"

namespace kcertadm {
namespace {

using testing::FromHex;
using Bytes = std::vector<std::uint8_t>;

struct Objects {
  AlgorithmObject* alg = nullptr;
  KeyObject* key = nullptr;
  Objects() {
    EXPECT_EQ(AlgCreate(&alg), 0);
    EXPECT_EQ(KeyCreate(&key), 0);
  }
  ~Objects() {
    AlgDestroy(&alg);
    KeyDestroy(&key);
  }
};

const Bytes kDesKey = FromHex("0123456789abcdef");
const Bytes kIv(8, 0);
const CbcParams kCbc{kIv.data()};

// ------------------------------------------------------------ calling order

TEST(CallingOrder, SetInfoTwiceIsRefused) {
  Objects o;
  ASSERT_EQ(AlgSetInfo(o.alg, AlgInfoMd5(), nullptr), 0);
  EXPECT_EQ(AlgSetInfo(o.alg, AlgInfoMd5(), nullptr), TkErrAlgInfoAlreadySet);
  EXPECT_EQ(AlgSetInfo(o.alg, AlgInfoDesCbc(), &kCbc), TkErrAlgInfoAlreadySet);
}

TEST(CallingOrder, UpdateAndFinalNeedAlgorithmThenInit) {
  Objects o;
  std::uint8_t buffer[16];
  std::uint32_t length = 77;
  EXPECT_EQ(EncryptUpdate(o.alg, buffer, &length, 16, buffer, 8, nullptr, nullptr), TkErrAlgNotSet);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(EncryptInit(o.alg, o.key, DesCbcMethods, nullptr), TkErrAlgNotSet);
  ASSERT_EQ(AlgSetInfo(o.alg, AlgInfoDesCbc(), &kCbc), 0);
  EXPECT_EQ(EncryptUpdate(o.alg, buffer, &length, 16, buffer, 8, nullptr, nullptr), TkErrNotInitialised);
  EXPECT_EQ(EncryptFinal(o.alg, buffer, &length, 16, nullptr, nullptr), TkErrNotInitialised);
}

TEST(CallingOrder, FailedInitLeavesTheObjectUninitialised) {
  Objects o;
  ASSERT_EQ(AlgSetInfo(o.alg, AlgInfoDesCbc(), &kCbc), 0);
  ASSERT_EQ(KeySetInfo(o.key, KeyInfoDes8(), kDesKey.data()), 0);
  ASSERT_EQ(EncryptInit(o.alg, o.key, DesCbcMethods, nullptr), 0);
  EXPECT_EQ(EncryptInit(o.alg, o.key, DigestMethods, nullptr), TkErrNoMethod);
  std::uint8_t buffer[8] = {};
  std::uint32_t length;
  EXPECT_EQ(EncryptUpdate(o.alg, buffer, &length, 8, buffer, 8, nullptr, nullptr), TkErrNotInitialised);
}

// Operations of another family than the installed algorithm are refused.
TEST(CallingOrder, WrongFamilyIsRefused) {
  Objects o;
  ASSERT_EQ(AlgSetInfo(o.alg, AlgInfoMd5(), nullptr), 0);
  std::uint8_t buffer[64];
  std::uint32_t length;
  EXPECT_EQ(EncryptInit(o.alg, nullptr, DigestMethods, nullptr), TkErrWrongKind);
  EXPECT_EQ(SignInit(o.alg, nullptr, DigestMethods, nullptr), TkErrWrongKind);
  EXPECT_EQ(RandomInit(o.alg, DigestMethods, nullptr), TkErrWrongKind);
  EXPECT_EQ(KeyPairGenerateInit(o.alg, DigestMethods, nullptr), TkErrWrongKind);
  ASSERT_EQ(DigestInit(o.alg, nullptr, DigestMethods, nullptr), 0);
  EXPECT_EQ(EncryptUpdate(o.alg, buffer, &length, 64, buffer, 8, nullptr, nullptr), TkErrWrongKind);
  EXPECT_EQ(VerifyFinal(o.alg, buffer, 64, nullptr, nullptr), TkErrWrongKind);
}

// ----------------------------------------------------------------- handles

TEST(Handles, InvalidObjectsAreRecognised) {
  AlgorithmObject forged_alg;  // never created: no marker
  KeyObject forged_key;
  Objects o;
  std::uint8_t buffer[16];
  std::uint32_t length;
  struct Case {
    const char* why;
    int status;
    int expected;
  } const kCases[] = {
      {"AlgSetInfo on null", AlgSetInfo(nullptr, AlgInfoMd5(), nullptr), TkErrBadAlgObject},
      {"AlgSetInfo on forged", AlgSetInfo(&forged_alg, AlgInfoMd5(), nullptr), TkErrBadAlgObject},
      {"DigestInit on null", DigestInit(nullptr, nullptr, DigestMethods, nullptr), TkErrBadAlgObject},
      {"RandomInit on null", RandomInit(nullptr, nullptr, nullptr), TkErrBadRandomObject},
      {"RandomGenerate on forged", RandomGenerate(&forged_alg, buffer, 4, nullptr), TkErrBadRandomObject},
      {"RandomSeed without algorithm", RandomSeed(o.alg, buffer, 4, nullptr), TkErrAlgNotSet},
      {"forged random argument", EncryptUpdate(o.alg, buffer, &length, 16, buffer, 8, &forged_alg, nullptr),
       TkErrBadRandomObject},
      {"forged key at Init", EncryptInit(o.alg, &forged_key, DesCbcMethods, nullptr), TkErrBadKeyObject},
      {"KeySetInfo on forged", KeySetInfo(&forged_key, KeyInfoDes8(), kDesKey.data()), TkErrBadKeyObject},
      {"KeySetInfo on null", KeySetInfo(nullptr, KeyInfoDes8(), kDesKey.data()), TkErrBadKeyObject},
      {"KeyGetInfo on null", KeyGetInfo(nullptr, nullptr, KeyInfoItem()), TkErrBadKeyObject},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(c.status, c.expected);
  }
}

TEST(Handles, DestroyAlwaysClearsTheHandle) {
  AlgorithmObject forged_alg;
  AlgorithmObject* alg = &forged_alg;
  AlgDestroy(&alg);  // invalid: left alone, handle cleared
  EXPECT_EQ(alg, nullptr);
  AlgDestroy(&alg);  // null
  EXPECT_EQ(alg, nullptr);
  AlgDestroy(nullptr);
  KeyObject forged_key;
  KeyObject* key = &forged_key;
  KeyDestroy(&key);
  EXPECT_EQ(key, nullptr);
  KeyDestroy(nullptr);

  ASSERT_EQ(AlgCreate(&alg), 0);
  ASSERT_EQ(AlgSetInfo(alg, AlgInfoSha1(), nullptr), 0);
  ASSERT_EQ(DigestInit(alg, nullptr, DigestMethods, nullptr), 0);
  AlgDestroy(&alg);
  EXPECT_EQ(alg, nullptr);
}

TEST(Handles, InfoTypesOfTheWrongKind) {
  Objects o;
  EXPECT_EQ(AlgSetInfo(o.alg, KeyInfoDes8(), kDesKey.data()), TkErrWrongAlgInfoKind);
  EXPECT_EQ(AlgSetInfo(o.alg, nullptr, nullptr), TkErrWrongAlgInfoKind);
  EXPECT_EQ(KeySetInfo(o.key, AlgInfoMd5(), nullptr), TkErrWrongKind);
  EXPECT_EQ(KeySetInfo(nullptr, AlgInfoMd5(), nullptr), TkErrWrongKind);  // the kind is checked first
  EXPECT_EQ(o.alg->infoCount, 0u);
  EXPECT_EQ(o.key->infoCount, 0u);
  EXPECT_EQ(AlgGetInfo(nullptr, o.alg, AlgInfoMd5()), TkErrNotSupported);
}

// ----------------------------------------------------------------- key forms

TEST(KeyForms, SecondSetIsRefusedAndFirstMaterialKept) {
  Objects o;
  ASSERT_EQ(KeySetInfo(o.key, KeyInfoDes8(), kDesKey.data()), 0);
  const Bytes other = FromHex("fedcba9876543210");
  EXPECT_EQ(KeySetInfo(o.key, KeyInfoDes8(), other.data()), TkErrKeyAlreadySet);
  EXPECT_EQ(KeySetInfo(o.key, KeyInfoDesParity(), other.data()), TkErrKeyAlreadySet);
  const void* record = nullptr;
  ASSERT_EQ(KeyGetInfo(&record, o.key, KeyInfoDes8()), 0);
  EXPECT_EQ(0, std::memcmp(record, kDesKey.data(), 8));
}

TEST(KeyForms, EmptyKeyHasNoForms) {
  Objects o;
  const void* record = nullptr;
  EXPECT_EQ(KeyGetInfo(&record, o.key, KeyInfoItem()), TkErrKeyEmpty);
  EXPECT_EQ(KeyGetInfo(&record, o.key, KeyInfoDes8()), TkErrKeyEmpty);
}

TEST(KeyForms, ParityForcedWhenSetAndRecordedAsItem) {
  Objects o;
  const Bytes zeros(8, 0);
  ASSERT_EQ(KeySetInfo(o.key, KeyInfoDesParity(), zeros.data()), 0);
  const void* record = nullptr;
  ASSERT_EQ(KeyGetInfo(&record, o.key, KeyInfoDesParity()), 0);
  EXPECT_EQ(testing::ToHex(static_cast<const std::uint8_t*>(record), 8), "0101010101010101");
  ASSERT_EQ(KeyGetInfo(&record, o.key, KeyInfoItem()), 0);
  const auto* item = static_cast<const ByteItem*>(record);
  EXPECT_EQ(testing::ToHex(item->data, item->length), "0101010101010101");
  ASSERT_EQ(KeyGetInfo(&record, o.key, KeyInfoDes8()), 0);  // derived from the item
  EXPECT_EQ(testing::ToHex(static_cast<const std::uint8_t*>(record), 8), "0101010101010101");
}

// Which forms can be derived from which material.
TEST(KeyForms, Derivation) {
  const Bytes odd = FromHex("0123456789abcdef"), even = FromHex("0023456789abcdef");
  const Bytes bytes24(24, 0x5b), bytes7(7, 1);
  const ByteItem item_odd{odd.data(), 8}, item_even{even.data(), 8};
  const ByteItem item24{bytes24.data(), 24}, item7{bytes7.data(), 7};
  struct Case {
    const char* why;
    const KeyInfoType* set_type;
    const void* material;
    const KeyInfoType* get_type;
    int status;
  } const kCases[] = {
      {"Des8 from 8-byte item", KeyInfoItem(), &item_odd, KeyInfoDes8(), 0},
      {"Des8 from 7-byte item", KeyInfoItem(), &item7, KeyInfoDes8(), TkErrBadKeyForm},
      {"Des8 from 24-byte item", KeyInfoItem(), &item24, KeyInfoDes8(), TkErrBadKeyForm},
      {"DesEde3 from 24-byte item", KeyInfoItem(), &item24, KeyInfoDesEde3(), 0},
      {"DesEde3 from 8-byte item", KeyInfoItem(), &item_odd, KeyInfoDesEde3(), TkErrBadKeyForm},
      {"DesEde3 from Des8 (via its item)", KeyInfoDes8(), odd.data(), KeyInfoDesEde3(), TkErrBadKeyForm},
      {"DesParity from odd Des8", KeyInfoDes8(), odd.data(), KeyInfoDesParity(), 0},
      {"DesParity from an item with odd parity", KeyInfoItem(), &item_odd, KeyInfoDesParity(), 0},
      {"DesParity refuses a byte of even parity", KeyInfoItem(), &item_even, KeyInfoDesParity(), TkErrBadKeyForm},
      {"an item is never derived", KeyInfoDesEde3(), bytes24.data(), KeyInfoItem(), 0},  // recorded when set
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    Objects o;
    ASSERT_EQ(KeySetInfo(o.key, c.set_type, c.material), 0);
    const void* record = nullptr;
    EXPECT_EQ(KeyGetInfo(&record, o.key, c.get_type), c.status);
    EXPECT_EQ(o.key->FindInfo(c.get_type) != nullptr, c.status == 0) << "only granted forms are recorded";
  }
}

// A form outside the DES family that records nothing else: asking it for an
// item cannot succeed.
class OpaqueKeyForm final : public KeyInfoType {
 public:
  int AddInfo(KeyObject& key, const void*) const override {
    void* record = key.blocks.Allocate(4);
    return record == nullptr ? TkErrNoMemory : key.AddInfo(this, record);
  }
  int MakeInfo(void**, KeyObject&) const override { return TkErrBadKeyForm; }
};
const OpaqueKeyForm kOpaqueKeyForm;

TEST(KeyForms, ItemOfOtherMaterialIsRefused) {
  Objects o;
  ASSERT_EQ(KeySetInfo(o.key, &kOpaqueKeyForm, nullptr), 0);
  const void* record = nullptr;
  EXPECT_EQ(KeyGetInfo(&record, o.key, KeyInfoItem()), TkErrBadKeyForm);
  EXPECT_EQ(KeyGetInfo(&record, o.key, KeyInfoDes8()), TkErrBadKeyForm);
}

TEST(KeyForms, DerivedFormIsCached) {
  Objects o;
  const ByteItem item{kDesKey.data(), 8};
  ASSERT_EQ(KeySetInfo(o.key, KeyInfoItem(), &item), 0);
  ASSERT_EQ(o.key->infoCount, 1u);
  const void* first = nullptr;
  const void* second = nullptr;
  ASSERT_EQ(KeyGetInfo(&first, o.key, KeyInfoDesParity()), 0);  // through Des8
  EXPECT_EQ(o.key->infoCount, 3u);
  ASSERT_EQ(KeyGetInfo(&second, o.key, KeyInfoDesParity()), 0);
  EXPECT_EQ(first, second);
  EXPECT_EQ(o.key->infoCount, 3u);
}

TEST(KeyForms, MaterialIsCopied) {
  Objects o;
  Bytes caller = kDesKey;
  const ByteItem item{caller.data(), 8};
  ASSERT_EQ(KeySetInfo(o.key, KeyInfoItem(), &item), 0);
  std::fill(caller.begin(), caller.end(), 0);
  const void* record = nullptr;
  ASSERT_EQ(KeyGetInfo(&record, o.key, KeyInfoItem()), 0);
  EXPECT_EQ(Bytes(static_cast<const ByteItem*>(record)->data, static_cast<const ByteItem*>(record)->data + 8),
            kDesKey);
}

// ------------------------------------------------------------- method lookup

TEST(MethodLookup, ListsAndKeys) {
  const ByteItem item7{kDesKey.data(), 7};
  const AlgorithmMethod* const empty[] = {nullptr};
  struct Case {
    const char* why;
    MethodList methods;
    bool with_key;
    const void* item;  // KeyInfoItem material, or null for Des8
    int status;
  } const kCases[] = {
      {"null list", nullptr, true, nullptr, TkErrNoMethod},
      {"empty list", empty, true, nullptr, TkErrNoMethod},
      {"list without the algorithm", Rc4Methods, true, nullptr, TkErrNoMethod},
      {"key form cannot be derived", DesCbcMethods, true, &item7, TkErrBadKeyForm},
      {"no key where one is needed", DesCbcMethods, false, nullptr, TkErrBadKeyObject},
      {"DES from the key ring's list", PbeMethods, true, nullptr, 0},
      {"DES from its own list", DesCbcMethods, true, nullptr, 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    Objects o;
    ASSERT_EQ(AlgSetInfo(o.alg, AlgInfoDesCbc(), &kCbc), 0);
    if (c.item != nullptr)
      ASSERT_EQ(KeySetInfo(o.key, KeyInfoItem(), c.item), 0);
    else
      ASSERT_EQ(KeySetInfo(o.key, KeyInfoDes8(), kDesKey.data()), 0);
    EXPECT_EQ(EncryptInit(o.alg, c.with_key ? o.key : nullptr, c.methods, nullptr), c.status);
  }
}

// A stand-in family member to watch the lookup from inside: the entries it
// binds, in order, and what their binding returns.
struct BindLog {
  std::vector<int> tried;
};

class ProbeImplementation final : public MethodImplementation {
 public:
  ProbeImplementation(int id, int status) : id(id), status(status) {}
  int id;
  int status;
};

const ProbeImplementation kProbeFails(1, TkErrBadData);
const ProbeImplementation kProbeNoMemory(2, TkErrNoMemory);
const ProbeImplementation kProbeBinds(3, TkOk);

TEST(MethodLookup, OrderRememberedFailuresAndFatalCodes) {
  const AlgorithmMethod fails{AlgInfoMd5, 0, nullptr, &kProbeFails};
  const AlgorithmMethod no_memory{AlgInfoMd5, 0, nullptr, &kProbeNoMemory};
  const AlgorithmMethod binds{AlgInfoMd5, 0, nullptr, &kProbeBinds};
  const AlgorithmMethod other_direction{AlgInfoMd5, 1, nullptr, &kProbeBinds};
  const AlgorithmMethod other_type{AlgInfoSha1, 0, nullptr, &kProbeBinds};
  struct Case {
    const char* why;
    std::vector<const AlgorithmMethod*> list;
    int status;
    std::vector<int> tried;
  } const kCases[] = {
      {"first success wins", {&fails, &binds, &fails}, 0, {1, 3}},
      {"last failure is reported", {&fails, &other_type, &other_direction}, TkErrBadData, {1}},
      {"out of memory ends the lookup", {&no_memory, &binds}, TkErrNoMemory, {2}},
      {"nothing matches", {&other_type, &other_direction}, TkErrNoMethod, {}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.why);
    std::vector<const AlgorithmMethod*> list = c.list;
    list.push_back(nullptr);
    std::vector<int> tried;
    const int status = LookupMethod(list.data(), AlgInfoMd5(), 0, nullptr,
                                    [&](const AlgorithmMethod& method, const void* key_record) {
                                      EXPECT_EQ(key_record, nullptr);
                                      const auto& probe = dynamic_cast<const ProbeImplementation&>(*method.implementation);
                                      tried.push_back(probe.id);
                                      return probe.status;
                                    });
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(tried, c.tried);
  }
}

// ------------------------------------------------------------ code mapping

TEST(ImplementationCodes, TranslatedToStatuses) {
  const int kPairs[][2] = {{0, 0},     {1, 519},  {3, 521},  {4, 522},   {5, 524},  {6, 525},
                           {7, 533},   {9, 535},  {10, 536}, {11, 534},  {12, 528}, {13, 527},
                           {15, 513},  {128, 518}, {2, 520}, {8, 520},   {14, 520}, {-1, 520}};
  for (const auto& pair : kPairs) {
    SCOPED_TRACE(pair[0]);
    EXPECT_EQ(MapImplementationCode(pair[0]), pair[1]);
  }
  const int kBigNum[][2] = {{256, 128}, {257, 5}, {262, 5}, {263, 7}, {264, 5}, {267, 5}, {268, 10}, {269, 269}, {9, 9}};
  for (const auto& pair : kBigNum) {
    SCOPED_TRACE(pair[0]);
    EXPECT_EQ(MapBigNumCode(pair[0]), pair[1]);
  }
}

// ------------------------------------------------------------- scope helpers

TEST(ToolkitScope, HoldsTheLockAndOwnersDestroy) {
  {
    ToolkitScope scope;
    EXPECT_FALSE(ToolkitLock().try_lock());
    ScopedAlgorithm digest;
    ASSERT_EQ(digest.Create(), 0);
    ASSERT_EQ(AlgSetInfo(digest.get(), AlgInfoMd5(), nullptr), 0);
    ScopedKey key;
    ASSERT_EQ(key.Create(), 0);
  }
  ASSERT_TRUE(ToolkitLock().try_lock());
  ToolkitLock().unlock();
  EXPECT_EQ(WithToolkitLock([] { return ToolkitLock().try_lock() ? 1 : 0; }), 0);
}

}  // namespace
}  // namespace kcertadm
