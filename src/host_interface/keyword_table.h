// The parameter keywords, in the order in which they are searched.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "kcertadm.h"

namespace kcertadm {

enum class KeywordKind {
  kText,     // stores the value (none, empty or text)
  kNumber,   // stores the decimal value when one is given
  kFlag,     // sets the field to 1 whatever the value says
  kVersion,  // only checks that the value is "2"
  kClear,    // sets the field to 0
};

enum KeywordId : int {
  kKwCommonName = 0, kKwEMail, kKwOrg, kKwOrgUnit, kKwCity, kKwState, kKwZipCode,
  kKwCountry, kKwPassword, kKwNewPassword, kKwKeyFile, kKwKeyName, kKwKeySize,
  kKwCertReqFile, kKwCertFile, kKwValidDays, kKwEntriesFile, kKwEntryLabel,
  kKwUsePEM, kKwUsePKCS, kKwUsePKCS7, kKwShowPrivateKey, kKwShowRawCert,
  kKwSelfSigned, kKwNoTrust, kKwClientCert, kKwUseBER, kKwWriteBinary, kKwWriteBER,
  kKwVersion, kKwGetIssuer, kKwVerify, kKwUseStash, kKwNoZAV, kKwNoStashFile,
  kKeywordCount
};

struct Keyword {
  const char* name;
  KeywordId id;
  KeywordKind kind;
  // The field the keyword sets; null for kVersion.
  const char* SecurityCmdContext::*text;
  std::int32_t SecurityCmdContext::*number;
};

// All 35 keywords in table order (index == id).
std::span<const Keyword> Keywords();

// The first keyword, in table order, whose leading characters equal `token`
// (ASCII letter case ignored): an abbreviation selects the first keyword
// that begins with it, and an empty token selects CommonName. Returns -1
// when none matches.
int FindKeyword(std::string_view token);

// The keyword whose whole name equals `name` (letter case ignored), or -1.
int FindKeywordExact(std::string_view name);

}  // namespace kcertadm
