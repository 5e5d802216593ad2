/* The certificate part of the C interface compiles as C99 and links against
 * the shared library; its records keep their field order, pointers of
 * natural size and 32-bit words. */
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "kcertadm.h"

#define CHECK(name, cond) typedef char check_##name[(cond) ? 1 : -1]
#define ITEM sizeof(Asn1Item)

CHECK(item, ITEM == (sizeof(void*) == 8 ? 16 : 8));
CHECK(dn_field, sizeof(DnField) == sizeof(void*) + 8);
CHECK(dn_fields, sizeof(DnFields) == 9 * sizeof(DnField));
CHECK(dn_value, offsetof(DnValue, owned) == sizeof(void*) + 8);
CHECK(cert_der, offsetof(CertData, der) == sizeof(void*));
CHECK(cert_container, offsetof(CertData, container) == sizeof(void*) + 6 * ITEM);
CHECK(cert_remaining, offsetof(CertData, setRemaining) == sizeof(void*) + 7 * ITEM);
CHECK(cert_subject, offsetof(CertData, subjectDer) == 8 * ITEM);
CHECK(cert_proc_type, offsetof(CertData, procTypeLine) == 11 * ITEM);
CHECK(cert_self_signed, offsetof(CertData, isSelfSigned) == sizeof(void*) + 11 * ITEM);
CHECK(fields_count, sizeof(CertFields) == 14 * ITEM);
CHECK(fields_not_after, offsetof(CertFields, notAfter) == 12 * ITEM);

int main(void) {
  static const uint8_t bmp[] = {0x00, 0x41, 0x00, 0x42};
  char out[8];
  CertData cert;
  CertFields fields;
  DnFields names;
  uint32_t error = 0;
  char start[20];
  char end[20];
  Asn1Item empty = {NULL, 0};

  if (BMPToHCSET(bmp, 4, out, sizeof out) != 2 || strcmp(out, "AB") != 0) return 1;
  if (T61ToHCSET(bmp + 1, 1, out, sizeof out) != 1) return 2;
  memset(&cert, 0, sizeof cert);
  if (ParseCert(&cert, &fields, &error) == 0 || error != 30046) return 3;
  memset(&names, 0, sizeof names);
  if (ParseDNSeq(&names, empty, &error) == 0) return 4;
  memset(&fields, 0, sizeof fields);
  if (GetTextDates(&fields, start, end, &error) == 0) return 5;
  FreeCertData(&cert);
  puts("ok");
  return 0;
}
