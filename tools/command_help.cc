#include "command_help.h"

#include <cstdio>

#include "host/host_text.h"

namespace kcertadm::cli {
namespace {

constexpr const char* kNameKeywords = "Country, State, City, Org, OrgUnit, EMail";

constexpr CommandHelp kHelp[] = {
    {"CreateKeyFile", "create a key ring with a new RSA key pair",
     "Password, KeyFile, KeyName/EntryLabel, CommonName",
     "Country, State, City, Org, OrgUnit, EMail, KeySize, CertReqFile, SelfSigned, ValidDays, "
     "UsePEM, NoStashFile"},
    {"CreateSelfSigned", "create a key ring whose key has a self-signed certificate",
     "Password, KeyFile, KeyName/EntryLabel, CommonName",
     "Country, State, City, Org, OrgUnit, EMail, KeySize, CertReqFile, SelfSigned, ValidDays, "
     "UsePEM, NoStashFile, NoTrust"},
    {"CreateSelfSignedRoot", "as CreateSelfSigned, and mark the certificate as trusted root",
     "Password, KeyFile, KeyName/EntryLabel, CommonName",
     "Country, State, City, Org, OrgUnit, EMail, KeySize, CertReqFile, SelfSigned, ValidDays, "
     "UsePEM, NoStashFile, NoTrust"},
    {"ChangePassword", "change the key ring password", "Password, KeyFile, NewPassword",
     "NoStashFile"},
    {"CreateCertReq", "write a certificate request for a key of the key ring",
     "Password, KeyFile, CertReqFile (output)", "KeyName/EntryLabel, UsePEM, SelfSigned"},
    {"ReceiveCert", "add a certificate to the key ring", "Password, KeyFile, CertReqFile (input)",
     "EntryLabel/KeyName, UseBER, NoTrust"},
    {"ReceiveRootCert", "add a certificate and mark it as trusted root",
     "Password, KeyFile, CertReqFile (input)", "EntryLabel/KeyName, UseBER, NoTrust"},
    {"DesignateRoot", "mark an entry as trusted root (NoTrust clears the mark)",
     "Password, KeyFile, EntryLabel/KeyName", "NoTrust"},
    {"DeleteEntry", "delete an entry", "Password, KeyFile, EntryLabel/KeyName", ""},
    {"ExtractCert", "write an entry's certificate to a file", "Password, KeyFile",
     "EntryLabel/KeyName, CertFile"},
    {"SignCert", "sign a certificate request with the key ring's signing key",
     "Password, KeyFile, CertReqFile (input), CertFile (output), ValidDays", "UseBER"},
    {"GetEntries", "write a report of all entries", "Password, KeyFile, EntriesFile",
     "ShowPrivateKey, ShowRawCert, WriteBER, Verify"},
    {"ViewCert", "write a report of a certificate file, or convert it",
     "CertReqFile (input), EntriesFile (output)",
     "UseBER, UsePKCS, ShowRawCert, WriteBinary, WriteBER, Verify"},
    {"AdminSecurity", "check that the library is there and working", "", ""},
};

}  // namespace

const CommandHelp* FindCommandHelp(std::string_view name) {
  for (const CommandHelp& help : kHelp) {
    if (HostCompareString(name, help.name) == 0) return &help;
  }
  return nullptr;
}

void PrintUsage(bool to_error) {
  FILE* out = to_error ? stderr : stdout;
  std::fputs(
      "usage: kcertadm COMMAND [ITEM ...]\n"
      "       kcertadm help COMMAND\n"
      "\n"
      "Each ITEM is Keyword=value or a bare Keyword (a flag); the items are joined\n"
      "with \";\", so one ITEM may also hold several items. A value cannot hold \";\".\n"
      "Prints one line, \"NUMBER: TEXT\", telling the outcome. Exit status: 0 success,\n"
      "1 failure, 2 usage error.\n"
      "\n"
      "commands:\n",
      out);
  for (const CommandHelp& help : kHelp) std::fprintf(out, "  %-22s %s\n", help.name, help.summary);
  std::fprintf(out, "\nname keywords: %s\n", kNameKeywords);
}

void PrintCommandHelp(const CommandHelp& help) {
  std::printf("%s: %s\n", help.name, help.summary);
  std::printf("  required: %s\n", *help.required ? help.required : "none");
  std::printf("  optional: %s\n", *help.optional ? help.optional : "none");
  if (HostFindString(help.required, "Password")) {
    std::puts("  UseStash may stand in for Password where the key ring exists already.");
  }
  std::puts("  defaults: KeyFile=keyfile.kyr, KeySize=512, ValidDays=365");
}

}  // namespace kcertadm::cli
