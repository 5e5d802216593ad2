// Message numbers: every outcome of a command is one of these, left in the
// caller's message slot. Their texts live in the catalogues (host/messages.h).
#pragma once

#include <cstdint>

namespace kcertadm {

// A message number slot holds one of these, or kMsgNone (nothing to report).
enum MessageNumber : std::uint32_t {
  kMsgNone = 0,
  kMsgInitFailed = 30000,            // the library's locks could not be created
  kMsgUnknownCommand = 30001,        // command name not in the command table
  kMsgUnknownKeyword = 30002,        // a parameter keyword is not known
  kMsgNoPassword = 30003,            // no Password and no UseStash
  kMsgNoKeyFile = 30004,             // KeyFile empty
  kMsgBadValidDays = 30005,          // SignCert with ValidDays outside 0..10000
  kMsgNoRequestFile = 30006,         // no CertReqFile named
  kMsgRequestFileIsKeyFile = 30007,  // CertReqFile names the key ring file
  kMsgKeyRingOpenFailed = 30008,     // key ring file could not be opened
  kMsgBadPassword = 30009,           // key ring password missing or wrong
  kMsgKeyRingReadFailed = 30010,     // key ring file could not be read
  kMsgNoLabel = 30011,               // no KeyName / EntryLabel
  kMsgAddRootsFailed = 30012,        // predefined roots not put into a new key ring
  kMsgLabelExists = 30013,           // an entry with the label exists already
  kMsgRequestFileCreateFailed = 30014,
  kMsgSubjectNameFailed = 30015,  // subject name not put into a request or certificate
  kMsgKeyEncryptFailed = 30016,   // private key not encrypted with the password
  kMsgAddKeyEntryFailed = 30017,
  kMsgKeyRingWriteFailed = 30018,
  kMsgStashFailed = 30019,  // stash file not written or not read back
  kMsgKeyFileCreated = 30020,
  kMsgUnused30021 = 30021,
  kMsgCertFileReadFailed = 30022,  // input certificate file not read or decoded
  kMsgCertMatchesNoKey = 30023,
  kMsgAddCertFailed = 30024,
  kMsgCertReceived = 30025,
  kMsgNoSuchEntry = 30026,  // no entry with the label (or no default key entry)
  kMsgDesignateFailed = 30027,
  kMsgSelfSignedCreated = 30028,
  kMsgSelfSignedRootCreated = 30029,
  kMsgRootCertReceived = 30030,
  kMsgRootDesignated = 30031,
  kMsgRequestFileOpenFailed = 30032,
  kMsgNoCertFile = 30033,  // no output CertFile named
  kMsgCertFileCreateFailed = 30034,
  kMsgNoSigner = 30035,
  kMsgUnused30036 = 30036,
  kMsgPemDecodeFailed = 30037,
  kMsgUnused30038 = 30038,
  kMsgOutputWriteFailed = 30039,
  kMsgCertSigned = 30040,
  kMsgPrepareFailed = 30041,  // request or certificate to sign not prepared
  kMsgBase64EncodeFailed = 30042,
  kMsgDecodeFailed = 30043,  // Base64 or PEM decoding of an input failed
  kMsgCertReqCreated = 30044,
  kMsgBadRequest = 30045,      // request not parsed or not verified
  kMsgBadCertificate = 30046,  // certificate or its dates not decoded
  kMsgKeyGenFailed = 30047,
  kMsgNoPrivateKeyEntry = 30048,
  kMsgEntryDeleted = 30049,
  kMsgNoEntriesFile = 30050,
  kMsgEntriesFileCreateFailed = 30051,
  kMsgUnused30052 = 30052,
  kMsgEntriesListed = 30053,
  kMsgCertWritten = 30054,
  kMsgBadSignature = 30055,
  kMsgBadPublicKey = 30056,
  kMsgIssuerNotFound = 30057,
  kMsgNoNewPassword = 30058,
  kMsgPasswordChangeFailed = 30059,
  kMsgPasswordChanged = 30060,
  kMsgBadSubjectName = 30061,
  kMsgCertNotYetValid = 30062,
  kMsgCertExpired = 30063,
  kMsgBadVersion = 30064,
  kMsgAdminSecurity = 30065,
  kMsgFingerprintFailed = 30066,
  kMsgPublicKeyInEntry = 30067,     // an entry holds the received public key
  kMsgPublicKeyInKeyEntry = 30068,  // ... and that entry holds a private key
  kMsgNoCertificate = 30069,        // the entry holds no certificate
  kMsgOutOfMemory = 30070,
  kMsgKeyDecryptFailed = 30071,
  kMsgKeyFileExists = 30072,
  kMsgTemplateHasKey = 30073,
  kMsgUnused30074 = 30074,
  kMsgValidityTimeFailed = 30075,
  kMsgUnsupportedKeyType = 30076,    // a certificate's public key is not RSA
  kMsgUnsupportedSignature = 30077,  // a signature algorithm that is not supported
  kMsgUnused30078 = 30078,
  kMsgUnused30079 = 30079,
  kMsgBadDigest = 30080,           // Digest= names no digest the library signs with
  kMsgBadAltNameItem = 30081,      // a SubjectAltName item that cannot be read
  kMsgBadAltNameHost = 30082,      // a SubjectAltName host name outside the host-name rules
  kMsgAltNameNeedsSha2 = 30083,    // SubjectAltName for a certificate signed with MD5 or SHA-1
  kMsgChainNotTrusted = 30084,     // no issuer path from a certificate to a trusted root
  kMsgBundleRootsSkipped = 30085,  // certificates of a root bundle that could not be taken
  kMsgNoCertMatchesKeyEntry =
      30086,                         // not exactly one certificate of a chain file fits a key entry
  kMsgTooManyCertificates = 30087,   // a certificate file holds more than 1000 certificates
  kMsgKeyFileWrongPassword = 30088,  // the file password fails the MAC or the key
  kMsgKeyFileUnsupported = 30089,  // a key file damaged, of an unknown kind, or an inconsistent key
  kMsgUnused30090 = 30090,
  kMsgUnused30091 = 30091,
  kMsgUnused30092 = 30092,
  kMsgUnused30093 = 30093,
  kMsgUnused30094 = 30094,
  kMsgKeyFileIterations = 30095,     // a key file asks for too many iterations
  kMsgKeyFileNoCertificate = 30096,  // no key in the key file, or no certificate for it
  kMsgNoFilePassword = 30097,        // FilePassword missing, or empty for export
  kMsgKeyImported = 30098,
  kMsgKeyExported = 30099,
};

// The messages that end a command that did what it was asked.
enum class SuccessMessage : std::uint32_t {
  kKeyFileCreated = kMsgKeyFileCreated,
  kCertReceived = kMsgCertReceived,
  kSelfSignedCreated = kMsgSelfSignedCreated,
  kSelfSignedRootCreated = kMsgSelfSignedRootCreated,
  kRootCertReceived = kMsgRootCertReceived,
  kRootDesignated = kMsgRootDesignated,
  kCertSigned = kMsgCertSigned,
  kCertReqCreated = kMsgCertReqCreated,
  kEntryDeleted = kMsgEntryDeleted,
  kEntriesListed = kMsgEntriesListed,
  kCertWritten = kMsgCertWritten,
  kPasswordChanged = kMsgPasswordChanged,
  kAdminSecurity = kMsgAdminSecurity,            // the library is there and working
  kBundleRootsSkipped = kMsgBundleRootsSkipped,  // received; some roots of the bundle left out
  kKeyImported = kMsgKeyImported,
  kKeyExported = kMsgKeyExported,
};

// The number a success message has in the slot and the catalogues.
constexpr std::uint32_t MessageNumberOf(SuccessMessage message) {
  return static_cast<std::uint32_t>(message);
}

// Stores a failure's message in the slot (when there is one) and returns
// status: the way every step reports its failure to its caller.
inline int FailWith(std::uint32_t* slot, std::uint32_t message, int status = -1) {
  if (slot != nullptr) *slot = message;
  return status;
}

// Stores a success message in the slot (when there is one) and returns 0:
// the way a step that finished a command says so.
[[nodiscard]] inline int ReportSuccess(std::uint32_t* slot, SuccessMessage message) {
  if (slot != nullptr) *slot = MessageNumberOf(message);
  return 0;
}

constexpr std::uint32_t kFirstMessage = 30000;
constexpr std::uint32_t kLastMessage = 30099;
constexpr std::uint32_t kMessageCount = kLastMessage - kFirstMessage + 1;

}  // namespace kcertadm
