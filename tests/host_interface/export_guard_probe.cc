// No exception crosses the C interface: this program replaces operator new
// so that it can make every allocation fail, and calls the exports with
// inputs they would otherwise handle. GetTextDates, which builds a heap
// string, once let std::bad_alloc escape through extern "C".
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <new>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "host/messages.h"
#include "kcertadm.h"
#include "support/replaced_operator_new.h"
#include "support/test_files.h"

namespace {

std::atomic<bool> allocationsFail{false};

}  // namespace

void* TestAllocate(std::size_t n) noexcept {
  if (allocationsFail.load(std::memory_order_relaxed)) return nullptr;
  return std::malloc(n == 0 ? 1 : n);
}

namespace kcertadm {
namespace {

std::vector<std::uint8_t> CertificateDer() {
  return test_support::ReadFileBytes(std::string(KCERTADM_TEST_DATA_DIR) + "/cert/v3_ca.der");
}

// A record holding a malloc copy of der, as the host hands it over.
CertData RecordOf(const std::vector<std::uint8_t>& der) {
  CertData cert{};
  cert.der.data = static_cast<std::uint8_t*>(std::malloc(der.size()));
  std::memcpy(cert.der.data, der.data(), der.size());
  cert.der.length = static_cast<std::int32_t>(der.size());
  return cert;
}

// Runs call with every operator new failing; true when an exception came out.
bool EscapesWithAllocationsFailing(const std::function<void()>& call) {
  bool escaped = false;
  allocationsFail = true;
  try {
    call();
  } catch (...) {
    escaped = true;
  }
  allocationsFail = false;
  return escaped;
}

TEST(ExportGuard, NoExceptionCrossesTheCInterface) {
  std::uint32_t initError = 0;
  ASSERT_EQ(InitSecLib(&initError), 1);
  const std::vector<std::uint8_t> der = CertificateDer();
  ASSERT_FALSE(der.empty());
  CertData parsed = RecordOf(der);
  CertFields fields{};
  std::uint32_t error = 0;
  ASSERT_EQ(ParseCert(&parsed, &fields, &error), 0);
  Asn1Item base64{};
  ASSERT_GT(Base64Encode(der.data(), static_cast<std::int32_t>(der.size()), &base64), 0);
  const std::string certText(reinterpret_cast<char*>(base64.data),
                             static_cast<std::size_t>(base64.length));
  std::free(base64.data);
  const test_support::TempDir dir;
  const std::string missingRing = dir.Path("missing.kyr");

  char start[32], end[32], message[256], output[4096];
  std::uint32_t slot = 0;
  const std::uint8_t bmp[] = {0, 'A', 0, 'b'}, t61[] = {'A', 'b'};
  struct Case {
    const char* name;
    std::function<void()> call;
  };
  const Case kTests[] = {
      {"GetTextDates",
       [&] {
         EXPECT_EQ(GetTextDates(&fields, start, end, &slot), -1);
         EXPECT_EQ(slot, kMsgOutOfMemory);
       }},
      {"ProcessSecurityCmd",
       [&] {
         char parameters[] = "";
         ProcessSecurityCmd("AdminSecurity", parameters, message, sizeof message);
       }},
      {"ParseCert",
       [&] {
         CertData cert = RecordOf(der);
         CertFields out{};
         ParseCert(&cert, &out, &slot);
         FreeCertData(&cert);
       }},
      {"ParseDNSeq",
       [&] {
         DnFields name{};
         ParseDNSeq(&name, fields.subject, &slot);
       }},
      {"BMPToHCSET", [&] { BMPToHCSET(bmp, sizeof bmp, output, sizeof output); }},
      {"T61ToHCSET", [&] { T61ToHCSET(t61, sizeof t61, output, sizeof output); }},
      {"EnvelopeCert",
       [&] { EnvelopeCert(0, certText.c_str(), output, sizeof output, message, sizeof message); }},
      {"GetServerKey",
       [&] {
         ServerKeyData keyData{};
         GetServerKey(missingRing.c_str(), "pw", &keyData, message, sizeof message);
         FreeExtKeyData(&keyData);
       }},
      {"GetServerRootCert",
       [&] {
         ServerKeyData keyData{};
         GetServerRootCert(missingRing.c_str(), &keyData, message, sizeof message);
       }},
  };
  for (const Case& c : kTests) {
    SCOPED_TRACE(c.name);
    slot = 0;
    EXPECT_FALSE(EscapesWithAllocationsFailing(c.call)) << "an exception crossed extern \"C\"";
  }
  FreeCertData(&parsed);
}

// Every export is defined in one file, each through the one guard.
TEST(ExportGuard, EveryExportIsDefinedBehindTheGuard) {
  const std::string exports =
      test_support::ReadFileText(KCERTADM_SOURCE_DIR "/src/host_interface/exports.cc");
  const std::regex definition(R"(extern "C" KCERTADM_API [^(]+\([^{]*\{[^{}]*GuardExport\()");
  EXPECT_EQ(std::distance(std::sregex_iterator(exports.begin(), exports.end(), definition),
                          std::sregex_iterator()),
            22);
  const int status = std::system("grep -rl --include=*.cc 'extern \"C\"' " KCERTADM_SOURCE_DIR
                                 "/src | grep -v /host_interface/exports.cc >/dev/null");
  EXPECT_NE(status, 0) << "an export defined outside src/host_interface/exports.cc";
}

}  // namespace
}  // namespace kcertadm
