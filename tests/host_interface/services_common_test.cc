// The refusals the certificate services reach through shared steps, checked
// once over every service that takes the step.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "kcertadm.h"
#include "services_test_util.h"

namespace kcertadm::test {
namespace {

using SharedChecksTest = ServicesTest;

// Base64 text from the host that does not decode is refused with 30043, and
// nothing is built from it.
TEST_F(SharedChecksTest, TextThatDoesNotDecodeIsRefused) {
  char output[256];
  char message[256];
  const std::pair<const char*, std::function<Outcome(const char*)>> kServices[] = {
      {"ProcessClientCertReq", [&](const char* text) {
         SecurityCmdContext client{};
         client.commonName = "Client";
         client.requestText = text;
         client.requestTextLength = text != nullptr ? static_cast<std::uint32_t>(std::strlen(text)) : 0;
         HostRecord record;
         std::uint32_t error = 0;
         return Outcome(ProcessClientCertReq(&client, &record.value, &error), error);
       }},
      {"ParseCertReq", [&](const char* text) {
         HostRecord record;
         if (text != nullptr) SetText(&record.value.reqText, text);
         CertFields fields{};
         std::uint32_t error = 0;
         return Outcome(ParseCertReq(&record.value, &fields, &error), error);
       }},
      {"SignCertificate", [&](const char* text) {
         return Outcome(SignCertificate("KeyFile=k;Password=p", text, output, sizeof output, message, sizeof message),
                        MessageIn(message));
       }},
      {"EnvelopeCert", [&](const char* text) {
         return Outcome(EnvelopeCert(0, text, output, sizeof output, message, sizeof message), MessageIn(message));
       }},
  };
  for (const char* text : {"not base64!", "", static_cast<const char*>(nullptr)}) {
    for (const auto& [name, run] : kServices) {
      SCOPED_TRACE(std::string(name) + " on " + (text ? "\"" + std::string(text) + "\"" : "no text"));
      std::strcpy(output, "untouched");
      EXPECT_EQ(run(text), Outcome(-1, 30043));
      EXPECT_STREQ(output, "untouched");
    }
  }
}

// A key ring that does not open is refused alike (with a nonzero status) by
// the services that read one.
TEST_F(SharedChecksTest, KeyRingThatDoesNotOpenIsRefused) {
  const std::string ring = Ring("chain.kyr", {{"server", true, false}, {"root", false, true}});
  const std::string missing = dir_.Path("missing.kyr");
  char message[256];
  const std::pair<const char*, std::function<std::int32_t(const std::string&, const char*)>> kServices[] = {
      {"GetServerKey", [&](const std::string& keyFile, const char* password) {
         HostKeyData key;
         return GetServerKey(keyFile.c_str(), password, &key.value, message, sizeof message);
       }},
      {"GetCertDN", [&](const std::string& keyFile, const char* password) {
         SecurityCmdContext context{};
         context.keyFile = keyFile.c_str();
         context.password = password;
         HostRecord cert;
         DnFields name{};
         return GetCertDN(&context, &cert.value, &name, message, sizeof message);
       }},
      {"SignCertificate", [&](const std::string& keyFile, const char* password) {
         const std::string parameters = "KeyFile=" + keyFile + ";Password=" + password;
         char output[256];
         return SignCertificate(parameters.c_str(), "AAAA", output, sizeof output, message, sizeof message);
       }},
  };
  struct Case {
    const char* why;
    const std::string& keyFile;
    const char* password;
    std::uint32_t message;
  } const kTests[] = {
      {"wrong password", ring, "wrong", 30009},
      {"no key ring file", missing, kPassword, 30010},
  };
  for (const Case& test : kTests) {
    for (const auto& [name, run] : kServices) {
      SCOPED_TRACE(std::string(name) + ": " + test.why);
      std::strcpy(message, "");
      EXPECT_NE(run(test.keyFile, test.password), 0);
      EXPECT_EQ(MessageIn(message), test.message);
    }
  }
}

}  // namespace
}  // namespace kcertadm::test
