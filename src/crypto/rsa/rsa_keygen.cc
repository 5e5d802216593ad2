#include "crypto/rsa/rsa_keygen.h"

#include <utility>

#include "crypto/bignum/bignum_ct.h"
#include "crypto/bignum/montgomery.h"
#include "crypto/rsa/rsa_prime.h"

namespace kcertadm {
namespace {

// Puts the larger prime first. Primes of as many limbs are compared by the
// borrow of a full-length subtraction and swapped under a mask, so neither
// the order nor where the primes first differ shows in the time; only
// equality (which ends the attempt) is told. Returns false for equal primes.
bool OrderPrimes(BigNum* larger, BigNum* smaller) {
  const std::size_t n = larger->limbs().size();
  if (n != smaller->limbs().size()) {  // lengths are public
    if (n < smaller->limbs().size()) std::swap(*larger, *smaller);
    return true;
  }
  LimbVector a(larger->limbs()), b(smaller->limbs()), diff(n), swapped(n);
  const Limb swap = Limb{0} - LimbsSub(diff.data(), a.data(), b.data(), n);
  Limb differ = 0;
  for (Limb d : diff) differ |= d;
  LimbsSelect(swapped.data(), swap, b.data(), a.data(), n);
  LimbsSelect(b.data(), swap, a.data(), b.data(), n);
  *larger = BigNum::FromLimbs(swapped.data(), n);
  *smaller = BigNum::FromLimbs(b.data(), n);
  return differ != 0;
}

}  // namespace

int CheckRsaKeyGenParameters(std::uint32_t bits, const BigNum& e) {
  if (bits < kRsaMinKeyGenBits || bits > kRsaMaxBits) return kRsaKeyGenBadModulusSize;
  if (e.BitLength() >= bits) return kRsaKeyGenExponentTooLong;
  if (!e.IsOdd() || e.Compare(BigNum(3)) < 0) return kRsaKeyGenBadParameter;
  return kRsaKeyGenOk;
}

int GenerateRsaKeyAttempt(std::uint32_t bits, const BigNum& e, const std::uint8_t* random,
                          RsaKeyMaterial* key) {
  const std::size_t p_bits = (bits + 1) / 2;
  const std::size_t q_bits = bits - p_bits;
  const std::size_t q_offset = ((p_bits / 8) & ~std::size_t{1}) + 2;

  RsaKeyMaterial k;
  int code = FindPrime(random, p_bits, e, &k.prime1);
  if (code != kBigNumOk) return code;
  code = FindPrime(random + q_offset, q_bits, e, &k.prime2);
  if (code != kBigNumOk) return code;
  if (!OrderPrimes(&k.prime1, &k.prime2)) return kNoPrimeFound;  // no key from equal primes

  BigNum p1 = k.prime1, q1 = k.prime2;
  p1.SubSmall(1);
  q1.SubSmall(1);
  BigNum phi = BigNum::Mul(p1, q1);
  k.modulus = BigNum::Mul(k.prime1, k.prime2);
  k.public_exponent = e;
  // The private values by constant-time inversions: d mod (p - 1) is the
  // inverse of e modulo p - 1, and so on.
  if (ConstTimeInverseOfOdd(e, phi, &k.private_exponent) != kBigNumOk ||
      ConstTimeInverseOfOdd(e, p1, &k.exponent1) != kBigNumOk ||
      ConstTimeInverseOfOdd(e, q1, &k.exponent2) != kBigNumOk ||
      ConstTimeModInverse(k.prime2, k.prime1, &k.coefficient) != kBigNumOk)
    return kNoPrimeFound;
  p1.Wipe();
  q1.Wipe();
  phi.Wipe();
  *key = std::move(k);
  return kRsaKeyGenOk;
}

int GenerateRsaKey(std::uint32_t bits, const BigNum& e, const RandomFill& random,
                   const CancelCheck& cancel, RsaKeyMaterial* key) {
  int code = CheckRsaKeyGenParameters(bits, e);
  if (code != kRsaKeyGenOk) return code;
  SecureBytes bytes(RsaKeyGenRandomBytes(bits));
  for (;;) {
    code = random(bytes.data(), bytes.size());
    if (code != 0) return code;
    code = GenerateRsaKeyAttempt(bits, e, bytes.data(), key);
    if (code == kNoPrimeFound) continue;
    if (code != kRsaKeyGenOk) return code;
    if (cancel && cancel()) {
      key->Wipe();
      return kRsaKeyGenCancelled;
    }
    return kRsaKeyGenOk;
  }
}

}  // namespace kcertadm
