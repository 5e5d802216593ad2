// The exponentiations, written once over a "field": the Montgomery form of
// one kernel (64-bit limbs, or IFMA digits) with its products, entry and
// exit.
#include <algorithm>

#include "crypto/bignum/montgomery.h"
#include "crypto/bignum/montgomery_ifma.h"

namespace kcertadm {

class LimbField {
 public:
  explicit LimbField(const MontgomeryContext& c) : c_(c) {}
  std::size_t words() const { return c_.size_; }
  void Enter(Limb* out, const Limb* plain) const { c_.ToMont(out, plain); }
  void Leave(Limb* plain, const Limb* in) const { c_.FromMont(plain, in); }
  void One(Limb* out) const { std::copy_n(c_.one_.data(), c_.size_, out); }
  void Mul(Limb* r, const Limb* a, const Limb* b) const { c_.Mul(r, a, b); }
  void Sqr(Limb* r, const Limb* a) const { c_.Sqr(r, a); }
  // plain = Leave(acc * base): a product by the plain base leaves the form.
  void MulLeave(Limb* plain, const Limb* acc, const Limb*, const Limb* base) const {
    c_.Mul(plain, acc, base);
  }
  void Select(Limb* sel, const Limb* table, std::size_t entries, Limb index) const;

 private:
  const MontgomeryContext& c_;
};

class IfmaField {
 public:
  explicit IfmaField(const MontgomeryContext& c) : c_(c), words_(ifma::Words(c.digits_)) {}
  std::size_t words() const { return words_; }
  void Enter(Limb* out, const Limb* plain) const {
    LimbVector digits(words_);
    ifma::ToDigits(digits.data(), words_, plain, c_.size_);
    Mul(out, digits.data(), c_.rr52_.data());
  }
  // Almost-Montgomery values may reach n: one more product by 1 brings them
  // to at most n, a masked subtraction below it.
  void Leave(Limb* plain, const Limb* in) const {
    LimbVector t(words_, 0), unit(words_, 0);
    unit[0] = 1;
    Mul(t.data(), in, unit.data());
    ifma::ReduceOnce(t.data(), t.data(), c_.n52_.data(), words_);
    ifma::FromDigits(plain, c_.size_, t.data(), words_);
  }
  void One(Limb* out) const {
    LimbVector unit(words_, 0);
    unit[0] = 1;
    Mul(out, unit.data(), c_.rr52_.data());
  }
  void Mul(Limb* r, const Limb* a, const Limb* b) const { ifma::Mul(Product(r, a, b), c_.digits_); }
  void Sqr(Limb* r, const Limb* a) const { Mul(r, a, a); }
  void MulLeave(Limb* plain, const Limb* acc, const Limb* entered_base, const Limb*) const {
    LimbVector t(words_);
    Mul(t.data(), acc, entered_base);
    Leave(plain, t.data());
  }
  void Select(Limb* sel, const Limb* table, std::size_t entries, Limb index) const {
    ifma::Select(sel, table, entries, words_, index);
  }
  static void MulPair(const IfmaField& f, Limb* r, const Limb* a, const Limb* b, const IfmaField& g,
                      Limb* r2, const Limb* a2, const Limb* b2) {
    ifma::MulPair(f.Product(r, a, b), g.Product(r2, a2, b2), f.c_.digits_);
  }

 private:
  ifma::Product Product(Limb* r, const Limb* a, const Limb* b) const {
    return {r, a, b, c_.n52_.data(), c_.k52_};
  }
  const MontgomeryContext& c_;
  std::size_t words_;
};

void LimbField::Select(Limb* sel, const Limb* table, std::size_t entries, Limb index) const {
  const std::size_t n = words();
  std::fill(sel, sel + n, 0);
  for (std::size_t e = 0; e < entries; ++e) {
    const Limb x = e ^ index;
    const Limb mask = ((x | (Limb{0} - x)) >> 63) - 1;  // all ones when e == index
    const Limb* entry = table + e * n;
    for (std::size_t j = 0; j < n; ++j) sel[j] |= entry[j] & mask;
  }
}

namespace {

// Window width of the constant-time exponentiation.
constexpr std::size_t kWindowBits = 5;
constexpr std::size_t kEntries = std::size_t{1} << kWindowBits;

// Bits low_bit .. low_bit + kWindowBits - 1 of the exponent (zero beyond
// exp_bits), read without a branch on their values.
Limb WindowAt(const Limb* exp, std::size_t exp_bits, std::size_t low_bit) {
  Limb value = 0;
  for (std::size_t k = kWindowBits; k-- > 0;) {
    const std::size_t bit = low_bit + k;
    const Limb b = bit < exp_bits ? (exp[bit / 64] >> (bit % 64)) & 1 : 0;
    value = (value << 1) | b;
  }
  return value;
}

template <class Field>
struct Side {
  const Field& f;
  Limb* out;
  const Limb* x;
  const Limb* exp;
  LimbVector table{}, acc{}, sel{};
  Limb* entry(std::size_t e) { return &table[e * f.words()]; }
};

// The products of all sides at once: each argument picks a side's operand.
template <class Field, std::size_t S, class R, class A, class B>
void MulSides(Side<Field>* const (&s)[S], R r, A a, B b) {
  if constexpr (S == 1) {
    s[0]->f.Mul(r(*s[0]), a(*s[0]), b(*s[0]));
  } else {
    static_assert(S == 2);
    Field::MulPair(s[0]->f, r(*s[0]), a(*s[0]), b(*s[0]), s[1]->f, r(*s[1]), a(*s[1]), b(*s[1]));
  }
}

template <class Field, std::size_t S, class R, class A>
void SqrSides(Side<Field>* const (&s)[S], R r, A a) {
  if constexpr (S == 1)
    s[0]->f.Sqr(r(*s[0]), a(*s[0]));
  else
    MulSides(s, r, a, a);
}

// Fixed windows from the top: kWindowBits squarings, then a product with
// the table entry of the window, selected by reading every entry.
template <class Field, std::size_t S>
void FixedWindowExp(Side<Field>* const (&s)[S], std::size_t exp_bits) {
  const auto acc = [](Side<Field>& x) { return x.acc.data(); };
  const auto sel = [](Side<Field>& x) { return x.sel.data(); };
  const auto at = [](std::size_t e) { return [e](Side<Field>& x) { return x.entry(e); }; };
  for (Side<Field>* x : s) {
    const std::size_t w = x->f.words();
    x->table.assign(kEntries * w, 0);
    x->acc.assign(w, 0);
    x->sel.assign(w, 0);
    x->f.One(x->entry(0));
    x->f.Enter(x->entry(1), x->x);
  }
  for (std::size_t i = 2; i < kEntries; ++i) {
    if (i % 2 == 0)
      SqrSides(s, at(i), at(i / 2));
    else
      MulSides(s, at(i), at(i - 1), at(1));
  }
  const std::size_t windows = (exp_bits + kWindowBits - 1) / kWindowBits;
  for (Side<Field>* x : s) {
    const Limb top = windows == 0 ? 0 : WindowAt(x->exp, exp_bits, (windows - 1) * kWindowBits);
    x->f.Select(x->acc.data(), x->table.data(), kEntries, top);
  }
  for (std::size_t w = windows == 0 ? 0 : windows - 1; w-- > 0;) {
    for (std::size_t k = 0; k < kWindowBits; ++k) SqrSides(s, acc, acc);
    for (Side<Field>* x : s)
      x->f.Select(x->sel.data(), x->table.data(), kEntries,
                  WindowAt(x->exp, exp_bits, w * kWindowBits));
    MulSides(s, acc, acc, sel);
  }
  for (Side<Field>* x : s) x->f.Leave(x->out, x->acc.data());
}

// Sliding windows over the odd powers base^1, base^3, ... (public
// exponents only: the sequence of products follows the exponent's bits).
template <class Field>
void SlidingWindowExp(const Field& f, Limb* out, const Limb* base, const BigNum& exponent) {
  const std::size_t words = f.words();
  const std::size_t bits = exponent.BitLength();
  LimbVector acc(words, 0);
  if (bits == 0) {
    f.One(acc.data());
    f.Leave(out, acc.data());
    return;
  }
  const std::size_t window = bits > 512 ? 5 : bits > 128 ? 4 : bits > 24 ? 3 : 1;
  const std::size_t table_size = std::size_t{1} << (window - 1);
  LimbVector table(table_size * words), square(words);
  f.Enter(table.data(), base);
  if (table_size > 1) {
    f.Sqr(square.data(), table.data());
    for (std::size_t i = 1; i < table_size; ++i)
      f.Mul(&table[i * words], &table[(i - 1) * words], square.data());
  }
  bool started = false;
  for (std::size_t i = bits; i > 0;) {
    if (!exponent.Bit(i - 1)) {
      if (started) f.Sqr(acc.data(), acc.data());
      --i;
      continue;
    }
    // The longest window of at most `window` bits that ends in a one.
    std::size_t len = std::min(window, i);
    while (!exponent.Bit(i - len)) --len;
    std::size_t value = 0;
    for (std::size_t k = 0; k < len; ++k) value = (value << 1) | (exponent.Bit(i - 1 - k) ? 1 : 0);
    const Limb* odd_power = &table[(value >> 1) * words];
    if (started) {
      for (std::size_t k = 0; k < len; ++k) f.Sqr(acc.data(), acc.data());
      if (i == len &&
          value == 1) {  // the last product is by the base itself (odd exponents, 65537)
        f.MulLeave(out, acc.data(), odd_power, base);
        return;
      }
      f.Mul(acc.data(), acc.data(), odd_power);
    } else {
      std::copy_n(odd_power, words, acc.begin());
      started = true;
    }
    i -= len;
  }
  f.Leave(out, acc.data());
}

template <class Field>
void ExpOneSide(const Field& f, Limb* r, const Limb* x, const Limb* exp, std::size_t exp_bits) {
  Side<Field> side{f, r, x, exp};
  Side<Field>* const sides[1] = {&side};
  FixedWindowExp(sides, exp_bits);
}

}  // namespace

BigNum MontgomeryContext::Exp(const BigNum& base, const BigNum& exponent) const {
  const BigNum modulus = BigNum::FromLimbs(n_.data(), size_);
  BigNum reduced;
  if (base < modulus)
    reduced = base;
  else
    static_cast<void>(BigNum::Mod(base, modulus, &reduced));  // an odd modulus
  LimbVector x(size_), r(size_);
  reduced.CopyLimbs(x.data(), size_);
  if (kernel_ == RsaKernel::kIfma)
    SlidingWindowExp(IfmaField(*this), r.data(), x.data(), exponent);
  else
    SlidingWindowExp(LimbField(*this), r.data(), x.data(), exponent);
  return BigNum::FromLimbs(r.data(), size_);
}

void MontgomeryContext::ExpConstTime(Limb* r, const Limb* x, const Limb* exp,
                                     std::size_t exp_bits) const {
  if (kernel_ == RsaKernel::kIfma)
    ExpOneSide(IfmaField(*this), r, x, exp, exp_bits);
  else
    ExpOneSide(LimbField(*this), r, x, exp, exp_bits);
}

void MontgomeryContext::ExpConstTimePair(const MontgomeryContext& a, Limb* ra, const Limb* xa,
                                         const Limb* ea, const MontgomeryContext& b, Limb* rb,
                                         const Limb* xb, const Limb* eb, std::size_t exp_bits) {
  if (a.kernel_ != RsaKernel::kIfma || b.kernel_ != RsaKernel::kIfma || a.digits_ != b.digits_) {
    a.ExpConstTime(ra, xa, ea, exp_bits);
    b.ExpConstTime(rb, xb, eb, exp_bits);
    return;
  }
  const IfmaField fa(a), fb(b);
  Side<IfmaField> side_a{fa, ra, xa, ea}, side_b{fb, rb, xb, eb};
  Side<IfmaField>* const sides[2] = {&side_a, &side_b};
  FixedWindowExp(sides, exp_bits);
}

}  // namespace kcertadm
