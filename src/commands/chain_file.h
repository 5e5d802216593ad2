// Certificate files that hold more than one certificate: PEM chains (what
// ACME clients write as fullchain.pem, openssl x509 -text output, openssl
// pkcs12 -nokeys output with its "Bag Attributes" lines: any text may lie
// around the armour blocks), and PKCS #7 certificates-only bundles in DER
// or PEM ("-----BEGIN PKCS7-----").
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "keyring/keyring_entry.h"

namespace kcertadm {

// The most certificates a file may hold (a system CA bundle holds about
// 150); more are refused with 30087 before any is parsed.
inline constexpr std::size_t kMaxChainCertificates = 1000;

// Every certificate of a file's bytes, in file order. With binary (UseBER)
// the bytes are a PKCS #7 bundle, a certificate sequence or one
// certificate, in DER. Otherwise the text's armour blocks are read:
// CERTIFICATE and X509 CERTIFICATE blocks give one certificate each, PKCS7
// blocks their bundle's certificates, other blocks (a private key, say) are
// passed over; text outside the blocks is ignored. A text without any
// BEGIN line gives no certificate: it is not a chain file.
// 0; -1 with 30043 (a block without its END line, an END line outside a
// block, a BEGIN line inside one, a block that is not Base64, bytes that
// are not text), 30046 (a bundle that does not decode) or 30087.
int ReadChainFile(ByteView bytes, bool binary, std::vector<Bytes>& certificates,
                  std::uint32_t* slot);

// True for a text with more than one BEGIN line: whatever it holds, it is
// no single certificate, and what ReadChainFile says of it is final.
bool HoldsSeveralBlocks(ByteView bytes);

}  // namespace kcertadm
