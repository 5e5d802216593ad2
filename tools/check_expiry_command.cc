#include "check_expiry_command.h"

#include <cstdio>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "certificate_facts.h"
#include "commands/common_steps.h"
#include "expiry_check.h"
#include "host/messages.h"
#include "keyring/keyring.h"
#include "listing_json.h"
#include "parsed_command.h"
#include "utc_time.h"

namespace kcertadm::cli {
namespace {

struct Finding {
  std::string label;
  std::optional<std::string> commonName;
  std::optional<std::int64_t> notAfter;
  ExpiryVerdict verdict;
};

struct ExpiryReport {
  std::vector<Finding> findings;  // the certificates not valid past the window
  ExpiryCounts counts;
};

std::optional<std::string> CommonNameOf(const CertificateFacts& certificate) {
  for (const NameLine& line : certificate.subject) {
    if (line.name == "CommonName") return line.value;
  }
  return std::nullopt;
}

void Count(ExpiryState state, ExpiryCounts* counts) {
  if (state == ExpiryState::kExpired) ++counts->expired;
  if (state == ExpiryState::kExpiring) ++counts->expiring;
  if (state == ExpiryState::kUnreadable) ++counts->unreadable;
}

// Every certificate of every entry, keys and trusted roots alike.
int CheckEntries(SecurityCmdContext& context, int days, std::int64_t now, ExpiryReport* report,
                 std::uint32_t* slot) {
  CommandSession session;
  if (OpenKeyRingFromContext(context, session, slot) != 0) return -1;
  KeyRingCursor cursor;
  do {
    const std::optional<KeyRingEntry> entry = KeyRingNextEntry(cursor);
    if (!entry) break;
    EntryFacts facts;
    std::uint32_t error = kMsgNone;
    if (ReadEntryFacts(*entry, &facts, &error) != 0) {
      return FailWith(slot, error != kMsgNone ? error : kMsgBadCertificate);
    }
    for (const CertificateFacts& certificate : facts.certificates) {
      const ExpiryVerdict verdict = ClassifyExpiry(certificate.notAfter, now, days);
      if (verdict.state == ExpiryState::kValid) continue;
      Count(verdict.state, &report->counts);
      report->findings.push_back(
          {facts.label, CommonNameOf(certificate), certificate.notAfter, verdict});
    }
  } while (!cursor.AtEnd());
  return 0;
}

void PrintText(const ExpiryReport& report, int days) {
  std::printf("%s\n", StatusLine(report.counts, days).c_str());
  for (const Finding& finding : report.findings) {
    const std::string end = finding.notAfter ? Rfc3339(*finding.notAfter) : std::string{};
    std::printf("%-10s \"%s\" CN=%s ends %s, %lld days left\n", StateName(finding.verdict.state),
                finding.label.c_str(), finding.commonName.value_or("(none)").c_str(),
                end.empty() ? "(unreadable)" : end.c_str(),
                static_cast<long long>(finding.verdict.daysLeft));
  }
}

void PrintJson(const ExpiryReport& report, int days, std::int64_t now, PluginStatus status,
               const std::string& summary, const std::optional<std::string>& message) {
  JsonWriter json;
  BeginListing(json, "CheckExpiry");
  json.Key("checkedAt");
  WriteTimeJson(json, now);
  json.IntegerMember("days", days);
  json.StringMember("status", StatusName(status));
  json.IntegerMember("exitCode", static_cast<int>(status));
  json.StringMember("summary", summary);
  json.Key("message");
  json.StringOrNull(message);
  json.Key("certificates");
  json.BeginArray();
  for (const Finding& finding : report.findings) {
    json.BeginObject();
    json.StringMember("label", finding.label);
    json.Key("commonName");
    json.StringOrNull(finding.commonName);
    json.Key("notAfter");
    WriteTimeJson(json, finding.notAfter);
    json.Key("daysLeft");
    finding.verdict.state == ExpiryState::kUnreadable ? json.Null()
                                                      : json.Integer(finding.verdict.daysLeft);
    json.StringMember("state", StateName(finding.verdict.state));
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
  std::fputs(json.Text().c_str(), stdout);
}

}  // namespace

int RunCheckExpiry(std::string_view parameters, int days, bool json, std::int64_t now) {
  char text[1024] = "";
  MessageReporter reporter(text, sizeof text);
  ExpiryReport report;
  std::int32_t status = -1;
  try {
    status = RunParsedCommand(
        CommandId::kGetEntries, parameters,
        [&](SecurityCmdContext& context, std::uint32_t* slot) {
          const int checked = CheckEntries(context, days, now, &report, slot);
          KeyRingClear();
          return checked;
        },
        reporter);
  } catch (const std::bad_alloc&) {
    reporter.Report(kMsgOutOfMemory);
  }
  if (status != 0) {
    const std::string message = std::to_string(reporter.last()) + ": " + text;
    const std::string summary = "KCERTADM EXPIRY UNKNOWN - " + message;
    if (json) {
      PrintJson(ExpiryReport{}, days, now, PluginStatus::kUnknown, summary, message);
    } else {
      std::printf("%s\n", summary.c_str());
    }
    return static_cast<int>(PluginStatus::kUnknown);
  }
  const PluginStatus result = StatusOf(report.counts);
  if (json) {
    PrintJson(report, days, now, result, StatusLine(report.counts, days), std::nullopt);
  } else {
    PrintText(report, days);
  }
  return static_cast<int>(result);
}

}  // namespace kcertadm::cli
