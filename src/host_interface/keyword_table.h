// The parameter keywords, in the order in which they are searched.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "commands/command_options.h"
#include "kcertadm.h"

namespace kcertadm {

enum class KeywordKind {
  kText,        // stores the value (none, empty or text)
  kNumber,      // stores the decimal value when one is given
  kFlag,        // sets the field to 1 whatever the value says
  kVersion,     // only checks that the value is "2"
  kClear,       // sets the field to 0
  kOptionText,  // stores the value in the command's options
  kOptionFlag,  // sets the option to 1 whatever the value says
};

enum KeywordId : int {
  kKwCommonName = 0,
  kKwEMail,
  kKwOrg,
  kKwOrgUnit,
  kKwCity,
  kKwState,
  kKwZipCode,
  kKwCountry,
  kKwPassword,
  kKwNewPassword,
  kKwKeyFile,
  kKwKeyName,
  kKwKeySize,
  kKwCertReqFile,
  kKwCertFile,
  kKwValidDays,
  kKwEntriesFile,
  kKwEntryLabel,
  kKwUsePEM,
  kKwUsePKCS,
  kKwUsePKCS7,
  kKwShowPrivateKey,
  kKwShowRawCert,
  kKwSelfSigned,
  kKwNoTrust,
  kKwClientCert,
  kKwUseBER,
  kKwWriteBinary,
  kKwWriteBER,
  kKwVersion,
  kKwGetIssuer,
  kKwVerify,
  kKwUseStash,
  kKwNoZAV,
  kKwNoStashFile,
  // Appended, so that every abbreviation of the first 35 keeps its keyword.
  kKwDigest,
  kKwSubjectAltName,
  kKwWithChain,
  kKwFilePassword,
  kKwPemKey,
  kKeywordCount
};

struct Keyword {
  const char* name;
  KeywordId id;
  KeywordKind kind;
  // The field the keyword sets; null for kVersion.
  const char* SecurityCmdContext::*text;
  std::int32_t SecurityCmdContext::*number;
  // The option the keyword sets, for the two option kinds.
  const char* CommandOptions::*optionText = nullptr;
  std::int32_t CommandOptions::*optionFlag = nullptr;
};

// The keywords of the original table; those after them set options.
inline constexpr int kRecordKeywordCount = kKwDigest;

// All keywords in table order (index == id).
std::span<const Keyword> Keywords();

// The first keyword, in table order, whose leading characters equal `token`
// (ASCII letter case ignored): an abbreviation selects the first keyword
// that begins with it, and an empty token selects CommonName. Returns -1
// when none matches.
int FindKeyword(std::string_view token);

// The keyword whose whole name equals `name` (letter case ignored), or -1.
int FindKeywordExact(std::string_view name);

}  // namespace kcertadm
