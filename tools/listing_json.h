// The JSON form of the tool's listings (docs/kcertadm-entries.schema.json
// describes it): the document's head, entries and certificates.
#pragma once

#include <string_view>

#include "certificate_facts.h"
#include "json_writer.h"

namespace kcertadm::cli {

inline constexpr int kListingVersion = 1;

// Opens the document's object and writes "format", "version" and
// "command"; the caller adds its members and ends the object.
void BeginListing(JsonWriter& json, std::string_view command);

void WriteCertificateJson(JsonWriter& json, const CertificateFacts& facts);
void WriteEntryJson(JsonWriter& json, const EntryFacts& facts);

// "YYYY-MM-DDTHH:MM:SSZ", or null for a time that cannot be read.
void WriteTimeJson(JsonWriter& json, const std::optional<std::int64_t>& seconds);

}  // namespace kcertadm::cli
