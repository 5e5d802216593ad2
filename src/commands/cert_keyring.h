// Certificates against the key ring: finding the issuer's key, checking a
// certificate, climbing to the root of a chain, and loading the signing key
// of the key ring.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "kcertadm.h"
#include "keyring/keyring_entry.h"

namespace kcertadm {

struct SigningKey;

// ParseCert, and a key the key ring can hold (RSA: else 30076); with verify
// set, the issuer's key is taken from the first trusted-root entry whose
// subject equals the issuer (or, for a self-issued certificate not in the
// key ring, the certificate's own key, which sets isSelfSigned) and the
// signature checked; then the validity is checked against the clock. 0, or
// -1 with 30046, 30076, 30057 (also when the own key is unusable), 30077,
// 30055, 30062 or 30063.
int CheckCertificate(CertData* cert, CertFields* fields, int verify, std::uint32_t* error);

// The entry's last certificate, copied; none when it holds none or its
// certificate list does not decode.
std::optional<Bytes> LastCertificate(const KeyRingEntry& entry);

// Climbs from a certificate through the key ring entries whose subject is
// the issuer (taking each entry's last certificate) to a self-issued one,
// whose DER lands in root. Ends after as many steps as the key ring has
// entries, so a chain that loops cannot run forever. 0, or -1 with 30046
// (a certificate does not parse), 30057 (an issuer is missing, or the chain
// loops) or 30069 (an issuer's entry holds no certificate).
int ClimbToRoot(const Asn1Item& certificate, std::vector<std::uint8_t>* root, std::uint32_t* error);

// Fills the signer from the key ring: the first entry that holds a private
// key and a certificate and is marked as trusted root (none: 30035). Its
// first certificate, its subject name and its private key decrypted with
// password (30071 when that fails). The key ring must be open. 0 or -1.
int LoadSigningKeyFromKeyRing(const char* password, SigningKey* signer, std::uint32_t* error);

// Decrypts a PKCS #8 EncryptedPrivateKeyInfo with the password into a new
// malloc block holding the PrivateKeyInfo DER. 0, or -1 with 30071.
int DecryptPrivateKeyInfo(const Asn1Item& encrypted, const char* password, Asn1Item* plain,
                          std::uint32_t* error);

}  // namespace kcertadm
