// The certificate record and the read side of X.509 and PKCS #10: splitting
// a certificate or request into its fields without copying, and unwrapping
// certificates delivered in a PKCS #7 SignedData or a certificate sequence.
#pragma once

#include <cstdint>
#include <span>

#include "kcertadm.h"

namespace kcertadm {

// Zero-fills the record and points der at length bytes (the record owns
// them from now on: FreeCertData releases them with free).
void InitCertData(CertData* cert, std::uint8_t* bytes, std::int32_t length);

// A new malloc block holding a copy of bytes, in out. False when memory runs
// out or the bytes are too many for an item (out then stays empty).
bool CopyToItem(std::span<const std::uint8_t> bytes, Asn1Item* out);

// Releases the record's der, or the container it was taken from, and puts
// bytes (a malloc block the record then owns, or nothing) in its place; the
// record no longer holds a container.
void ReplaceDer(CertData* cert, Asn1Item bytes);

// Steps der to the following certificate of the container. 1 when there is
// one, 0 at the end (or when there is no container).
int NextCertInSet(CertData* cert);

// Zero-fills fields, then fills whole, toBeSigned, signatureAlgorithm and
// signatureValue (the bit octets) from a signed element. 0 or -1.
int SplitSigned(const Asn1Item& der, CertFields* fields);

// Fills the certificate fields from toBeSigned; extensions becomes the list
// of Extension elements. 0, or -1 with 30046.
int ParseTbs(CertFields* fields, std::uint32_t* error);

// SplitSigned and ParseTbs on cert->der. 0, or -1 with 30046.
int ParseSignedCert(CertData* cert, CertFields* fields, std::uint32_t* error);

// The exported ParseCert and FreeCertData (kcertadm.h says what they do).
std::int32_t ParseCertificateData(CertData* cert, CertFields* fields, std::uint32_t* error);
void FreeCertificateData(CertData* cert);

// Parses and self-verifies the PKCS #10 request in cert->der. 0, or -1 with
// 30056 (key), 30055 (signature) or 30045.
int ParseRequest(CertData* cert, CertFields* fields, std::uint32_t* error);

// 1 when subject and issuer are byte-identical.
int IsSelfIssued(const CertFields& fields);

}  // namespace kcertadm
