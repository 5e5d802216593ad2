// The two wrappers of a private key, each decoded in one place: the
// PrivateKeyInfo around an RSAPrivateKey and the EncryptedPrivateKeyInfo
// around a sealed one. Callers check what they require of the fields (the
// version, the algorithm); `whole` is how strict the framing is read.
#pragma once

#include <optional>

#include "asn1/der_reader.h"

namespace kcertadm {

// Framing of a wrapper. kLenient: bytes may follow the outer SEQUENCE and
// its last required field. kWhole: the SEQUENCE is all of the input (and,
// for the encrypted form, the encrypted data is its last field).
enum class Framing { kLenient, kWhole };

// PrivateKeyInfo ::= SEQUENCE { version INTEGER, AlgorithmIdentifier,
// privateKey OCTET STRING, ... }. Attributes and a public key may follow.
struct PrivateKeyInfoParts {
  der::View version;      // INTEGER contents
  der::View algorithmId;  // the algorithm's OID contents
  der::View privateKey;   // OCTET STRING contents
};
std::optional<PrivateKeyInfoParts> DecodePrivateKeyInfoParts(der::View in, Framing framing,
                                                             der::LengthRule rule);

// EncryptedPrivateKeyInfo ::= SEQUENCE { AlgorithmIdentifier,
// encryptedData OCTET STRING }.
struct EncryptedPrivateKeyInfoParts {
  der::Element algorithm;   // the whole AlgorithmIdentifier element
  der::View encryptedData;  // OCTET STRING contents
};
std::optional<EncryptedPrivateKeyInfoParts> DecodeEncryptedPrivateKeyInfoParts(
    der::View in, Framing framing, der::LengthRule rule);

}  // namespace kcertadm
