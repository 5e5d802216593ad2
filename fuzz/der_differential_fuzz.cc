// Differential target: the same bytes through every reader and every
// decoder of one structure, aborting where two of them disagree about
// definite-length DER. The generic reader's three length rules must read
// such input alike (and alike with the codec's header reader); the
// certificate split, the to-be-signed fields, the RSA public key and the
// sealed private key must come out the same from each of their callers, and
// the private key wrappers the same under the key ring's lenient framing and
// the key files' whole one.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "asn1/asn1.h"
#include "asn1/der_reader.h"
#include "cert/cert_signature.h"
#include "cert/certificate.h"
#include "keyring/certificate_parts.h"
#include "keyring/password_protection.h"
#include "keyring/private_key_info.h"

using namespace kcertadm;

namespace {

constexpr der::LengthRule kRules[] = {der::kDerOnly, der::kIndefiniteAsEmpty,
                                      der::kFollowIndefinite};

void Check(bool agreed) {
  if (!agreed) std::abort();
}

// The same bytes of the input (two empty views are the same).
bool Same(der::View a, der::View b) {
  return a.size() == b.size() && (a.empty() || a.data() == b.data());
}

bool SameElement(const std::optional<der::Element>& a, const std::optional<der::Element>& b) {
  if (a.has_value() != b.has_value()) return false;
  return !a || (a->tag == b->tag && Same(a->whole, b->whole) && Same(a->content, b->content));
}

der::View ViewOf(const Asn1Item& item) {
  return item.length <= 0 ? der::View()
                          : der::View(item.data, static_cast<std::size_t>(item.length));
}

Asn1Item ItemOf(der::View view) { return Asn1View(view.data(), view.size()); }

// Every rule reads one element at the start of in; a DER reading binds the
// other two, a definite length binds the two that accept BER, and the
// codec's own header reader follows indefinite lengths.
void CompareRules(der::View in) {
  std::optional<der::Element> read[3];
  for (int i = 0; i < 3; ++i) {
    read[i] = der::Peek(in, kRules[i]);
    if (read[i]) {
      Check(read[i]->whole.data() == in.data() && read[i]->whole.size() <= in.size());
      Check(read[i]->content.data() >= in.data() &&
            read[i]->content.data() + read[i]->content.size() <= in.data() + in.size());
    }
  }
  if (read[0]) Check(SameElement(read[0], read[1]) && SameElement(read[0], read[2]));
  if (in.size() >= 2 && in[1] != 0x80) Check(SameElement(read[1], read[2]));
  std::int32_t content = 0, total = 0;
  const std::int32_t header = Asn1ReadHeader(ItemOf(in), &content, &total);
  Check((header >= 0) == read[2].has_value());
  if (header >= 0) {
    Check(read[2]->content.data() == in.data() + header);
    Check(read[2]->content.size() == static_cast<std::size_t>(content));
    Check(read[2]->whole.size() == static_cast<std::size_t>(total));
  }
}

// True when in is exactly one element of definite-length DER all the way
// down through its constructed children (primitive contents not opened).
bool IsDefiniteDer(der::View in, int depth) {
  if (depth > 64) return false;
  der::View rest = in;
  auto element = der::Next(rest, der::kDerOnly);
  if (!element || !rest.empty()) return false;
  if ((element->tag & 0x20) == 0) return true;
  der::View children = element->content;
  while (!children.empty()) {
    CompareRules(children);
    auto child = der::Peek(children, der::kDerOnly);
    if (!child || !IsDefiniteDer(child->whole, depth + 1)) return false;
    children = children.subspan(child->whole.size());
  }
  return true;
}

// The content of a BIT STRING's key bits, when it is DER itself.
bool BitsHoldDer(der::View bits) { return !bits.empty() && IsDefiniteDer(bits.subspan(1), 0); }

void CompareSignedSplit(der::View in) {
  CertFields fields{};
  const bool codec = SplitSigned(ItemOf(in), &fields) == 0;
  Bytes tbs, algorithm, signature;
  const bool keyring = CertificateParts(in, &tbs, &algorithm, &signature) == 0;
  if (in[0] != der::kSequence) return;  // the key ring reads SEQUENCEs only
  Check(codec == keyring);
  if (!codec) return;
  Check(ViewOf(fields.toBeSigned).size() == tbs.size() &&
        std::memcmp(fields.toBeSigned.data, tbs.data(), tbs.size()) == 0);
  Check(ViewOf(fields.signatureAlgorithm).size() == algorithm.size() &&
        std::memcmp(fields.signatureAlgorithm.data, algorithm.data(), algorithm.size()) == 0);
  Check(ViewOf(fields.signatureValue).size() == signature.size() &&
        (signature.empty() ||
         std::memcmp(fields.signatureValue.data, signature.data(), signature.size()) == 0));
}

bool SameBytes(const Asn1Item& item, const Bytes& bytes) {
  const der::View view = ViewOf(item);
  return view.size() == bytes.size() &&
         (bytes.empty() || std::memcmp(view.data(), bytes.data(), bytes.size()) == 0);
}

void CompareTbs(der::View tbs) {
  CertFields fields{};
  fields.toBeSigned = ItemOf(tbs);
  std::uint32_t error = 0;
  const bool codec = ParseTbs(&fields, &error) == 0;
  Bytes serial, signature, issuer, validity, subject, spki;
  std::array<Bytes*, kTbsFieldCount> out{};
  out[kTbsSerialNumber] = &serial;
  out[kTbsSignature] = &signature;
  out[kTbsIssuer] = &issuer;
  out[kTbsValidity] = &validity;
  out[kTbsSubject] = &subject;
  out[kTbsSubjectPublicKeyInfo] = &spki;
  const bool keyring = TbsCertificateFields(tbs, out) == 0;
  if (!codec || !keyring) return;  // they differ in what may follow the key
  Asn1Item serialContent = fields.serialNumber;
  Check(Asn1Enter(&serialContent) >= 0 && SameBytes(serialContent, serial));
  Check(SameBytes(fields.signatureAlgorithm, signature) && SameBytes(fields.issuer, issuer) &&
        SameBytes(fields.validity, validity) && SameBytes(fields.subject, subject) &&
        SameBytes(fields.subjectPublicKeyInfo, spki));
}

void CompareRsaKey(der::View spki) {
  auto outer = der::Peek(spki, der::kDerOnly);
  if (!outer) return;
  der::View body = outer->content;
  der::Expect(body, der::kSequence, der::kDerOnly);
  auto bits = der::Expect(body, der::kBitString, der::kDerOnly);
  if (bits && !BitsHoldDer(bits->content)) return;  // the key inside is not DER
  RsaPublicNumbers codec;
  const bool codecRead = ExtractRsaKey(ItemOf(spki), &codec) == 0;
  RsaPublicNumbers keyring;
  const bool keyringRead = SpkiModulusExponent(spki, keyring) == 0;
  if (!codecRead) return;  // the key ring does not look at the algorithm
  Check(keyringRead);
  der::View modulus = keyring.modulus;
  if (!modulus.empty() && modulus[0] == 0x00) modulus = modulus.subspan(1);
  Check(Same(codec.modulus, modulus) && Same(codec.publicExponent, keyring.publicExponent));
}

void CompareSealedKey(der::View in) {
  const auto asEmpty = DecodeSealedKey(in, der::kIndefiniteAsEmpty);
  const auto follow = DecodeSealedKey(in, der::kFollowIndefinite);
  Check(asEmpty.has_value() == follow.has_value());
  if (!asEmpty) return;
  Check(Same(asEmpty->salt, follow->salt) && asEmpty->iterations == follow->iterations &&
        Same(asEmpty->encryptedData, follow->encryptedData));
}

// What the whole framing takes, the lenient one takes with the same fields,
// under either length rule.
void ComparePrivateKeyWrappers(der::View in) {
  for (der::LengthRule rule : {der::kIndefiniteAsEmpty, der::kFollowIndefinite}) {
    const auto lenient = DecodePrivateKeyInfoParts(in, Framing::kLenient, rule);
    if (const auto whole = DecodePrivateKeyInfoParts(in, Framing::kWhole, rule)) {
      Check(lenient.has_value() && Same(whole->version, lenient->version) &&
            Same(whole->algorithmId, lenient->algorithmId) &&
            Same(whole->privateKey, lenient->privateKey));
    }
    const auto sealedLenient = DecodeEncryptedPrivateKeyInfoParts(in, Framing::kLenient, rule);
    if (const auto sealedWhole = DecodeEncryptedPrivateKeyInfoParts(in, Framing::kWhole, rule)) {
      Check(sealedLenient.has_value() &&
            Same(sealedWhole->algorithm.whole, sealedLenient->algorithm.whole) &&
            Same(sealedWhole->encryptedData, sealedLenient->encryptedData));
    }
  }
  const auto asEmpty = DecodePrivateKeyInfoParts(in, Framing::kWhole, der::kIndefiniteAsEmpty);
  const auto follow = DecodePrivateKeyInfoParts(in, Framing::kWhole, der::kFollowIndefinite);
  Check(asEmpty.has_value() == follow.has_value());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const der::View input(data, size);
  CompareRules(input);
  if (!IsDefiniteDer(input, 0)) return 0;
  CompareSignedSplit(input);
  CompareTbs(input);
  CompareRsaKey(input);
  CompareSealedKey(input);
  ComparePrivateKeyWrappers(input);
  // The first child of a signed structure is its to-be-signed part.
  if (auto outer = der::Peek(input, der::kDerOnly)) {
    der::View body = outer->content;
    if (auto tbs = der::Next(body, der::kDerOnly)) CompareTbs(tbs->whole);
  }
  return 0;
}
