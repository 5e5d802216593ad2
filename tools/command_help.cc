#include "command_help.h"

#include "host/host_text.h"

namespace kcertadm::cli {
namespace {

// Keyword texts that several commands share.
constexpr KeywordHelp kPassword = {"Password=TEXT",
                                   "the key ring password (asked for when\n"
                                   "missing, or give UseStash or --passin)",
                                   true};
constexpr KeywordHelp kNewRingPassword = {"Password=TEXT",
                                          "password of the new key ring (asked for\n"
                                          "twice when missing, or give --passin)",
                                          true};
constexpr KeywordHelp kUseStash = {
    "UseStash", "take the password from the key ring's stash\nfile (web.kyr: web.sth)", false};
constexpr KeywordHelp kKeyFile = {"KeyFile=FILE", "the key ring file (default keyfile.kyr)", true};
constexpr KeywordHelp kNewKeyFile = {
    "KeyFile=FILE", "the key ring file to create; it must not\nexist (default keyfile.kyr)", true};
constexpr KeywordHelp kNewLabel = {"KeyName=LABEL",
                                   "label of the new key entry (EntryLabel is the same)", true};
constexpr KeywordHelp kLabel = {"EntryLabel=LABEL", "label of the entry (KeyName is the same)",
                                true};
constexpr KeywordHelp kCommonName = {"CommonName=TEXT",
                                     "subject common name, 1 to 64 characters (a host name)", true};
constexpr KeywordHelp kCountry = {"Country=CC", "subject country, exactly 2 characters", false};
constexpr KeywordHelp kState = {"State=TEXT", "subject state or province, 3 to 128 characters",
                                false};
constexpr KeywordHelp kCity = {"City=TEXT", "subject locality, 1 to 128 characters", false};
constexpr KeywordHelp kOrg = {"Org=TEXT", "subject organization, 1 to 64 characters", false};
constexpr KeywordHelp kOrgUnit = {"OrgUnit=TEXT", "subject organizational unit, 1 to 64 characters",
                                  false};
constexpr KeywordHelp kEMail = {"EMail=ADDRESS", "subject e-mail address, 1 to 64 characters",
                                false};
constexpr KeywordHelp kKeySize = {"KeySize=BITS",
                                  "RSA key size in bits, up to 4096; the tool\n"
                                  "gives 2048 when missing (the library alone: 512)",
                                  false};
constexpr KeywordHelp kDigest = {"Digest=NAME",
                                 "digest of the signature: MD5, SHA1, SHA256,\n"
                                 "SHA384 or SHA512; the tool gives SHA256 when\n"
                                 "missing (the library alone: MD5). SHA-2 brings\n"
                                 "the RFC 5280 extensions",
                                 false};
constexpr KeywordHelp kSubjectAltName = {"SubjectAltName=LIST",
                                         "alternative names, comma-separated:\n"
                                         "DNS:host,IP:address,EMAIL:mail,URI:uri; a\n"
                                         "certificate needs a SHA-2 Digest for them.\n"
                                         "With SHA-2, a host name CommonName gives DNS:",
                                         false};
constexpr KeywordHelp kCreateRequest = {
    "CertReqFile=FILE", "also write a certificate request for the new key to FILE", false};
constexpr KeywordHelp kCreateSelfSignedFlag = {"SelfSigned",
                                               "give the new key a self-signed certificate", false};
constexpr KeywordHelp kCreateValidDays = {
    "ValidDays=DAYS", "validity of the self-signed certificate (default 365)", false};
constexpr KeywordHelp kUsePem = {
    "UsePEM", "write the request as an RFC 1424 PEM message\ninstead of PKCS #10", false};
constexpr KeywordHelp kNoStashFile = {"NoStashFile", "do not write the stash file", false};
constexpr KeywordHelp kInputCert = {
    "CertReqFile=FILE", "the certificate file to read (Base64,\narmoured, PEM, or DER with UseBER)",
    true};
constexpr KeywordHelp kUseBerInput = {"UseBER", "the input file holds binary DER", false};

constexpr KeywordHelp kCreateKeyFile[] = {kNewRingPassword,
                                          kNewKeyFile,
                                          kNewLabel,
                                          kCommonName,
                                          kCountry,
                                          kState,
                                          kCity,
                                          kOrg,
                                          kOrgUnit,
                                          kEMail,
                                          kKeySize,
                                          kCreateRequest,
                                          kUsePem,
                                          kCreateSelfSignedFlag,
                                          kCreateValidDays,
                                          kNoStashFile,
                                          kDigest,
                                          kSubjectAltName};

constexpr KeywordHelp kCreateSelfSigned[] = {
    kNewRingPassword, kNewKeyFile, kNewLabel,    kCommonName,
    kCountry,         kState,      kCity,        kOrg,
    kOrgUnit,         kEMail,      kKeySize,     kCreateValidDays,
    kCreateRequest,   kUsePem,     kNoStashFile, kDigest,
    kSubjectAltName};

constexpr KeywordHelp kCreateSelfSignedRoot[] = {
    kNewRingPassword,
    kNewKeyFile,
    kNewLabel,
    kCommonName,
    kCountry,
    kState,
    kCity,
    kOrg,
    kOrgUnit,
    kEMail,
    kKeySize,
    kCreateValidDays,
    kCreateRequest,
    kUsePem,
    kNoStashFile,
    {"NoTrust", "leave the certificate without the trusted-root mark", false},
    kDigest,
    kSubjectAltName};

constexpr KeywordHelp kChangePassword[] = {
    kPassword,
    kUseStash,
    kKeyFile,
    {"NewPassword=TEXT",
     "the new password (asked for twice when\n"
     "missing, or give --newpassin)",
     true},
    {"NoStashFile", "do not rewrite the stash file (an old one stays as it is)", false}};

constexpr KeywordHelp kCreateCertReq[] = {
    kPassword,
    kUseStash,
    kKeyFile,
    {"CertReqFile=FILE", "the request file to write", true},
    {"KeyName=LABEL", "the key entry (default: the first key with a certificate)", false},
    kUsePem,
    {"SelfSigned", "write a self-signed certificate instead of a\nPKCS #10 request", false},
    kDigest,
    kSubjectAltName};

constexpr KeywordHelp kReceiveCert[] = {
    kPassword,
    kUseStash,
    kKeyFile,
    kInputCert,
    {"EntryLabel=LABEL",
     "store it as a new entry under LABEL; without\n"
     "it, it joins the key holding its public key\n"
     "(a chain: its certificate goes to key LABEL)",
     false},
    kUseBerInput,
    {"NoTrust", "do not check its issuer and signature (its dates\nare still checked)", false}};

constexpr KeywordHelp kReceiveRootCert[] = {
    kPassword,
    kUseStash,
    kKeyFile,
    kInputCert,
    {"EntryLabel=LABEL", "label of the new root entry", false},
    kUseBerInput,
    {"NoTrust",
     "do not check its issuer and signature (its dates\n"
     "are still checked); the root mark stays off",
     false}};

constexpr KeywordHelp kDesignateRoot[] = {
    kPassword,
    kUseStash,
    kKeyFile,
    kLabel,
    {"NoTrust", "clear the trusted-root mark instead of setting it", false}};

constexpr KeywordHelp kDeleteEntry[] = {kPassword, kUseStash, kKeyFile, kLabel};

constexpr KeywordHelp kExtractCert[] = {
    kPassword,
    kUseStash,
    kKeyFile,
    {"EntryLabel=LABEL", "the entry (default: the first key with a certificate)", false},
    {"CertFile=FILE",
     "where to write the certificate (- for standard\n"
     "output; without it: nothing is written)",
     false},
    {"WithChain",
     "write the intermediates up to the trusted root\n"
     "after it (not the root): a TLS server's chain",
     false}};

constexpr KeywordHelp kImportKey[] = {kPassword,
                                      kUseStash,
                                      kKeyFile,
                                      {"CertReqFile=FILE",
                                       "the key file: PKCS #12 (.p12, .pfx), or PEM\n"
                                       "with a private key and its certificates",
                                       true},
                                      {"FilePassword=TEXT",
                                       "the key file's password (asked for when\n"
                                       "missing, or give --filepassin)",
                                       false},
                                      {"KeyName=LABEL",
                                       "label of the new key entry (EntryLabel is the\n"
                                       "same; default: the certificate's common name)",
                                       false}};

constexpr KeywordHelp kExportKey[] = {
    kPassword,
    kUseStash,
    kKeyFile,
    {"EntryLabel=LABEL", "the key entry (default: the first key with a certificate)", false},
    {"CertFile=FILE", "the key file to write (mode 0600; - for\nstandard output)", true},
    {"FilePassword=TEXT",
     "the key file's password, not empty (asked for\n"
     "twice when missing, or give --filepassin)",
     true},
    {"PemKey",
     "write an encrypted PEM private key and the\n"
     "certificates instead of PKCS #12",
     false}};

constexpr KeywordHelp kSignCert[] = {
    kPassword,
    kUseStash,
    kKeyFile,
    {"CertReqFile=FILE", "the request to sign (PKCS #10 or RFC 1424 PEM)", true},
    {"CertFile=FILE", "where to write the new certificate (- for\nstandard output)", true},
    {"ValidDays=DAYS", "validity of the new certificate, 0 to 10000 (default 365)", false},
    {"UseBER", "do not look for an RFC 1424 PEM message in\nthe request file", false},
    {"Digest=NAME",
     "digest of the signature: MD5, SHA1, SHA256,\n"
     "SHA384 or SHA512; the tool gives SHA256 when\n"
     "missing (the library alone: MD5). SHA-2 issues\n"
     "the RFC 5280 end-entity profile with the\n"
     "request's subjectAltName",
     false}};

constexpr KeywordHelp kGetEntries[] = {
    kPassword,
    kUseStash,
    kKeyFile,
    {"EntriesFile=FILE", "the report file to write (- for standard output)", true},
    {"ShowPrivateKey", "also list the entries that hold a private key", false},
    {"ShowRawCert", "include each certificate in armoured form", false},
    {"WriteBER", "include the ASN.1 structure of each certificate", false},
    {"Verify", "check the signature of self-signed certificates", false}};

constexpr KeywordHelp kViewCert[] = {
    {"CertReqFile=FILE", "the certificate or request file to read", true},
    {"EntriesFile=FILE", "the file to write (- for standard output)", true},
    {"KeyFile=FILE", "a key ring the output must not overwrite\n(default keyfile.kyr)", false},
    {"UseBER", "the input holds binary DER", false},
    {"UsePKCS", "the input is a certificate request", false},
    {"ShowRawCert", "write the armoured form (with WriteBinary: a hex dump)", false},
    {"WriteBinary", "write the DER bytes (with WriteBER: a hex dump)", false},
    {"WriteBER", "write the ASN.1 structure", false},
    {"Verify", "check the signature of a self-signed certificate", false}};

constexpr KeywordHelp kCheckExpiry[] = {
    kPassword,
    kUseStash,
    kKeyFile,
    {"Days=DAYS", "the window: certificates ending within DAYS\ndays are listed (default 30)",
     false}};

constexpr KeywordHelp kNone[] = {{"Version=2", "only checks that the value is 2", false}};

constexpr CommandHelp kHelp[] = {
    {"CreateKeyFile", "create a key ring with a new RSA key pair",
     "Creates the key ring KeyFile, seeded with the trusted roots of master.kyr\n"
     "(or of KCERTADM_ROOTS), and adds a new RSA key pair under KeyName. The\n"
     "stash file is written beside it unless NoStashFile is given.",
     kCreateKeyFile,
     "kcertadm CreateKeyFile KeyFile=web.kyr KeyName=web \\\n"
     "    CommonName=www.example.com Org=Example Country=DE \\\n"
     "    KeySize=2048 CertReqFile=web.csr"},
    {"CreateSelfSigned", "create a key ring with a self-signed key",
     "As CreateKeyFile, and the new key gets a self-signed certificate.", kCreateSelfSigned,
     "kcertadm CreateSelfSigned KeyFile=test.kyr KeyName=test \\\n"
     "    CommonName=test.example.com KeySize=2048 ValidDays=30"},
    {"CreateSelfSignedRoot", "create a key ring with a trusted root (a CA)",
     "As CreateSelfSigned, and the certificate is marked as trusted root, so\n"
     "that the key ring can sign requests with SignCert.",
     kCreateSelfSignedRoot,
     "kcertadm CreateSelfSignedRoot KeyFile=ca.kyr KeyName=ca \\\n"
     "    CommonName=\"Example CA\" Org=Example KeySize=2048 ValidDays=3650"},
    {"ChangePassword", "change the key ring password",
     "Re-protects the key ring under NewPassword and rewrites its stash file.", kChangePassword,
     "kcertadm ChangePassword KeyFile=web.kyr\n"
     "kcertadm ChangePassword KeyFile=web.kyr \\\n    --passin file:old.txt --newpassin "
     "file:new.txt"},
    {"CreateCertReq", "write a certificate request for a key of the key ring",
     "Writes a PKCS #10 request (armoured as NEW CERTIFICATE REQUEST) for the\n"
     "key KeyName, to be sent to a certification authority.",
     kCreateCertReq, "kcertadm CreateCertReq KeyFile=web.kyr KeyName=web CertReqFile=web.csr"},
    {"ReceiveCert", "add a certificate to the key ring",
     "Reads a certificate, checks it against the key ring's trusted roots and\n"
     "stores it with the key that it certifies, or under EntryLabel. A file of\n"
     "several certificates (fullchain.pem, PKCS #7) is a chain: the one for a\n"
     "key goes to it, the others become untrusted authority entries, and the\n"
     "chain must lead to a trusted root.",
     kReceiveCert, "kcertadm ReceiveCert KeyFile=web.kyr CertReqFile=web.crt"},
    {"ReceiveRootCert", "add a certificate and mark it as trusted root",
     "As ReceiveCert, and the stored certificate is marked as trusted root. A\n"
     "bundle (ca-certificates.crt) makes every self-signed RSA root it holds\n"
     "trusted and counts those it skips (30085).",
     kReceiveRootCert,
     "kcertadm ReceiveRootCert KeyFile=web.kyr CertReqFile=ca.crt \\\n"
     "    EntryLabel=example-ca"},
    {"DesignateRoot", "mark an entry as trusted root (NoTrust clears the mark)",
     "Sets, or with NoTrust clears, the trusted-root mark of the entry and of\n"
     "every entry holding the same public key.",
     kDesignateRoot, "kcertadm DesignateRoot KeyFile=web.kyr EntryLabel=example-ca"},
    {"DeleteEntry", "delete an entry", "Removes the entry from the key ring.", kDeleteEntry,
     "kcertadm DeleteEntry KeyFile=web.kyr EntryLabel=old-ca"},
    {"ExtractCert", "write an entry's certificate to a file",
     "Writes the certificate of the entry as an armoured CERTIFICATE, which\n"
     "openssl x509 reads; WithChain adds its intermediates.",
     kExtractCert, "kcertadm ExtractCert KeyFile=web.kyr EntryLabel=web CertFile=web.crt"},
    {"SignCert", "sign a request with the key ring's root key",
     "Issues a certificate for the request, signed by the first entry that has a\n"
     "private key, a certificate and the trusted-root mark (see\n"
     "CreateSelfSignedRoot).",
     kSignCert,
     "kcertadm SignCert KeyFile=ca.kyr CertReqFile=web.csr \\\n"
     "    CertFile=web.crt ValidDays=365"},
    {"GetEntries", "write a report of the key ring's entries",
     "Writes one block per entry: label, subject, issuer, dates, serial number,\n"
     "fingerprint, extensions, trusted-root mark and key size. With --json, the\n"
     "same entries as one JSON document (standard output without EntriesFile).",
     kGetEntries, "kcertadm GetEntries KeyFile=web.kyr EntriesFile=entries.txt ShowPrivateKey"},
    {"ViewCert", "write a report of a certificate file, or convert it",
     "Reads a certificate (or with UsePKCS a request) without any key ring and\n"
     "writes a report, its ASN.1 structure, a hex dump, the armoured form or DER.\n"
     "With --json, the certificates as one JSON document.",
     kViewCert,
     "kcertadm ViewCert CertReqFile=web.crt EntriesFile=web.txt\n"
     "kcertadm ViewCert CertReqFile=web.crt EntriesFile=web.der WriteBinary"},
    {"ImportKey", "add a private key and its certificates from a key file",
     "Reads a PKCS #12 file or a PEM private key with its certificates, checks\n"
     "the key, and stores it with its certificate as a new key entry; the\n"
     "file's other certificates become CA certificate entries (not trusted).",
     kImportKey,
     "kcertadm ImportKey KeyFile=web.kyr CertReqFile=web.p12 KeyName=web \\\n"
     "    --filepassin file:p12pass.txt"},
    {"ExportKey", "write a key entry with its certificates to a key file",
     "Writes the key, its certificate and its issuers found in the key ring as\n"
     "PKCS #12 (AES-256, HMAC-SHA256), or with PemKey as an ENCRYPTED PRIVATE\n"
     "KEY followed by the certificates, under FilePassword.",
     kExportKey,
     "kcertadm ExportKey KeyFile=web.kyr EntryLabel=web CertFile=web.p12\n"
     "kcertadm ExportKey KeyFile=web.kyr EntryLabel=web CertFile=web.pem PemKey"},
    {"CheckExpiry", "list certificates that expire soon (monitoring)",
     "Lists the certificates of the key ring that have expired or expire within\n"
     "Days days, after a status line for monitoring systems, and exits with\n"
     "0 (OK: none), 1 (WARNING: some expire within the window), 2 (CRITICAL:\n"
     "some have expired) or 3 (UNKNOWN: the key ring could not be checked).\n"
     "With --json the result is a JSON document instead. A command of the\n"
     "tool, not of the library.",
     kCheckExpiry,
     "kcertadm CheckExpiry KeyFile=web.kyr UseStash Days=30\n"
     "kcertadm --json CheckExpiry KeyFile=web.kyr --passin file:/etc/web.pw"},
    {"AdminSecurity", "check that the library is there and working",
     "Reports message 30065 and touches nothing.", kNone, "kcertadm AdminSecurity"},
};

constexpr const char* kNameKeywords = "Country, State, City, Org, OrgUnit, EMail, CommonName";

// Writes `text` after `first`, starting each further line with `indent`.
void PrintIndented(const char* text, const char* first, const char* indent, std::FILE* out) {
  std::fputs(first, out);
  for (const char* c = text; *c != '\0'; ++c) {
    std::fputc(*c, out);
    if (*c == '\n') std::fputs(indent, out);
  }
  std::fputc('\n', out);
}

}  // namespace

std::span<const CommandHelp> AllCommandHelp() { return kHelp; }

const CommandHelp* FindCommandHelp(std::string_view name) {
  for (const CommandHelp& help : kHelp) {
    if (HostCompareString(name, help.name) == 0) return &help;
  }
  return nullptr;
}

std::string_view KeywordOf(const KeywordHelp& keyword) {
  const std::string_view item = keyword.item;
  return item.substr(0, item.find('='));
}

void PrintUsage(std::FILE* out) {
  std::fputs(
      "usage: kcertadm [OPTION ...] COMMAND [ITEM ...]\n"
      "       kcertadm help COMMAND    (or kcertadm COMMAND --help)\n"
      "\n"
      "Each ITEM is Keyword=value or a bare Keyword (a flag); the items are joined\n"
      "with \";\", so one ITEM may also hold several items. A value cannot hold \";\".\n"
      "Keywords and commands ignore letter case; a keyword may be abbreviated.\n"
      "KeySize and ValidDays take decimal digits only. A keyword the command does\n"
      "not read draws a warning. EntriesFile=- and CertFile=- write to standard\n"
      "output.\n"
      "Today's defaults: the tool adds Digest=SHA256 to CreateKeyFile,\n"
      "CreateSelfSigned, CreateSelfSignedRoot, CreateCertReq and SignCert, and\n"
      "KeySize=2048 to the first three, each unless the command line gives it\n"
      "(Digest=MD5 KeySize=512 keep the library's own defaults).\n"
      "Prints one line, \"NUMBER: TEXT\", telling the outcome (on standard error when\n"
      "standard output takes a file). Exit status: 0 success, 1 failure, 2 usage\n"
      "error (CheckExpiry: 0 OK, 1 WARNING, 2 CRITICAL, 3 UNKNOWN).\n"
      "\n"
      "options:\n"
      "  --passin SOURCE     read the key ring password from SOURCE\n"
      "  --newpassin SOURCE  read the new password of ChangePassword from SOURCE\n"
      "  --filepassin SOURCE read the key file password of ImportKey and\n"
      "                      ExportKey (FilePassword) from SOURCE\n"
      "                      SOURCE: pass:TEXT, env:NAME, file:PATH, fd:NUMBER, stdin\n"
      "  --json              GetEntries, ViewCert, CheckExpiry: write JSON (to\n"
      "                      standard output unless EntriesFile is given)\n"
      "  --version           print the version\n"
      "  --help              print this help\n"
      "Without Password, UseStash or --passin, the password is asked for; so is\n"
      "the key file password without FilePassword or --filepassin.\n"
      "\n"
      "commands:\n",
      out);
  for (const CommandHelp& help : kHelp) std::fprintf(out, "  %-22s %s\n", help.name, help.summary);
  std::fprintf(out, "\nsubject name keywords: %s\n", kNameKeywords);
  std::fputs("See kcertadm help COMMAND, and man kcertadm.\n", out);
}

void PrintCommandHelp(const CommandHelp& help, std::FILE* out) {
  std::fprintf(out, "kcertadm %s - %s\n\n", help.name, help.summary);
  PrintIndented(help.description, "  ", "  ", out);
  std::fputs("\nkeywords (* required):\n", out);
  for (const KeywordHelp& keyword : help.keywords) {
    std::fprintf(out, "  %c %-18s ", keyword.required ? '*' : ' ', keyword.item);
    PrintIndented(keyword.text, "", "                       ", out);
  }
  std::fputs("\nexample:\n", out);
  PrintIndented(help.example, "  ", "  ", out);
}

}  // namespace kcertadm::cli
