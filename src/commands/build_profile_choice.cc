#include "commands/build_profile_choice.h"

#include <algorithm>

#include "asn1/asn1.h"
#include "asn1/oids.h"
#include "cert/digest_name.h"
#include "cert/dn.h"
#include "cert/subject_alt_name.h"
#include "commands/common_steps.h"
#include "host/messages.h"

namespace kcertadm {
namespace {

int ReadAltName(CommandSession& session, std::string_view text, BuildProfile* profile,
                std::uint32_t* slot) {
  std::string badItem;
  if (ParseSubjectAltName(text, &profile->subjectAltName, &badItem, slot) != 0) {
    session.detail = badItem;
    return -1;
  }
  return 0;
}

}  // namespace

int ChooseDigest(CommandSession& session, std::int32_t* algorithm, std::uint32_t* slot) {
  if (DigestAlgorithmOf(session.options.digest, algorithm) == 0) return 0;
  session.detail = session.options.digest;
  return FailWith(slot, kMsgBadDigest);
}

int ChooseBuildProfile(CommandSession& session, bool certificate, bool authority,
                       std::string_view commonName, BuildProfile* profile, std::uint32_t* slot) {
  if (ChooseDigest(session, &profile->algorithm, slot) != 0) return -1;
  const bool extensions = UsesExtensionProfile(profile->algorithm);
  if (session.options.subjectAltName != nullptr) {
    if (ReadAltName(session, session.options.subjectAltName, profile, slot) != 0) return -1;
    if (certificate && !extensions) return FailWith(slot, kMsgAltNameNeedsSha2);
    return 0;
  }
  if (extensions && !authority && IsHostName(commonName)) {
    return ReadAltName(session, "DNS:" + std::string(commonName), profile, slot);
  }
  return 0;
}

std::string CommonNameOf(const Asn1Item& name) {
  std::string found;
  for (const NameAttribute& attribute : ListNameAttributes(name)) {
    Asn1Item value = attribute.value;
    if (!Asn1ItemEquals(attribute.oid, oid::bytes::kCommonName, sizeof oid::bytes::kCommonName) ||
        Asn1Enter(&value) < 0) {
      continue;
    }
    const std::string text(value.data, value.data + value.length);
    const bool ascii =
        std::all_of(text.begin(), text.end(), [](char c) { return c > 0x1F && c < 0x7F; });
    if (ascii) found = text;
  }
  return found;
}

}  // namespace kcertadm
