// The one guard of the C interface. Every exported function (exports.cc)
// runs its body through GuardExport, so that no exception ever crosses
// extern "C": a std::bad_alloc from a heap string deep inside becomes the
// export's failure result, after the message the host expects has been left
// where the export leaves its messages.
#pragma once

#include <cstdint>

#include "host/messages.h"

namespace kcertadm {

// body() when it returns; otherwise onException() (whose own exceptions are
// swallowed as well) and then `failed`.
template <typename Result, typename Body, typename OnException>
Result GuardExport(Result failed, Body&& body, OnException&& onException) noexcept {
  try {
    return body();
  } catch (...) {
  }
  try {
    onException();
  } catch (...) {
  }
  return failed;
}

// For the exports without a result.
template <typename Body>
void GuardExport(Body&& body) noexcept {
  try {
    body();
  } catch (...) {
  }
}

// The usual onException: 30070 (out of memory) in the host's message slot,
// when it gave one.
inline auto OutOfMemoryIn(std::uint32_t* slot) {
  return [slot] { FailWith(slot, kMsgOutOfMemory); };
}

// The same for the exports that report into the host's message buffer.
inline auto OutOfMemoryInBuffer(char* buffer, std::uint32_t size) {
  return [buffer, size] { ReportMessage(kMsgOutOfMemory, buffer, size); };
}

}  // namespace kcertadm
