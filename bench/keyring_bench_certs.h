// Certificates for the key ring benchmarks: each of the shape and size of a
// real one (version 3, sha1WithRSAEncryption, a four-part issuer name, a
// three-part subject name, a 2048-bit RSA key, basic constraints and key
// usage extensions, a 256-byte signature), with its own key and subject, so
// that every certificate becomes an entry of its own. The signatures are not
// real; nothing here verifies them.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "asn1/der_append.h"
#include "keyring/keyring_entry.h"

namespace kcertadm::bench {

class CertificateMaker {
 public:
  explicit CertificateMaker(std::uint32_t seed) : seed_(seed) {}

  // The certificate number `index`: the same index gives the same bytes.
  Bytes Make(std::uint32_t index) const {
    std::mt19937_64 random(std::uint64_t{seed_} << 32 | index);
    Bytes tbs;
    Append(tbs, der::kContext0, Tlv(der::kInteger, {0x02}));
    Bytes serial{0x01, static_cast<std::uint8_t>(index >> 24),
                 static_cast<std::uint8_t>(index >> 16), static_cast<std::uint8_t>(index >> 8),
                 static_cast<std::uint8_t>(index)};
    Append(tbs, der::kInteger, serial);
    tbs.insert(tbs.end(), kSha1Rsa, kSha1Rsa + sizeof kSha1Rsa);
    Bytes issuer = Name({{kCountry, "GB"},
                         {kOrganization, "Bench Authority Ltd"},
                         {kUnit, "Certification Services"},
                         {kCommonName, "Bench Authority Root"}});
    tbs.insert(tbs.end(), issuer.begin(), issuer.end());
    Bytes validity;
    Append(validity, der::kUtcTime, Text("200101000000Z"));
    Append(validity, der::kUtcTime, Text("491231235959Z"));
    Append(tbs, der::kSequence, validity);
    Bytes subject = Name({{kCountry, "GB"},
                          {kOrganization, "Bench Subscribers"},
                          {kCommonName, "host" + std::to_string(index) + ".bench.example"}});
    tbs.insert(tbs.end(), subject.begin(), subject.end());
    Bytes spki = PublicKeyInfo(random);
    tbs.insert(tbs.end(), spki.begin(), spki.end());
    Bytes extensions = Extensions();
    Append(tbs, 0xA3, extensions);

    Bytes certificate;
    Append(certificate, der::kSequence, tbs);
    certificate.insert(certificate.end(), kSha1Rsa, kSha1Rsa + sizeof kSha1Rsa);
    Bytes signature{0x00};
    for (int i = 0; i < 256; ++i) signature.push_back(static_cast<std::uint8_t>(random()));
    Append(certificate, der::kBitString, signature);
    Bytes whole;
    Append(whole, der::kSequence, certificate);
    return whole;
  }

 private:
  static constexpr std::uint8_t kSha1Rsa[] = {0x30, 0x0d, 0x06, 0x09, 0x2a, 0x86, 0x48, 0x86,
                                              0xf7, 0x0d, 0x01, 0x01, 0x05, 0x05, 0x00};
  static constexpr std::uint8_t kRsaEncryption[] = {0x30, 0x0d, 0x06, 0x09, 0x2a, 0x86, 0x48, 0x86,
                                                    0xf7, 0x0d, 0x01, 0x01, 0x01, 0x05, 0x00};
  static constexpr std::uint8_t kCountry = 6, kOrganization = 10, kUnit = 11, kCommonName = 3;

  struct Attribute {
    std::uint8_t type;  // last arc of 2.5.4
    std::string value;
  };

  static void Append(Bytes& out, std::uint8_t tag, const Bytes& content) {
    der::Append(out, tag, der::View(content.data(), content.size()));
  }
  static Bytes Tlv(std::uint8_t tag, const Bytes& content) {
    Bytes out;
    Append(out, tag, content);
    return out;
  }
  static Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

  static Bytes Name(std::initializer_list<Attribute> attributes) {
    Bytes rdns;
    for (const Attribute& a : attributes) {
      Bytes pair = Tlv(der::kOid, {0x55, 0x04, a.type});
      Append(pair, a.type == kCountry ? 0x13 : 0x0C, Text(a.value));
      Append(rdns, der::kSet, Tlv(der::kSequence, pair));
    }
    return Tlv(der::kSequence, rdns);
  }

  static Bytes PublicKeyInfo(std::mt19937_64& random) {
    Bytes modulus{0x00};
    for (int i = 0; i < 256; ++i) modulus.push_back(static_cast<std::uint8_t>(random()));
    modulus[1] |= 0x80;
    modulus.back() |= 0x01;
    Bytes key = Tlv(der::kInteger, modulus);
    Append(key, der::kInteger, {0x01, 0x00, 0x01});
    Bytes bits{0x00};
    Bytes rsaKey = Tlv(der::kSequence, key);
    bits.insert(bits.end(), rsaKey.begin(), rsaKey.end());
    Bytes spki(kRsaEncryption, kRsaEncryption + sizeof kRsaEncryption);
    Append(spki, der::kBitString, bits);
    return Tlv(der::kSequence, spki);
  }

  static Bytes Extensions() {
    // basicConstraints (critical, not a CA) and keyUsage (critical,
    // digitalSignature and keyEncipherment).
    Bytes basic = Tlv(der::kOid, {0x55, 0x1d, 0x13});
    Append(basic, 0x01, {0xFF});
    Append(basic, der::kOctetString, Tlv(der::kSequence, {}));
    Bytes usage = Tlv(der::kOid, {0x55, 0x1d, 0x0f});
    Append(usage, 0x01, {0xFF});
    Append(usage, der::kOctetString, Tlv(der::kBitString, {0x05, 0xA0}));
    Bytes list = Tlv(der::kSequence, basic);
    Append(list, der::kSequence, usage);
    return Tlv(der::kSequence, list);
  }

  std::uint32_t seed_;
};

}  // namespace kcertadm::bench
