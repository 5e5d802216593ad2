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

#ifdef __cplusplus
}
#endif

#endif /* KCERTADM_H */
