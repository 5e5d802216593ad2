/* The certificate part of the C interface compiles as C99 and links against
 * the shared library. (The record layouts are asserted where they are
 * defined.) */
#include <stdio.h>
#include <string.h>

#include "kcertadm.h"

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
