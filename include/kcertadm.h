/*
 * kcertadm: key ring administration library, flat C interface.
 *
 * Every function declared here is exported from libkcertadm.so; nothing
 * else is visible. No C++ exception ever crosses this interface.
 */
#ifndef KCERTADM_H
#define KCERTADM_H

#include <stddef.h>
#include <stdint.h>

#if defined(KCERTADM_BUILDING)
#define KCERTADM_API __attribute__((visibility("default")))
#else
#define KCERTADM_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Commands --------------------------------------------------------- */

/*
 * SecurityCmdContext: the per-call command context, filled from the
 * parameter string of ProcessSecurityCmd and also passed to several
 * certificate services. Its 41 fields and their order are part of the
 * binary interface. Text fields point into the caller's parameter string
 * (the record owns nothing) and are of natural pointer size; every other
 * field is a 32-bit integer. On a 64-bit machine the compiler pads before
 * a text field that follows an odd number of integers; the offsets are
 * fixed and checked when the library is built.
 */
typedef struct SecurityCmdContext {
  const char* country;    /* Country */
  const char* state;      /* State */
  const char* city;       /* City */
  const char* org;        /* Org */
  const char* orgUnit;    /* OrgUnit */
  const char* commonName; /* CommonName */
  const char* email;      /* EMail */
  const char* orgUnit2;   /* second organizational unit (no keyword) */
  const char* orgUnit3;   /* third organizational unit (no keyword) */
  const char* zipCode;    /* ZipCode (stored, used by nothing) */
  uint32_t reserved10;
  const char* requestText; /* set by the host for client requests */
  uint32_t requestTextLength;
  const char* password;    /* Password */
  const char* newPassword; /* NewPassword */
  const char* keyFile;     /* KeyFile, default "keyfile.kyr" */
  const char* label;       /* KeyName or EntryLabel */
  int32_t keySize;         /* KeySize, bits, default 512 */
  const char* certReqFile; /* CertReqFile */
  const char* certFile;    /* CertFile */
  int32_t validDays;       /* ValidDays, default 365 */
  const char* entriesFile; /* EntriesFile */
  int32_t usePEM;          /* flags below: 0 or 1 */
  int32_t usePKCS;
  int32_t usePKCS7;
  int32_t showPrivateKey;
  int32_t showRawCert;
  int32_t designateRoot; /* set by the root commands, no keyword */
  int32_t selfSigned;
  int32_t noTrust;
  int32_t clientCert;
  int32_t useBER;
  int32_t writeBinary;
  int32_t writeBER;
  uint32_t reserved34; /* Version is only checked */
  int32_t getIssuer;
  int32_t verify;
  int32_t useStash;
  int32_t noZavFlag; /* NoZAV clears it */
  int32_t noStashFile;
  uint32_t reserved40;
} SecurityCmdContext;

/*
 * Initialises the library: its locks, the international string encoding
 * (setting IntlDERStringEncodeType: 0 T61String, 2 BMPString, otherwise
 * UTF8String) and the message texts. Returns 1 when the library is
 * initialised (now or before); 0 on failure, with message number 30000
 * stored through errorNumber when it is not null. Safe to call from several
 * threads at once.
 */
KCERTADM_API int32_t InitSecLib(uint32_t* errorNumber);

/*
 * Runs one command. `parameters` is a writable, NUL-terminated text of
 * "Keyword=value" items separated by ";" (or null for none); it is changed
 * in place and the call's results may point into it. The text of the one
 * message that tells the outcome is left in messageBuffer (at most
 * messageBufferSize - 1 bytes, always terminated). Returns 0 on success,
 * -1 when the command is unknown or its parameters are refused, otherwise
 * the command's own status. Digest= and SubjectAltName= values that
 * cannot be used are refused with 30080 (digest), 30081 or 30082 (an
 * alternative name), whose text names the value, and 30083 (alternative
 * names for a certificate signed with MD5 or SHA-1).
 */
KCERTADM_API int32_t ProcessSecurityCmd(const char* command, char* parameters, char* messageBuffer,
                                        uint32_t messageBufferSize);

/* ---- Encoded elements and Base64 ------------------------------------- */

/*
 * One encoded element or a view into one: a pointer and a signed 32-bit
 * length. Blocks that the library hands out in an Asn1Item are allocated
 * with malloc; the receiver releases them with free. Length 0 marks an
 * element that is not present.
 */
typedef struct Asn1Item {
  uint8_t* data;
  int32_t length;
} Asn1Item;

/*
 * Encodes count bytes as Base64 on a single line. On success the out item
 * receives a new NUL-terminated block holding the text and its length
 * (without the NUL), and the text length is returned. A null pointer, a
 * count below 1 or a failed allocation returns 0 and leaves out untouched.
 */
KCERTADM_API int32_t Base64Encode(const uint8_t* bytes, int32_t count, Asn1Item* out);

/*
 * Decodes length characters of Base64 text; space, tab, CR and LF are
 * skipped anywhere. Returns the number of octets decoded, with a new block
 * holding them in the out item. Any error (a character outside the
 * alphabet, padding in the first two places of a group, text that ends
 * inside a group) returns 0 and leaves out untouched; so does text that
 * decodes to nothing.
 */
KCERTADM_API int32_t Base64Decode(const char* text, int32_t length, Asn1Item* out);

/* ---- Certificates, names, times and strings ---------------------------- */

/*
 * Distinguished-name slots, in the order in which a Name is read into a
 * DnFields record and built from DnValue entries.
 */
enum {
  DN_COUNTRY = 0,
  DN_STATE = 1,
  DN_LOCALITY = 2,
  DN_ORGANIZATION = 3,
  DN_ORG_UNIT = 4,
  DN_COMMON_NAME = 5,
  DN_EMAIL = 6,
  DN_ORG_UNIT2 = 7,
  DN_ORG_UNIT3 = 8,
  DN_SLOT_COUNT = 9
};

/*
 * One attribute value of a parsed Name: its content octets inside the
 * caller's DER (not NUL-terminated, not owned), their count and the value's
 * universal string tag (0x0C UTF8String, 0x13 PrintableString, 0x14
 * T61String, 0x16 IA5String, 0x1E BMPString).
 */
typedef struct DnField {
  const uint8_t* value;
  int32_t length;
  int32_t stringTag;
} DnField;

/* The nine slots of a parsed Name; slots the Name does not carry keep the
 * caller's zero-fill. */
typedef struct DnFields {
  DnField slot[DN_SLOT_COUNT];
} DnFields;

/*
 * One value of a Name being built: its octets, their count, the string tag
 * chosen for it, and owned = 1 when bytes is a malloc block made by
 * conversion (released by the library), 0 when it is the caller's text.
 */
typedef struct DnValue {
  uint8_t* bytes;
  int32_t length;
  int32_t stringTag;
  int32_t owned;
} DnValue;

/*
 * The certificate record exchanged with the host. Zero-filled by whoever
 * creates it; every pointer is a malloc block owned by the record unless
 * said otherwise. Released with FreeCertData exactly once.
 */
typedef struct CertData {
  void* owned0;              /* owned block of the host-facing services */
  Asn1Item der;              /* certificate or request DER; points into
                                container when taken out of one */
  Asn1Item certText;         /* Base64 text of the certificate */
  Asn1Item tbs;              /* to-be-signed part built while signing */
  Asn1Item fileText;         /* raw file text while reading (not freed) */
  Asn1Item reqText;          /* Base64 text of a request */
  Asn1Item pkcs7;            /* PKCS #7 certificates-only package of der */
  Asn1Item container;        /* the DER as given, when der was unwrapped */
  int32_t setRemaining;      /* bytes of the container's list from der on */
  Asn1Item subjectDer;       /* subject Name built for a request */
  Asn1Item publicKeyInfoDer; /* SubjectPublicKeyInfo built for a request */
  Asn1Item micText;          /* MIC-Info and body of a received PEM request */
  char* procTypeLine;        /* Proc-Type line of a received PEM request */
  int32_t isSelfSigned;      /* 1: verified with its own key */
} CertData;

/*
 * The parsed view of a certificate or request; every item points into the
 * record's der and owns nothing.
 */
typedef struct CertFields {
  Asn1Item whole;
  Asn1Item toBeSigned;
  Asn1Item version;
  Asn1Item serialNumber;
  Asn1Item signatureAlgorithm;
  Asn1Item signatureValue;
  Asn1Item subject;
  Asn1Item subjectPublicKeyInfo;
  Asn1Item issuer;
  Asn1Item validity;
  Asn1Item extensions;
  Asn1Item notBefore;
  Asn1Item notAfter;
  Asn1Item challenge;
} CertFields;

/*
 * Parses the certificate in cert->der, unwrapping a PKCS #7 SignedData or a
 * certificate sequence first (cert is updated), into fields. Returns 0, or
 * non-zero with message 30046 in *error.
 */
KCERTADM_API int32_t ParseCert(CertData* cert, CertFields* fields, uint32_t* error);

/* Frees the blocks the record owns; not the record itself. */
KCERTADM_API void FreeCertData(CertData* cert);

/*
 * Reads a complete Name element into the nine slots of a zero-filled
 * DnFields. Returns 0, or -1 with message 30046 in *error.
 */
KCERTADM_API int32_t ParseDNSeq(DnFields* fields, Asn1Item name, uint32_t* error);

/*
 * Writes the validity period of a parsed certificate as text, for example
 * "12-31-30 23:59 GMT", into two buffers of at least 20 octets. Returns 0,
 * or non-zero with message 30046 in *error.
 */
KCERTADM_API int32_t GetTextDates(CertFields* fields, char* startText, char* endText,
                                  uint32_t* error);

/*
 * BMPString (big-endian) or T61String content octets into host text (UTF-8),
 * NUL-terminated in out. Return the text length; 0 on failure (for
 * T61ToHCSET also when no translation table is available). BMP input beyond
 * 392 octets is ignored.
 */
KCERTADM_API uint16_t BMPToHCSET(const uint8_t* bmp, int32_t length, char* out, int32_t outSize);
KCERTADM_API uint16_t T61ToHCSET(const uint8_t* t61, int32_t length, char* out, int32_t outSize);

/* ---- Certificate services ------------------------------------------------ */

/*
 * Key material handed to the host by GetKeyData, GetServerKey and
 * GetServerRootCert. The filling function zero-fills the record first; every
 * data pointer is then either null or a malloc block the record owns, and
 * FreeExtKeyData releases them (the private key is overwritten with zeros
 * first). The host owns the record itself.
 */
typedef struct ServerKeyData {
  Asn1Item publicKey;       /* the server key entry's SubjectPublicKeyInfo */
  Asn1Item privateKey;      /* its PrivateKeyInfo (PKCS #8), decrypted */
  Asn1Item certificate;     /* DER of the server key entry's certificate */
  Asn1Item rootCertificate; /* DER of the root of that certificate's chain */
  int32_t badPassword;      /* 1 when the key ring refused the password */
} ServerKeyData;

/*
 * Enrols a client: context->requestText (requestTextLength characters) holds
 * the Base64 of a signed public key and challenge. Its signature is checked
 * with the key it carries, and an unsigned request { version, subject, key }
 * is built with the subject taken from the context's name fields. With
 * context->certFile set the request is written there in the "-----BEGIN
 * CERTIFICATE-----" armour (an empty name gives 30033); otherwise its
 * Base64 lands in cert->reqText.
 * cert is the caller's zero-filled record; release it with FreeCertData
 * whatever the result. Returns 0 with 30044 in *error, or -1 with the
 * message number (30061, 30033/30034, 30043, 30076, 30056, 30077, 30055,
 * 30041, 30039).
 * The library must have been initialised.
 */
KCERTADM_API int32_t ProcessClientCertReq(SecurityCmdContext* context, CertData* cert,
                                          uint32_t* error);

/*
 * Issues a certificate for the request whose Base64 is in cert->reqText (or
 * whose file text is in cert->fileText), signed with the key ring's signing
 * key: the first entry with a private key, a certificate and the trusted-
 * root mark. The key ring is context->keyFile, opened with context->password
 * (or the stash file with useStash). With context->clientCert the request is
 * the unsigned form ProcessClientCertReq makes, otherwise a PKCS #10 request
 * whose signature is checked. With context->usePKCS7 the certificate is also
 * packaged as PKCS #7 (cert->pkcs7). cert->certText receives the Base64 of
 * the package, or else of the certificate (cert->der). Release cert with
 * FreeCertData. Returns 0, or -1 with the message number in *error.
 * The library must have been initialised.
 */
KCERTADM_API int32_t SignClientCert(SecurityCmdContext* context, CertData* cert, uint32_t* error);

/*
 * SignClientCert for a host that holds text only. parameters is read as by
 * the SignCert command (KeyFile, Password or UseStash, ValidDays, ClientCert,
 * UsePKCS7, ...; the text is not changed); requestText is the request's
 * Base64. When the certificate's Base64 is shorter than outputSize it is
 * copied to output with a NUL; a longer text is not copied and the call
 * still succeeds. The message (30040 on success) is left in messageBuffer.
 * Returns 0 or non-zero.
 */
KCERTADM_API int32_t SignCertificate(const char* parameters, const char* requestText, char* output,
                                     uint32_t outputSize, char* messageBuffer,
                                     uint32_t messageBufferSize);

/*
 * Decodes the request in cert->reqText (or cert->fileText) into cert->der,
 * then parses it into fields and checks its signature with its own key.
 * Returns 0, or non-zero with 30043, 30045, 30076, 30056, 30077 or 30055 in
 * *error.
 * Release cert with FreeCertData. The library must have been initialised.
 */
KCERTADM_API int32_t ParseCertReq(CertData* cert, CertFields* fields, uint32_t* error);

/*
 * Builds cert->pkcs7, a PKCS #7 certificates-only package holding cert->der.
 * Returns 0 (-1 when the library is not initialised or the package cannot
 * be built).
 */
KCERTADM_API int32_t PackagePKCS7Cert(CertData* cert);

/*
 * Packages the certificate whose Base64 is certText as PKCS #7 and copies
 * the package's Base64 to output under the rule of SignCertificate. The
 * first argument is ignored. The message (30040 on success, 30043 when the
 * text does not decode, 30046 when it is not one complete DER element,
 * 30041, 30042) is left in messageBuffer. Returns 0 or non-zero.
 */
KCERTADM_API int32_t EnvelopeCert(int32_t ignored, const char* certText, char* output,
                                  uint32_t outputSize, char* messageBuffer,
                                  uint32_t messageBufferSize);

/*
 * Reads the certificate file context->certReqFile into cert: DER with
 * context->useBER, otherwise Base64 text (armoured or bare), a request with
 * context->usePKCS. Returns 0, or -1 with the message number in *error.
 * Release cert with FreeCertData. The library must have been initialised.
 */
KCERTADM_API int32_t ReadCert(SecurityCmdContext* context, CertData* cert, uint32_t* error);

/*
 * Opens the key ring context->keyFile (context->password, or the stash file
 * with useStash) and fills keyData from its server key entry (the first
 * entry holding a private key and a certificate): publicKey, privateKey
 * (decrypted) and certificate (the entry's last). Returns 0 and leaves the
 * message buffer alone; on failure reports the message and returns
 * non-zero, with badPassword set for 30009. Release keyData with
 * FreeExtKeyData whatever the result.
 */
KCERTADM_API int32_t GetKeyData(SecurityCmdContext* context, ServerKeyData* keyData,
                                char* messageBuffer, uint32_t messageBufferSize);

/* GetKeyData for the key ring keyFile opened with password. */
KCERTADM_API int32_t GetServerKey(const char* keyFile, const char* password, ServerKeyData* keyData,
                                  char* messageBuffer, uint32_t messageBufferSize);

/*
 * Opens the key ring keyFile with the password of its stash file and climbs
 * from the server key entry's certificate through the entries whose subject
 * is each certificate's issuer to a self-issued certificate, whose DER lands
 * in keyData->rootCertificate. Returns 0 and leaves the message buffer
 * alone; on failure reports the message (30026, 30069, 30046, 30057 for a
 * missing issuer or a chain that loops) and returns non-zero. Release
 * keyData with FreeExtKeyData.
 */
KCERTADM_API int32_t GetServerRootCert(const char* keyFile, ServerKeyData* keyData,
                                       char* messageBuffer, uint32_t messageBufferSize);

/* Releases the blocks of keyData (not the record) and zero-fills it. */
KCERTADM_API void FreeExtKeyData(ServerKeyData* keyData);

/*
 * Opens the key ring of context, takes the last certificate of the entry
 * context->label (or, without a label, of the server key entry) into
 * cert->der and reads its subject name, or with context->getIssuer its
 * issuer name, into name. The name's values point into cert->der. Returns 0
 * and leaves the message buffer alone; on failure reports the message and
 * returns non-zero. Release cert with FreeCertData.
 */
KCERTADM_API int32_t GetCertDN(SecurityCmdContext* context, CertData* cert, DnFields* name,
                               char* messageBuffer, uint32_t messageBufferSize);

#ifdef __cplusplus
}
#endif

#endif /* KCERTADM_H */
