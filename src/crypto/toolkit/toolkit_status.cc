#include "crypto/toolkit/toolkit_status.h"

namespace kcertadm {

int MapImplementationCode(int code) {
  switch (code) {
    case kImplOk:
      return TkOk;
    case kImplCancelled:
      return TkErrCancelled;
    case kImplCode3:
      return TkErrImplementation3;
    case kImplCode4:
      return TkErrExponentTooLong;
    case kImplBadData:
      return TkErrBadData;
    case kImplInputTooLong:
      return TkErrInputTooLong;
    case kImplBadModulusSize:
      return TkErrBadModulusSize;
    case kImplNotFound:
      return TkErrNotFound;
    case kImplOutputTooSmall:
      return TkErrOutputTooSmall;
    case kImplCode11:
      return TkErrImplementation11;
    case kImplBadKeyLength:
      return TkErrBadKeyLength;
    case kImplCode13:
      return TkErrImplementation13;
    case kImplBadParameter:
      return TkErrBadParameter;
    case kImplNoMemory:
      return TkErrNoMemory;
    default:
      return TkErrInternal;
  }
}

int MapBigNumCode(int code) {
  if (code == 256) return kImplNoMemory;
  if ((code >= 257 && code <= 262) || (code >= 264 && code <= 267)) return kImplBadData;
  if (code == 263) return kImplBadModulusSize;
  if (code == 268) return kImplOutputTooSmall;
  return code;
}

}  // namespace kcertadm
