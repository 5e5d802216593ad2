// Every certificate of the CA bundle viewed: names, dates, serial and fingerprint as python cryptography reads them.
#include "command_test_util.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

// Links n.pem to the bundle's n-th certificate in the directory argv[1] and writes n.txt, the report's first lines.
constexpr char kExpectedReports[] = R"(import glob, os, sys
from cryptography import x509
from cryptography.hazmat.primitives import hashes
SLOTS = {"2.5.4.6": "Country", "2.5.4.8": "State", "2.5.4.7": "City", "2.5.4.10": "Org", "2.5.4.3": "CommonName",
         "1.2.840.113549.1.9.1": "E-mail"}
ORDER = ["Country", "State", "City", "Org", "OrgUnit", "CommonName", "E-mail", "OrgUnit2", "OrgUnit3"]
for n, path in enumerate(sorted(glob.glob("/etc/ssl/certs/*.pem")), 1):
    cert, lines = x509.load_pem_x509_certificate(open(path, "rb").read()), []
    for prefix, name in (("Subject", cert.subject), ("Issuer", cert.issuer)):
        slots, units = {}, ["OrgUnit", "OrgUnit2", "OrgUnit3"]
        for a in name:  # a later value replaces an earlier one; three units at most
            if a.oid.dotted_string == "2.5.4.11" and units: slots[units.pop(0)] = a.value
            elif a.oid.dotted_string in SLOTS: slots[SLOTS[a.oid.dotted_string]] = a.value
        lines += [prefix + slot + ": " + slots[slot] for slot in ORDER if slot in slots]
    lines += [label + ": " + time.strftime("%m-%d-%y %H:%M GMT")
              for label, time in (("StartDate", cert.not_valid_before), ("EndDate", cert.not_valid_after))]
    serial = cert.serial_number.to_bytes(cert.serial_number.bit_length() // 8 + 1, "big", signed=True)
    lines += ["Serial number: " + serial.hex(":").upper(),
              "Fingerprint: " + cert.fingerprint(hashes.MD5()).hex(":").upper()]
    os.symlink(path, os.path.join(sys.argv[1], "%d.pem" % n))
    open(os.path.join(sys.argv[1], "%d.txt" % n), "w").write("\n".join(lines) + "\n")
)";

TEST(ViewCertCaBundle, ReportsAgreeWithPythonCryptography) {
  if (!HavePythonCryptography() || !std::filesystem::is_directory("/etc/ssl/certs")) {
    GTEST_SKIP() << "needs python cryptography and /etc/ssl/certs";
  }
  TempDir dir;
  ASSERT_EQ(Shell(std::string(kPython) + " " + dir.Write("expected.py", kExpectedReports) + " " + dir.path()), 0);
  int viewed = 0;
  for (; FileExists(dir / (std::to_string(viewed + 1) + ".pem")); ++viewed) {
    const std::string base = dir / std::to_string(viewed + 1);
    SCOPED_TRACE(std::filesystem::read_symlink(base + ".pem").string());
    ASSERT_EQ(RunCommand("ViewCert", "CertReqFile=" + base + ".pem;EntriesFile=" + base + ".report").message,
              kMsgCertWritten);
    const std::string report = ReadFileText(base + ".report");
    EXPECT_EQ(report.substr(0, report.find("Extension - ")), ReadFileText(base + ".txt"));
  }
  EXPECT_GT(viewed, 0);
}

}  // namespace
}  // namespace kcertadm
