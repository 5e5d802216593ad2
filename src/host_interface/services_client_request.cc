#include "host_interface/services_client_request.h"

#include "asn1/asn1.h"
#include "cert/cert_signature.h"
#include "cert/certificate.h"
#include "host/messages.h"
#include "host_interface/services_common.h"

namespace kcertadm {

int ParseSignedKeyAndChallenge(const Asn1Item& der, CertFields* fields, std::uint32_t* error) {
  *fields = CertFields{};
  if (!IsOneElement(der) || SplitSigned(der, fields) != 0) {
    return FailWith(error, kMsgPrepareFailed);
  }
  const Asn1TemplateEntry content[] = {
      {kAsn1Sequence, &fields->subjectPublicKeyInfo},
      {kAsn1Ia5String, &fields->challenge},
  };
  if (Asn1DecodeTemplate(content, 2, fields->toBeSigned, 0) != 0) {
    return FailWith(error, kMsgPrepareFailed);
  }
  OwnedKey key;
  // Both leave their own message: the key's type, or the algorithm.
  if (PublicKeyFromSpki(fields->subjectPublicKeyInfo, key, error) != 0) return -1;
  const int verified = VerifySignature(*fields, key.get(), error);
  return verified == 0 ? 0 : -1;
}

int BuildClientRequest(const Asn1Item& subject, const Asn1Item& publicKeyInfo, Asn1Item* out) {
  Asn1Item version{};
  if (DerInteger(&version, 0) != 0) return -1;
  const int status = DerConstructed(out, kDerSequenceNumber, &version, &subject, &publicKeyInfo);
  DerFree(&version);
  return status;
}

int ParseClientRequest(const Asn1Item& der, CertFields* fields, std::uint32_t* error) {
  *fields = CertFields{};
  if (!IsOneElement(der)) return FailWith(error, kMsgPrepareFailed);
  const Asn1TemplateEntry content[] = {
      {kAsn1Integer, &fields->version},
      {kAsn1Sequence, &fields->subject},
      {kAsn1Sequence, &fields->subjectPublicKeyInfo},
  };
  if (Asn1DecodeTemplate(content, 3, der, 0) != 0) return FailWith(error, kMsgPrepareFailed);
  // Nothing may follow the key: the three elements are the whole content.
  Asn1Item body = der;
  if (Asn1Enter(&body) < 0 ||
      fields->subjectPublicKeyInfo.data + fields->subjectPublicKeyInfo.length !=
          body.data + body.length) {
    return FailWith(error, kMsgPrepareFailed);
  }
  fields->whole = der;
  return 0;
}

}  // namespace kcertadm
