#include "cert/dn.h"

#include <cstdlib>
#include <cstring>

#include "asn1/asn1.h"
#include "asn1/oids.h"
#include "cert/string_convert.h"
#include "host/host_text.h"
#include "host/messages.h"

namespace kcertadm {

const DnAttributeRow DnAttributeTable[DN_SLOT_COUNT] = {
    {kDnAsciiOnly, 2, 2, false},  // Country
    {kDnAnyText, 3, 128, false},  // State or province
    {kDnAnyText, 1, 128, false},  // Locality
    {kDnAnyText, 1, 64, false},   // Organization
    {kDnAnyText, 1, 64, false},   // Organizational unit
    {kDnAnyText, 1, 64, true},    // Common name
    {kDnAnyText, 1, 64, false},   // E-mail
    {kDnAnyText, 1, 64, false},   // Second organizational unit
    {kDnAnyText, 1, 64, false},   // Third organizational unit
};

const std::uint8_t DnAttributeNumber[DN_SLOT_COUNT] = {6, 8, 7, 10, 11, 3, 0, 11, 11};

namespace {

bool IsNameStringTag(std::uint32_t tag) {
  return tag == kAsn1Utf8String || tag == kAsn1PrintableString || tag == kAsn1T61String ||
         tag == kAsn1Ia5String || tag == kAsn1BmpString;
}

// The slot a three-octet X.520 attribute fills, or -1 when it is ignored.
int X520Slot(std::uint8_t number, const DnFields& fields) {
  switch (number) {
    case 3:
      return DN_COMMON_NAME;
    case 6:
      return DN_COUNTRY;
    case 7:
      return DN_LOCALITY;
    case 8:
      return DN_STATE;
    case 10:
      return DN_ORGANIZATION;
    case 11:
      if (fields.slot[DN_ORG_UNIT].value == nullptr) return DN_ORG_UNIT;
      if (fields.slot[DN_ORG_UNIT2].value == nullptr) return DN_ORG_UNIT2;
      if (fields.slot[DN_ORG_UNIT3].value == nullptr) return DN_ORG_UNIT3;
      return -1;  // a fourth organizational unit has no slot
    default:
      return -1;
  }
}

// One AttributeTypeAndValue: content of its SEQUENCE. False fails the Name.
bool ParseAttribute(DnFields* fields, Asn1Item attribute) {
  Asn1Item view = attribute;
  const std::int32_t oidLength = Asn1ExpectTag(kAsn1ObjectId, &view, nullptr);
  if (oidLength < 0) return false;
  const Asn1Item oid{view.data, oidLength};
  if (oidLength != 3 && oidLength != 9) return true;  // skipped with its value
  view.data += oidLength;
  view.length -= oidLength;
  if (view.length < 1 || !IsNameStringTag(view.data[0])) return false;
  std::int32_t valueLength = 0;
  std::int32_t total = 0;
  if (Asn1ReadHeader(view, &valueLength, &total) < 0 || total != view.length) return false;
  Asn1Item value = view;
  if (Asn1Enter(&value) < 0) return false;

  int slot = -1;
  if (oidLength == 3) {
    // Only the X.520 attribute types (2.5.4.n) have slots.
    if (const auto number = oid::X520AttributeNumber(Asn1Bytes(oid)))
      slot = X520Slot(*number, *fields);
  } else {
    if (std::memcmp(oid.data, oid::bytes::kPkcs9, sizeof oid::bytes::kPkcs9) != 0) return false;
    if (der::Equal(Asn1Bytes(oid), oid::bytes::kEmailAddress)) slot = DN_EMAIL;
  }
  if (slot >= 0) {
    fields->slot[slot] = DnField{value.data, value.length, static_cast<std::int32_t>(view.data[0])};
  }
  return true;
}

// The content of one SET: its SEQUENCEs, each an attribute.
bool ParseRdn(DnFields* fields, Asn1Item set) {
  while (set.length > 0) {
    std::int32_t total = 0;
    const std::int32_t length = Asn1ExpectTag(kAsn1Sequence, &set, &total);
    if (length < 0) return false;
    if (!ParseAttribute(fields, Asn1Item{set.data, length})) return false;
    set.data += length;
    set.length -= length;
  }
  return true;
}

bool ParseName(DnFields* fields, const Asn1Item& name) {
  if (name.data == nullptr || name.length < 2 || name.data[0] != kAsn1Sequence) return false;
  std::int32_t total = 0;
  if (Asn1ReadHeader(name, nullptr, &total) < 0 || total != name.length) return false;
  Asn1Item rest = name;
  if (Asn1Enter(&rest) <= 0) return false;  // a Name with no RDN is refused
  while (rest.length > 0) {
    const std::int32_t length = Asn1ExpectTag(kAsn1Set, &rest, &total);
    if (length <= 0) return false;
    if (!ParseRdn(fields, Asn1Item{rest.data, length})) return false;
    rest.data += length;
    rest.length -= length;
  }
  return true;
}

bool IsPrintableChar(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  return std::strchr(" '()+,-./:=?", c) != nullptr && c != '\0';
}

bool AllOf(const char* text, std::size_t length, bool (*test)(unsigned char)) {
  for (std::size_t i = 0; i < length; ++i) {
    if (!test(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}

bool IsIa5Char(unsigned char c) { return c >= 0x20 && c <= 0x7F; }

// The element at region.data and its total size; 0 when its header cannot
// be read within the region.
std::int32_t ElementSize(const Asn1Item& region) {
  std::int32_t total = 0;
  return Asn1ReadHeader(region, nullptr, &total) < 0 ? 0 : total;
}

// Moves region past n octets and returns them as an item.
Asn1Item TakeOctets(Asn1Item* region, std::int32_t n) {
  const Asn1Item taken{region->data, n};
  region->data += n;
  region->length -= n;
  return taken;
}

// One member of an RDN: SEQUENCE { OID, value } with exactly one value.
NameAttribute ReadMember(const Asn1Item& member) {
  Asn1Item view = member;
  const std::int32_t content = Asn1ExpectTag(kAsn1Sequence, &view, nullptr);
  if (content < 0) return NameAttribute{{}, member};
  view.length = content;
  const std::int32_t oidLength = Asn1ExpectTag(kAsn1ObjectId, &view, nullptr);
  if (oidLength < 0) return NameAttribute{{}, member};
  const Asn1Item oid = TakeOctets(&view, oidLength);
  const std::int32_t valueSize = ElementSize(view);
  if (valueSize == 0 || valueSize != view.length) return NameAttribute{{}, member};
  return NameAttribute{oid, view};
}

// The members of one RDN (the content of its SET).
void ReadRdnMembers(Asn1Item set, std::vector<NameAttribute>* out) {
  while (set.length > 0) {
    const std::int32_t size = ElementSize(set);
    if (size == 0) {
      out->push_back(NameAttribute{{}, set});
      return;
    }
    out->push_back(ReadMember(TakeOctets(&set, size)));
  }
}

}  // namespace

std::vector<NameAttribute> ListNameAttributes(const Asn1Item& name) {
  std::vector<NameAttribute> attributes;
  if (name.data == nullptr || name.length <= 0) return attributes;
  Asn1Item rest = name;
  const std::int32_t contentLength = Asn1ExpectTag(kAsn1Sequence, &rest, nullptr);
  if (contentLength < 0) {
    attributes.push_back(NameAttribute{{}, name});
    return attributes;
  }
  rest.length = contentLength;
  while (rest.length > 0) {
    const std::int32_t size = ElementSize(rest);
    if (size == 0) {
      attributes.push_back(NameAttribute{{}, rest});
      break;
    }
    Asn1Item rdn = TakeOctets(&rest, size);
    Asn1Item content = rdn;
    const std::int32_t setLength = Asn1ExpectTag(kAsn1Set, &content, nullptr);
    if (setLength < 0) {
      attributes.push_back(NameAttribute{{}, rdn});
      continue;
    }
    content.length = setLength;
    ReadRdnMembers(content, &attributes);
  }
  return attributes;
}

int ChooseStringType(const char* text, DnValue* value, const DnAttributeRow& row,
                     int international) {
  const std::size_t length = HostStringLength(text);
  if (length < static_cast<std::size_t>(row.minLength) ||
      length > static_cast<std::size_t>(row.maxLength)) {
    return 0;
  }
  auto* bytes = reinterpret_cast<std::uint8_t*>(const_cast<char*>(text));
  if (AllOf(text, length, IsPrintableChar)) {
    *value = DnValue{bytes, static_cast<std::int32_t>(length), kAsn1PrintableString, 0};
    return 1;
  }
  if (AllOf(text, length, IsIa5Char)) {
    *value = DnValue{bytes, static_cast<std::int32_t>(length), kAsn1Ia5String, 0};
    return 1;
  }
  if (row.allowedSource != kDnAnyText || !international) return 0;
  ConvertIntlString(text, length, value);
  return value->bytes != nullptr ? 1 : 0;  // a failed allocation must not drop the value
}

int BuildSubjectName(const char* const strings[DN_SLOT_COUNT], DnValue values[DN_SLOT_COUNT],
                     int international, std::uint32_t* error) {
  for (int slot = 0; slot < DN_SLOT_COUNT; ++slot) {
    values[slot] = DnValue{};
    const char* text = strings[slot];
    const bool fits = text != nullptr ? ChooseStringType(text, &values[slot],
                                                         DnAttributeTable[slot], international) == 1
                                      : !DnAttributeTable[slot].required;
    if (!fits) {
      if (error != nullptr) *error = kMsgBadSubjectName;
      return 0;
    }
  }
  return 1;
}

int BuildRdn(Asn1Item* out, const std::uint8_t* oid, std::int32_t oidLength, const DnValue& value) {
  *out = Asn1Item{};
  Asn1Item oidElement{};
  Asn1Item valueElement{};
  Asn1Item attribute{};
  int status = DerPrimitive(&oidElement, kAsn1ObjectId, oid, oidLength);
  if (status == 0) status = DerPrimitive(&valueElement, value.stringTag, value.bytes, value.length);
  if (status == 0)
    status = DerConstructed(&attribute, kDerSequenceNumber, &oidElement, &valueElement);
  if (status == 0) status = DerWrap(out, kAsn1Set, attribute);
  DerFree(&oidElement);
  DerFree(&valueElement);
  DerFree(&attribute);
  return status == 0 ? 0 : -1;
}

int EncodeName(Asn1Item* out, const DnValue values[DN_SLOT_COUNT]) {
  Asn1Item rdns[DN_SLOT_COUNT] = {};
  int status = 0;
  for (int slot = 0; slot < DN_SLOT_COUNT && status == 0; ++slot) {
    if (values[slot].bytes == nullptr) continue;
    std::uint8_t x520[] = {oid::bytes::kX520Attribute[0], oid::bytes::kX520Attribute[1],
                           DnAttributeNumber[slot]};
    status = slot == DN_EMAIL ? BuildRdn(&rdns[slot], oid::bytes::kEmailAddress,
                                         sizeof oid::bytes::kEmailAddress, values[slot])
                              : BuildRdn(&rdns[slot], x520, sizeof x520, values[slot]);
  }
  if (status == 0) {
    const Asn1Item* list[DN_SLOT_COUNT];
    for (int slot = 0; slot < DN_SLOT_COUNT; ++slot) list[slot] = &rdns[slot];
    status = DerConstructedList(out, kDerSequenceNumber, list, DN_SLOT_COUNT);
  } else {
    *out = Asn1Item{};
  }
  DerFreeItems(rdns);
  return status == 0 ? 0 : -1;
}

void FreeDnValues(DnValue values[DN_SLOT_COUNT]) {
  for (int slot = 0; slot < DN_SLOT_COUNT; ++slot) {
    if (values[slot].owned == 1) std::free(values[slot].bytes);
    values[slot] = DnValue{};
  }
}

}  // namespace kcertadm

std::int32_t kcertadm::ParseNameSequence(DnFields* fields, Asn1Item name, std::uint32_t* error) {
  if (fields != nullptr && kcertadm::ParseName(fields, name)) return 0;
  if (error != nullptr) *error = kcertadm::kMsgBadCertificate;
  return -1;
}
