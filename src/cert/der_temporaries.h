// Builder items that live for one building function.
#pragma once

#include <deque>

#include "asn1/asn1.h"

namespace kcertadm {

// Frees every listed builder item when it goes out of scope.
class DerTemporaries {
 public:
  DerTemporaries() = default;
  ~DerTemporaries() {
    for (Asn1Item& item : items_) DerFree(&item);
  }
  DerTemporaries(const DerTemporaries&) = delete;
  DerTemporaries& operator=(const DerTemporaries&) = delete;
  Asn1Item* New() {
    items_.emplace_back();
    return &items_.back();
  }

 private:
  std::deque<Asn1Item> items_;  // references stay valid as it grows
};

}  // namespace kcertadm
