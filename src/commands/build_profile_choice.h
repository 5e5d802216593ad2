// The digest and subjectAltName a command signs with, as Digest= and
// SubjectAltName= choose them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cert/cert_build.h"
#include "kcertadm.h"

namespace kcertadm {

class CommandSession;

// The signature algorithm Digest= names (MD5 when not given). 0, or -1
// with 30080 and session.detail naming the value.
int ChooseDigest(CommandSession& session, std::int32_t* algorithm, std::uint32_t* slot);

// The profile of a request (certificate false) or self-signed certificate
// for a subject whose common name is commonName: the digest, and the
// subjectAltName given, or under a SHA-2 digest the DNS name of a common
// name that is a host name (not for an authority). 0, or -1 with 30080,
// 30081 or 30082 (session.detail naming the value or item), or 30083 when
// a subjectAltName is given for a certificate signed with MD5 or SHA-1,
// which carries no extensions.
int ChooseBuildProfile(CommandSession& session, bool certificate, bool authority,
                       std::string_view commonName, BuildProfile* profile, std::uint32_t* slot);

// The text of the last common name of a Name element, or empty when it
// has none that is ASCII text.
std::string CommonNameOf(const Asn1Item& name);

}  // namespace kcertadm
