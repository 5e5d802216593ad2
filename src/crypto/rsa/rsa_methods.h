// The RSA entries of KeyRingMethods and the block operation that the PKCS #1
// cipher handler and the signature handlers bind through them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/rsa/rsa.h"
#include "crypto/toolkit/toolkit.h"

namespace kcertadm {

// What the RSA method entries point to: which of the two operations.
class RsaImplementation final : public MethodImplementation {
 public:
  explicit constexpr RsaImplementation(bool private_key) : private_key_(private_key) {}
  bool private_key() const { return private_key_; }

 private:
  bool private_key_;
};

extern const AlgorithmMethod kRsaKeyGenMethod;
extern const AlgorithmMethod kRsaPublicEncryptMethod;
extern const AlgorithmMethod kRsaPublicDecryptMethod;
extern const AlgorithmMethod kRsaPrivateEncryptMethod;
extern const AlgorithmMethod kRsaPrivateDecryptMethod;

// One raw RSA operation bound from a method entry and its key record (a
// RsaPublicKeyRecord for the public entries, a RsaCrtRecord for the private
// ones). The key material is copied, so the key object may go before this.
class RsaBlockOperation {
 public:
  int Bind(const AlgorithmMethod& method, const void* key_record);
  bool bound() const { return bound_; }
  bool private_key() const { return private_key_; }
  std::size_t k() const { return private_key_ ? private_.ModulusBytes() : public_.ModulusBytes(); }
  // The operation on exactly k() bytes (toolkit statuses).
  int Apply(const std::uint8_t* in, std::size_t in_size, std::uint8_t* out, std::size_t out_size,
            const ProgressCallback* progress) const;

 private:
  bool bound_ = false;
  bool private_key_ = false;
  RsaPublicKeyOp public_;
  RsaPrivateKeyOp private_;
};

}  // namespace kcertadm
