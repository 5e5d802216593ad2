// Every certificate of the machine's CA bundle is read here field for field
// as the openssl command reads it: names, serial number, validity text and
// MD5 fingerprint. Skipped when openssl is not installed.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "asn1/asn1.h"
#include "cert/cert_signature.h"
#include "cert/string_convert.h"
#include "kcertadm.h"
#include "peer_util.h"

namespace kcertadm {
namespace {

std::string BundleDir() {
  const char* dir = std::getenv("KCERTADM_CA_BUNDLE_DIR");
  return dir != nullptr ? dir : "/etc/ssl/certs";
}

std::vector<std::string> PemFiles(const std::string& dir) {
  std::vector<std::string> files;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name.size() > 4 && name.substr(name.size() - 4) == ".pem") files.push_back(dir + "/" + name);
    }
    closedir(d);
  }
  std::sort(files.begin(), files.end());
  return files;
}

// A slot value as the reports show it.
std::string Display(const DnField& f) {
  char out[1024];
  std::size_t n = 0;
  switch (f.stringTag) {
    case 0x0C: n = Utf8ToDisplay(f.value, f.length, out, sizeof out); break;
    case 0x1E: n = BmpToDisplay(f.value, f.length, out, sizeof out); break;
    case 0x14: n = T61ToDisplay(f.value, f.length, out, sizeof out); break;
    default: return std::string(reinterpret_cast<const char*>(f.value), f.length);
  }
  return std::string(out, n);
}

using Slots = std::map<int, std::string>;

Slots OurSlots(const Asn1Item& name) {
  DnFields fields{};
  std::uint32_t error = 0;
  Slots slots;
  if (ParseDNSeq(&fields, name, &error) != 0) {
    slots[-1] = "parse failed";
    return slots;
  }
  for (int i = 0; i < DN_SLOT_COUNT; ++i) {
    if (fields.slot[i].value != nullptr) slots[i] = Display(fields.slot[i]);
  }
  return slots;
}

// The slots of a name printed by openssl with sep_multiline,sname,utf8.
Slots PeerSlots(const std::vector<std::string>& lines) {
  static const std::map<std::string, int> kSlot = {{"C", 0},  {"ST", 1}, {"L", 2},
                                                   {"O", 3},  {"CN", 5}, {"emailAddress", 6}};
  Slots slots;
  int orgUnits = 0;
  for (const std::string& line : lines) {
    std::size_t start = 0;
    while (start <= line.size()) {
      std::size_t plus = line.find(" + ", start);
      const std::string part = line.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
      const std::size_t eq = part.find('=');
      if (eq != std::string::npos) {
        const std::string key = part.substr(0, eq);
        const std::string value = part.substr(eq + 1);
        if (key == "OU") {
          static const int kOrgUnitSlots[] = {4, 7, 8};
          if (orgUnits < 3) slots[kOrgUnitSlots[orgUnits++]] = value;
        } else if (auto it = kSlot.find(key); it != kSlot.end()) {
          slots[it->second] = value;
        }
      }
      if (plus == std::string::npos) break;
      start = plus + 3;
    }
  }
  return slots;
}

// "Sep 22 11:22:02 2011 GMT" as "09-22-11 11:22 GMT".
std::string PeerDate(const std::string& text) {
  static const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::istringstream in(text);
  std::string month, time, zone;
  int day = 0, year = 0;
  in >> month >> day >> time >> year >> zone;
  int m = 0;
  while (m < 12 && month != kMonths[m]) ++m;
  char out[32];
  std::snprintf(out, sizeof out, "%02d-%02d-%02d %s GMT", m + 1, day, year % 100,
                time.substr(0, 5).c_str());
  return out;
}

std::string HexUpper(const std::uint8_t* p, std::size_t n, const char* separator) {
  std::string out;
  char buf[4];
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0) out += separator;
    std::snprintf(buf, sizeof buf, "%02X", p[i]);
    out += buf;
  }
  return out;
}

struct PeerView {
  std::string serial, fingerprint, notBefore, notAfter;
  std::vector<std::string> subject, issuer;
};

PeerView AskOpenssl(const std::string& file) {
  const std::string out = test::Run(
      "openssl x509 -in " + test::Quote(file) +
      " -noout -serial -fingerprint -md5 -startdate -enddate -subject -issuer"
      " -nameopt sep_multiline,sname,utf8,-esc_msb 2>/dev/null");
  PeerView view;
  std::istringstream in(out);
  std::string line;
  std::vector<std::string>* name = nullptr;
  while (std::getline(in, line)) {
    auto value = [&](const std::string& prefix) { return line.substr(prefix.size()); };
    if (line.rfind("    ", 0) == 0 && name != nullptr) {
      name->push_back(line.substr(4));
      continue;
    }
    name = nullptr;
    if (line.rfind("serial=", 0) == 0) view.serial = value("serial=");
    if (line.rfind("md5 Fingerprint=", 0) == 0) view.fingerprint = value("md5 Fingerprint=");
    if (line.rfind("notBefore=", 0) == 0) view.notBefore = value("notBefore=");
    if (line.rfind("notAfter=", 0) == 0) view.notAfter = value("notAfter=");
    if (line.rfind("subject=", 0) == 0) name = &view.subject;
    if (line.rfind("issuer=", 0) == 0) name = &view.issuer;
  }
  return view;
}

TEST(CaBundle, EveryCertificateReadsAsOpensslReadsIt) {
  if (!test::HaveOpenssl()) GTEST_SKIP() << "openssl not installed";
  const std::vector<std::string> files = PemFiles(BundleDir());
  if (files.empty()) GTEST_SKIP() << "no certificates in " << BundleDir();
  int checked = 0;
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    std::ifstream in(file);
    std::stringstream pem;
    pem << in.rdbuf();
    test::Bytes der = test::PemToDer(pem.str());
    ASSERT_FALSE(der.empty());
    CertData cert{};
    cert.der = Asn1Item{der.data(), static_cast<std::int32_t>(der.size())};
    CertFields fields{};
    std::uint32_t error = 0;
    ASSERT_EQ(ParseCert(&cert, &fields, &error), 0);
    const PeerView peer = AskOpenssl(file);

    EXPECT_EQ(OurSlots(fields.subject), PeerSlots(peer.subject)) << "subject";
    EXPECT_EQ(OurSlots(fields.issuer), PeerSlots(peer.issuer)) << "issuer";

    Asn1Item serial = fields.serialNumber;
    ASSERT_GT(Asn1Enter(&serial), 0);
    if (peer.serial.rfind("-", 0) != 0) {
      std::size_t skip = serial.length > 1 && serial.data[0] == 0 ? 1 : 0;
      EXPECT_EQ(HexUpper(serial.data + skip, serial.length - skip, ""), peer.serial);
    }

    std::uint8_t md5[16];
    ASSERT_EQ(CertFingerprint(fields.whole, md5), 16);
    EXPECT_EQ(HexUpper(md5, 16, ":"), peer.fingerprint);

    char start[20];
    char end[20];
    ASSERT_EQ(GetTextDates(&fields, start, end, &error), 0);
    EXPECT_EQ(start, PeerDate(peer.notBefore));
    EXPECT_EQ(end, PeerDate(peer.notAfter));
    ++checked;
  }
  RecordProperty("certificates", checked);
  std::printf("checked %d certificates of %s\n", checked, BundleDir().c_str());
}

}  // namespace
}  // namespace kcertadm
