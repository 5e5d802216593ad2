/*
 * kcertadm: key ring administration library, flat C interface.
 *
 * Every function declared here is exported from libkcertadm.so; nothing
 * else is visible. No C++ exception ever crosses this interface.
 */
#ifndef KCERTADM_H
#define KCERTADM_H

#include <stddef.h>
#include <stdint.h>

#if defined(KCERTADM_BUILDING)
#define KCERTADM_API __attribute__((visibility("default")))
#else
#define KCERTADM_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Encoded elements and Base64 ------------------------------------- */

/*
 * One encoded element or a view into one: a pointer and a signed 32-bit
 * length. Blocks that the library hands out in an Asn1Item are allocated
 * with malloc; the receiver releases them with free. Length 0 marks an
 * element that is not present.
 */
typedef struct Asn1Item {
  uint8_t* data;
  int32_t length;
} Asn1Item;

/*
 * Encodes count bytes as Base64 on a single line. On success the out item
 * receives a new NUL-terminated block holding the text and its length
 * (without the NUL), and the text length is returned. A null pointer, a
 * count below 1 or a failed allocation returns 0 and leaves out untouched.
 */
KCERTADM_API int32_t Base64Encode(const uint8_t* bytes, int32_t count, Asn1Item* out);

/*
 * Decodes length characters of Base64 text; space, tab, CR and LF are
 * skipped anywhere. Returns the number of octets decoded, with a new block
 * holding them in the out item. Any error (a character outside the
 * alphabet, padding in the first two places of a group, text that ends
 * inside a group) returns 0 and leaves out untouched; so does text that
 * decodes to nothing.
 */
KCERTADM_API int32_t Base64Decode(const char* text, int32_t length, Asn1Item* out);

#ifdef __cplusplus
}
#endif

#endif /* KCERTADM_H */
