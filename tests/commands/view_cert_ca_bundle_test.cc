// Every certificate of the CA bundle viewed: names, dates, serial and fingerprint as python
// cryptography reads them.
#include "command_test_util.h"

namespace kcertadm {
namespace {

using namespace cmdtest;

// Links n.pem to the bundle's n-th certificate in the directory argv[1] and writes n.txt, the
// report's first lines.
constexpr char kExpectedReports[] = R"(import glob, os, sys
from cryptography import x509
from cryptography.hazmat.primitives import hashes
NAMED = {"2.5.4.6": "Country", "2.5.4.8": "State", "2.5.4.7": "City", "2.5.4.10": "Org", "2.5.4.11": "OrgUnit",
         "2.5.4.3": "CommonName", "1.2.840.113549.1.9.1": "E-mail"}
ORDER = [("Country", 1), ("State", 1), ("City", 1), ("Org", 1), ("OrgUnit", 1), ("CommonName", 1), ("E-mail", 1),
         ("OrgUnit", 2), ("OrgUnit", 3)]
def shown(value):  # controls, separators, bidi controls and the backslash as \xNN
    hidden = lambda c: c < 0x20 or 0x7F <= c <= 0x9F or c in (0x2028, 0x2029, 0x5C) or 0x202A <= c <= 0x202E \
        or 0x2066 <= c <= 0x2069
    return "".join("".join("\\x%02X" % b for b in ch.encode()) if hidden(ord(ch)) else ch for ch in value)
def line(name, n): return name if n == 1 else name + str(n)
for n, path in enumerate(sorted(glob.glob("/etc/ssl/certs/*.pem")), 1):
    cert, lines = x509.load_pem_x509_certificate(open(path, "rb").read()), []
    for prefix, name in (("Subject", cert.subject), ("Issuer", cert.issuer)):
        seen, named, further = {}, {}, []
        for a in name:  # the first values on the nine lines, every further value after them
            oid = a.oid.dotted_string
            if oid in NAMED:
                seen[NAMED[oid]] = k = seen.get(NAMED[oid], 0) + 1
                if (NAMED[oid], k) in ORDER: named[(NAMED[oid], k)] = a.value
                else: further.append(prefix + NAMED[oid] + str(k) + ": " + shown(a.value))
            else:
                further.append(prefix + "Other: " + oid + " = " + shown(a.value))
        lines += [prefix + line(*key) + ": " + shown(named[key]) for key in ORDER if key in named] + further
    lines += [label + ": " + time.strftime("%m-%d-%y %H:%M GMT" if 1950 <= time.year < 2050 else "%m-%d-%Y %H:%M GMT")
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
  ASSERT_EQ(Shell(std::string(kPython) + " " + dir.Write("expected.py", kExpectedReports) + " " +
                  dir.path()),
            0);
  int viewed = 0;
  for (; FileExists(dir / (std::to_string(viewed + 1) + ".pem")); ++viewed) {
    const std::string base = dir / std::to_string(viewed + 1);
    SCOPED_TRACE(std::filesystem::read_symlink(base + ".pem").string());
    ASSERT_EQ(RunCommand("ViewCert", "CertReqFile=" + base + ".pem;EntriesFile=" + base + ".report")
                  .message,
              kMsgCertWritten);
    const std::string report = ReadFileText(base + ".report");
    EXPECT_EQ(report.substr(0, report.find("Extension - ")), ReadFileText(base + ".txt"));
  }
  EXPECT_GT(viewed, 0);
}

}  // namespace
}  // namespace kcertadm
