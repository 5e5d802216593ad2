// Small helpers of the command handlers.
#pragma once

#include <cstdint>

#include "host/messages.h"
#include "kcertadm.h"

namespace kcertadm {

// A zero-filled certificate record released with FreeCertData at the end
// of its scope.
class CertRecord {
 public:
  CertRecord() = default;
  ~CertRecord() { FreeCertData(&data_); }
  CertRecord(const CertRecord&) = delete;
  CertRecord& operator=(const CertRecord&) = delete;

  CertData* get() { return &data_; }
  CertData& operator*() { return data_; }
  CertData* operator->() { return &data_; }

 private:
  CertData data_{};
};

}  // namespace kcertadm
