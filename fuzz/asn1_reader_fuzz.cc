// Drives every reader operation over arbitrary bytes. Besides the
// sanitizers, it checks that every item the reader hands out lies inside
// the input and that elements rebuilt by the builder read back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "asn1/asn1.h"

using namespace kcertadm;

namespace {

const std::uint8_t* gBegin;
const std::uint8_t* gEnd;

void CheckInside(const Asn1Item& item) {
  if (item.length == 0) return;
  if (item.length < 0 || item.data < gBegin || item.data + item.length > gEnd) std::abort();
}

// Walks the element tree with cursors; the walk's own depth is bounded so
// the harness does not run out of stack on deeply nested definite input.
void Walk(const Asn1Item& content, std::uint32_t tag, int depth) {
  if (depth > 200) return;
  Asn1Cursor cursor;
  std::int32_t step = Asn1FirstChild(content, tag, &cursor);
  while (step > 0) {
    const Asn1Item child = Asn1CursorItem(cursor);
    CheckInside(child);
    Walk(child, cursor.tag, depth + 1);
    step = Asn1NextChild(&cursor);
  }
}

// An element read from the input and rebuilt from its tag and content must
// read back to the same content (indefinite input becomes definite).
void CheckRebuild(const Asn1Item& element) {
  std::int32_t content = 0, total = 0;
  const std::int32_t header = Asn1ReadHeader(element, &content, &total);
  if (header < 0) return;
  if (total > element.length || header + content > total) std::abort();
  Asn1Item rebuilt{};
  if (DerPrimitive(&rebuilt, element.data[0], element.data + header, content) != 0) return;
  std::int32_t content2 = 0, total2 = 0;
  const std::int32_t header2 = Asn1ReadHeader(rebuilt, &content2, &total2);
  if (header2 != DerHeaderSize(content) || content2 != content || total2 != rebuilt.length) {
    // Only an indefinite original may differ in its header.
    if (element.data[1] != 0x80) std::abort();
  }
  DerFree(&rebuilt);
}

void Templates(const Asn1Item& input) {
  Asn1Item items[10] = {};
  // A signed structure, then a certificate's to-be-signed part.
  const Asn1TemplateEntry kSigned[] = {{0x30, &items[0]}, {0x30, &items[1]}, {0x03, &items[2]}};
  if (Asn1DecodeTemplate(kSigned, 3, input, 0) == 0) {
    for (int i = 0; i < 3; ++i) CheckInside(items[i]);
    Asn1Item bits = items[2];
    if (Asn1UnwrapBitString(&bits) == 0) CheckInside(bits);
    Asn1Item tbs[10] = {};
    const Asn1TemplateEntry kTbs[] = {{0xA0 | ASN1_OPTIONAL, &tbs[0]},
                                      {0x02, &tbs[1]},
                                      {0x30, &tbs[2]},
                                      {0x30, &tbs[3]},
                                      {0x30, &tbs[4]},
                                      {0x30, &tbs[5]},
                                      {0x30, &tbs[6]},
                                      {0xA1 | ASN1_OPTIONAL, &tbs[7]},
                                      {0xA2 | ASN1_OPTIONAL, &tbs[8]},
                                      {0xA3 | ASN1_OPTIONAL, &tbs[9]}};
    if (Asn1DecodeTemplate(kTbs, 10, items[0], 0) == 0) {
      for (const Asn1Item& item : tbs) CheckInside(item);
      Asn1Item times[2] = {};
      const Asn1TemplateEntry kValidity[] = {{0x17, &times[0]}, {0x17, &times[1]}};
      if (Asn1DecodeTemplate(kValidity, 2, tbs[4], 0) == 0) {
        CheckInside(times[0]);
        CheckInside(times[1]);
      }
    }
  }
  Asn1Item content = input;
  if (Asn1Enter(&content) >= 0) {
    CheckInside(content);
    const Asn1TemplateEntry kContentInfo[] = {{0x06, &items[3]},
                                              {0xA0 | ASN1_OPTIONAL, &items[4]},
                                              {ASN1_ANY | ASN1_OPTIONAL, &items[5]}};
    if (Asn1DecodeTemplate(kContentInfo, 3, content, 1) == 0) {
      CheckInside(items[3]);
      CheckInside(items[4]);
      Asn1SmallInteger(items[3]);
    }
    Asn1Item* parts = nullptr;
    if (Asn1SplitSequences(content, &parts) == 0) {
      for (Asn1Item* p = parts; p->data != nullptr; ++p) CheckInside(*p);
      Asn1FreeSplit(parts);
    }
  }
}

void Moving(const Asn1Item& input) {
  Asn1Item source = input;
  Asn1Item out{};
  int guard = 0;
  while (Asn1NextTagged(&source, &out, ASN1_ANY) == 1 && ++guard < 1000) {
    CheckInside(out);
    CheckInside(source);
  }
  Asn1Item view = input;
  std::uint32_t tag = 0;
  std::int32_t total = 0;
  while (Asn1ReadTag(&tag, &view, &total) >= 0 && ++guard < 2000) CheckInside(view);
  view = input;
  static const std::uint8_t kOid[] = {0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D};
  Asn1MatchBytes(&view, kOid, sizeof kOid);
  CheckInside(view);
  Asn1Item peek = input;
  if (Asn1PeekTag(0x30, &peek, 1) == 1) CheckInside(peek);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  gBegin = data;
  gEnd = data + size;
  const Asn1Item input = Asn1View(data, size);
  CheckRebuild(input);
  Asn1Item content = input;
  if (input.length > 0 && Asn1Enter(&content) >= 0) {
    CheckInside(content);
    Walk(content, input.data[0], 0);
  }
  Walk(input, 0x30, 0);  // the input as a children region
  Templates(input);
  Moving(input);
  return 0;
}
