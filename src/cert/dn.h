// Distinguished names as nine fixed attribute slots: reading a Name into
// the slots and building a Name from host text.
#pragma once

#include <cstdint>
#include <vector>

#include "kcertadm.h"

namespace kcertadm {

// Allowed source text of a slot: ASCII only, or any text (converted to the
// configured international string type when it is not ASCII).
inline constexpr std::int32_t kDnAsciiOnly = 0x13;
inline constexpr std::int32_t kDnAnyText = 0x100;

struct DnAttributeRow {
  std::int32_t allowedSource;
  std::int32_t minLength;  // octets of host text
  std::int32_t maxLength;
  bool required;
};

extern const DnAttributeRow DnAttributeTable[DN_SLOT_COUNT];

// X.520 attribute number of each slot, appended to 55 04; 0 for the e-mail
// slot, which uses the pkcs-9 OID.
extern const std::uint8_t DnAttributeNumber[DN_SLOT_COUNT];

// Fills values from the nine strings in slot order (null: not given). With
// international set, values that are not ASCII are converted for slots that
// allow any text; without it, such values do not fit. Returns 1, or 0 with
// message 30061 (values may then hold converted blocks of earlier slots;
// release them with FreeDnValues).
int BuildSubjectName(const char* const strings[DN_SLOT_COUNT], DnValue values[DN_SLOT_COUNT],
                     int international, std::uint32_t* error);

// Chooses the string type of one value for its row: PrintableString, else
// IA5String, else (for rows that allow any text) the international type.
// Returns 1 when the value fits the row, else 0.
int ChooseStringType(const char* text, DnValue* value, const DnAttributeRow& row,
                     int international = 1);

// One relative distinguished name: SET { SEQUENCE { OID, value } }.
int BuildRdn(Asn1Item* out, const std::uint8_t* oid, std::int32_t oidLength, const DnValue& value);

// The DER Name of every slot whose bytes is set, in slot order, each its own
// single-valued RDN. 0, or -1 when an element could not be built.
int EncodeName(Asn1Item* out, const DnValue values[DN_SLOT_COUNT]);

// One attribute of a Name as it stands, for showing every attribute: the
// OID's content octets and the value element (tag, length and content).
// A part of the Name that cannot be read as attributes is kept whole with
// no OID.
struct NameAttribute {
  Asn1Item oid{};
  Asn1Item value{};
};

// Every attribute of a Name element, in the order of its RDNs and of their
// members; unlike ParseDNSeq it refuses nothing. An empty Name or RDN gives
// no attribute. Each part that does not have the shape
// SET { SEQUENCE { OID, value } } (a member with no value, or more than one
// element after its OID, a SET whose member is not such a SEQUENCE, a child
// of the Name that is not a SET) becomes one attribute without OID; a header
// that cannot be read ends the walk with one attribute for the rest.
std::vector<NameAttribute> ListNameAttributes(const Asn1Item& name);

// Frees the bytes of every owned value and clears the entries.
void FreeDnValues(DnValue values[DN_SLOT_COUNT]);

// The exported ParseDNSeq (kcertadm.h says what it does).
std::int32_t ParseNameSequence(DnFields* fields, Asn1Item name, std::uint32_t* error);

}  // namespace kcertadm
