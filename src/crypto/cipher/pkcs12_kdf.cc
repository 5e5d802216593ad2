#include "crypto/cipher/pkcs12_kdf.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "base/secure_memory.h"

namespace kcertadm {
namespace {

// The digests the derivation runs on, with their input block size v (the
// digest's own length u comes from its implementation). SHA-384/512
// (v = 128) would join here with one row each.
struct DigestBlockSize {
  AlgInfoAccessor digest;
  std::uint32_t block_size;
};
constexpr DigestBlockSize kDigestBlockSizes[] = {{AlgInfoSha1, 64}, {AlgInfoSha256, 64}};

std::uint32_t BlockSizeOf(const AlgorithmInfoType* digest) {
  for (const auto& row : kDigestBlockSizes)
    if (row.digest() == digest) return row.block_size;
  return 0;
}

// `source` repeated to fill v * ceil(length / v) bytes (nothing when empty).
void AppendRepeated(SecureBytes& out, const ByteItem& source, std::uint32_t v) {
  if (source.length == 0) return;
  const std::size_t total = (std::size_t{source.length} + v - 1) / v * v;
  for (std::size_t i = 0; i < total; ++i) out.push_back(source.data[i % source.length]);
}

// I_j = (I_j + B + 1) mod 2^(8v) for every v-byte block I_j, big-endian.
void AddToEveryBlock(SecureBytes& input, const SecureBytes& b, std::uint32_t v) {
  for (std::size_t start = 0; start < input.size(); start += v) {
    unsigned carry = 1;
    for (std::size_t i = v; i-- > 0;) {
      carry += input[start + i] + b[i];
      input[start + i] = static_cast<std::uint8_t>(carry);
      carry >>= 8;
    }
  }
}

class Derivation {
 public:
  Derivation(const DigestImplementation& digest, const Pkcs12KdfInput& input, std::uint32_t v)
      : digest_(digest), input_(input), v_(v), u_(digest.DigestSize()) {}

  int Run(std::uint8_t* out, std::uint32_t length) {
    context_.resize(digest_.ContextSize());
    a_.resize(u_);
    b_.resize(v_);
    const SecureBytes d(v_, static_cast<std::uint8_t>(input_.purpose));
    AppendRepeated(i_, input_.salt, v_);
    AppendRepeated(i_, input_.password, v_);
    for (std::uint32_t done = 0; done < length;) {
      HashIterated(d);
      const std::uint32_t take = std::min(u_, length - done);
      std::memcpy(out + done, a_.data(), take);
      done += take;
      if (done == length) break;
      for (std::uint32_t i = 0; i < v_; ++i) b_[i] = a_[i % u_];
      AddToEveryBlock(i_, b_, v_);
    }
    return TkOk;
  }

 private:
  // A = H^r(D || I).
  void HashIterated(const SecureBytes& d) {
    void* context = context_.data();
    digest_.Init(context);
    digest_.Update(context, d.data(), d.size());
    digest_.Update(context, i_.data(), i_.size());
    digest_.Final(context, a_.data());
    for (std::uint32_t round = 1; round < input_.iterations; ++round) {
      digest_.Update(context, a_.data(), u_);
      digest_.Final(context, a_.data());
    }
  }

  const DigestImplementation& digest_;
  const Pkcs12KdfInput& input_;
  const std::uint32_t v_, u_;
  SecureBytes context_, a_, b_, i_;
};

}  // namespace

int Pkcs12DeriveKey(const Pkcs12KdfInput& input, MethodList methods, std::uint8_t* out,
                    std::uint32_t length) {
  const std::uint32_t v = BlockSizeOf(input.digest);
  if (v == 0) return TkErrNoMethod;
  if (input.iterations == 0) return TkErrBadData;
  if ((out == nullptr && length > 0) ||
      (input.password.data == nullptr && input.password.length > 0) ||
      (input.salt.data == nullptr && input.salt.length > 0))
    return TkErrBadParameter;
  const DigestImplementation* digest = nullptr;
  const int status = LookupMethod(
      methods, input.digest, 0, nullptr, [&](const AlgorithmMethod& method, const void*) {
        digest = dynamic_cast<const DigestImplementation*>(method.implementation);
        return digest != nullptr && digest->DigestSize() <= v ? TkOk : TkErrInternal;
      });
  if (status != TkOk) return status;
  try {
    return Derivation(*digest, input, v).Run(out, length);
  } catch (const std::bad_alloc&) {
    return TkErrNoMemory;
  }
}

}  // namespace kcertadm
