// Small helpers of the command handlers.
#pragma once

#include <cstdint>

#include "host/messages.h"
#include "kcertadm.h"

namespace kcertadm {

struct KeyObject;

// Destroys a toolkit key object under ToolkitLock; null is fine.
void ReleaseKeyObject(KeyObject*& key);

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

// Holds a toolkit key object and destroys it at the end of its scope.
class KeyHolder {
 public:
  KeyHolder() = default;
  explicit KeyHolder(KeyObject* key) : key_(key) {}
  ~KeyHolder() { ReleaseKeyObject(key_); }
  KeyHolder(const KeyHolder&) = delete;
  KeyHolder& operator=(const KeyHolder&) = delete;

  KeyObject* get() const { return key_; }
  KeyObject** out() { return &key_; }

 private:
  KeyObject* key_ = nullptr;
};

}  // namespace kcertadm
