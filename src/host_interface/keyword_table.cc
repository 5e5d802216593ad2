#include "host_interface/keyword_table.h"

#include <array>

#include "host/host_text.h"

namespace kcertadm {
namespace {

using C = SecurityCmdContext;

constexpr Keyword Text(const char* name, KeywordId id, const char* C::*field) {
  return {name, id, KeywordKind::kText, field, nullptr, nullptr, nullptr};
}
constexpr Keyword Number(const char* name, KeywordId id, std::int32_t C::*field) {
  return {name, id, KeywordKind::kNumber, nullptr, field, nullptr, nullptr};
}
constexpr Keyword Flag(const char* name, KeywordId id, std::int32_t C::*field) {
  return {name, id, KeywordKind::kFlag, nullptr, field, nullptr, nullptr};
}

constexpr Keyword OptionText(const char* name, KeywordId id, const char* CommandOptions::*option) {
  return {name, id, KeywordKind::kOptionText, nullptr, nullptr, option, nullptr};
}
constexpr Keyword OptionFlag(const char* name, KeywordId id, std::int32_t CommandOptions::*option) {
  return {name, id, KeywordKind::kOptionFlag, nullptr, nullptr, nullptr, option};
}

constexpr std::array<Keyword, kKeywordCount> kKeywords = {{
    Text("CommonName", kKwCommonName, &C::commonName),
    Text("EMail", kKwEMail, &C::email),
    Text("Org", kKwOrg, &C::org),
    Text("OrgUnit", kKwOrgUnit, &C::orgUnit),
    Text("City", kKwCity, &C::city),
    Text("State", kKwState, &C::state),
    Text("ZipCode", kKwZipCode, &C::zipCode),
    Text("Country", kKwCountry, &C::country),
    Text("Password", kKwPassword, &C::password),
    Text("NewPassword", kKwNewPassword, &C::newPassword),
    Text("KeyFile", kKwKeyFile, &C::keyFile),
    Text("KeyName", kKwKeyName, &C::label),
    Number("KeySize", kKwKeySize, &C::keySize),
    Text("CertReqFile", kKwCertReqFile, &C::certReqFile),
    Text("CertFile", kKwCertFile, &C::certFile),
    Number("ValidDays", kKwValidDays, &C::validDays),
    Text("EntriesFile", kKwEntriesFile, &C::entriesFile),
    Text("EntryLabel", kKwEntryLabel, &C::label),
    Flag("UsePEM", kKwUsePEM, &C::usePEM),
    Flag("UsePKCS", kKwUsePKCS, &C::usePKCS),
    Flag("UsePKCS7", kKwUsePKCS7, &C::usePKCS7),
    Flag("ShowPrivateKey", kKwShowPrivateKey, &C::showPrivateKey),
    Flag("ShowRawCert", kKwShowRawCert, &C::showRawCert),
    Flag("SelfSigned", kKwSelfSigned, &C::selfSigned),
    Flag("NoTrust", kKwNoTrust, &C::noTrust),
    Flag("ClientCert", kKwClientCert, &C::clientCert),
    Flag("UseBER", kKwUseBER, &C::useBER),
    Flag("WriteBinary", kKwWriteBinary, &C::writeBinary),
    Flag("WriteBER", kKwWriteBER, &C::writeBER),
    {"Version", kKwVersion, KeywordKind::kVersion, nullptr, nullptr},
    Flag("GetIssuer", kKwGetIssuer, &C::getIssuer),
    Flag("Verify", kKwVerify, &C::verify),
    Flag("UseStash", kKwUseStash, &C::useStash),
    {"NoZAV", kKwNoZAV, KeywordKind::kClear, nullptr, &C::noZavFlag},
    Flag("NoStashFile", kKwNoStashFile, &C::noStashFile),
    OptionText("Digest", kKwDigest, &CommandOptions::digest),
    OptionText("SubjectAltName", kKwSubjectAltName, &CommandOptions::subjectAltName),
    OptionFlag("WithChain", kKwWithChain, &CommandOptions::withChain),
    OptionText("FilePassword", kKwFilePassword, &CommandOptions::filePassword),
    OptionFlag("PemKey", kKwPemKey, &CommandOptions::pemKey),
}};

static_assert(kRecordKeywordCount == 35);

}  // namespace

std::span<const Keyword> Keywords() { return kKeywords; }

int FindKeyword(std::string_view token) {
  for (const Keyword& keyword : kKeywords) {
    if (HostCompareStringCounted(token, keyword.name, token.size()) == 0) return keyword.id;
  }
  return -1;
}

int FindKeywordExact(std::string_view name) {
  for (const Keyword& keyword : kKeywords) {
    if (HostCompareString(name, keyword.name) == 0) return keyword.id;
  }
  return -1;
}

}  // namespace kcertadm
