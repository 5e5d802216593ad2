#include "listing_json.h"

#include "utc_time.h"

namespace kcertadm::cli {
namespace {

void WriteNameJson(JsonWriter& json, const std::vector<NameLine>& lines) {
  json.BeginArray();
  for (const NameLine& line : lines) {
    json.BeginObject();
    json.StringMember("attribute", line.name);
    json.Key("oid");
    line.oid.empty() ? json.Null() : json.String(line.oid);
    json.StringMember("value", line.value);
    json.EndObject();
  }
  json.EndArray();
}

void WriteKeyJson(JsonWriter& json, const std::optional<int>& bits) {
  json.Key("keyType");
  bits ? json.String("RSA") : json.Null();
  json.Key("keySize");
  json.IntegerOrNull(bits);
}

void WriteExtensionJson(JsonWriter& json, const ExtensionFacts& extension) {
  json.BeginObject();
  json.Key("oid");
  json.StringOrNull(extension.oid);
  json.Key("name");
  json.StringOrNull(extension.name);
  json.BoolMember("critical", extension.critical);
  json.StringMember("value", extension.value);
  json.StringMember("report", extension.report);
  json.EndObject();
}

void WriteAltNamesJson(JsonWriter& json, const std::vector<AltName>& names) {
  json.BeginArray();
  for (const AltName& name : names) {
    json.BeginObject();
    json.StringMember("type", name.type);
    json.StringMember("value", name.value);
    json.EndObject();
  }
  json.EndArray();
}

}  // namespace

void BeginListing(JsonWriter& json, std::string_view command) {
  json.BeginObject();
  json.StringMember("format", "kcertadm-entries");
  json.IntegerMember("version", kListingVersion);
  json.StringMember("command", command);
}

void WriteTimeJson(JsonWriter& json, const std::optional<std::int64_t>& seconds) {
  const std::string text = seconds ? Rfc3339(*seconds) : std::string{};
  text.empty() ? json.Null() : json.String(text);
}

void WriteCertificateJson(JsonWriter& json, const CertificateFacts& facts) {
  json.BeginObject();
  json.Key("subject");
  WriteNameJson(json, facts.subject);
  json.Key("issuer");
  WriteNameJson(json, facts.issuer);
  json.Key("notBefore");
  WriteTimeJson(json, facts.notBefore);
  json.Key("notAfter");
  WriteTimeJson(json, facts.notAfter);
  json.StringMember("serial", facts.serial);
  json.Key("fingerprints");
  json.BeginObject();
  json.StringMember("md5", facts.md5);
  json.StringMember("sha256", facts.sha256);
  json.EndObject();
  WriteKeyJson(json, facts.keyBits);
  json.Key("extensions");
  json.BeginArray();
  for (const ExtensionFacts& extension : facts.extensions) WriteExtensionJson(json, extension);
  json.EndArray();
  json.Key("subjectAltNames");
  WriteAltNamesJson(json, facts.altNames);
  json.EndObject();
}

void WriteEntryJson(JsonWriter& json, const EntryFacts& facts) {
  json.BeginObject();
  json.StringMember("label", facts.label);
  json.BoolMember("trustedRoot", facts.trustedRoot);
  json.BoolMember("privateKey", facts.privateKey);
  WriteKeyJson(json, facts.keyBits);
  json.Key("subject");
  WriteNameJson(json, facts.subject);
  json.Key("certificates");
  json.BeginArray();
  for (const CertificateFacts& certificate : facts.certificates) {
    WriteCertificateJson(json, certificate);
  }
  json.EndArray();
  json.EndObject();
}

}  // namespace kcertadm::cli
