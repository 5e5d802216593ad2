// The portable kernel of x86-64: the instructions of every x86-64 processor
// (mul, add, adc), in GNU inline assembly where g++ 12's code for the
// carries is slower. Other processors run the int128 kernel
// (montgomery_portable.cc) as their portable one.
//
// Moduli of 8, 16 and 24 limbs (the primes of 1,024- to 3,072-bit keys)
// scan products by columns: each column of limb products is summed in three
// limbs held in registers, mul then add, adc, adc per product, and the
// reduction runs the same way over the columns of m n. Other sizes run the
// rows of montgomery_rows.h with a row written in assembly, where the
// columns' unrolled code would outgrow the instruction caches.
#include "crypto/bignum/montgomery_kernel.h"

#if defined(__x86_64__)

#include "base/secure_memory.h"
#include "crypto/bignum/montgomery_rows.h"

namespace kcertadm {
namespace {

// Step j of a row: rdx:rax = a[j] b, then t[j] + carry added to it, t[j] =
// rax and the carry = rdx. The row's carries run through the adc of each
// step; each row is unrolled by the assembler (.rept).
struct MulqRow {
  template <std::size_t N>
  static Limb Add(Limb* t, const Limb* a, Limb b, std::size_t n) {
    if constexpr (N == 0) {
      return rows::StepRow::Add<0>(t, a, b, n);
    } else {
      Limb carry;
      asm("xor %k[carry], %k[carry]\n\t"
          ".set .Lkcertadm_offset, 0\n\t"
          ".rept %c[count]\n\t"
          "mov .Lkcertadm_offset(%[a]), %%rax\n\t"
          "mulq %[b]\n\t"
          "add .Lkcertadm_offset(%[t]), %%rax\n\t"
          "adc $0, %%rdx\n\t"
          "add %[carry], %%rax\n\t"
          "adc $0, %%rdx\n\t"
          "mov %%rax, .Lkcertadm_offset(%[t])\n\t"
          "mov %%rdx, %[carry]\n\t"
          ".set .Lkcertadm_offset, .Lkcertadm_offset + 8\n\t"
          ".endr"
          : [carry] "=&r"(carry)
          : [t] "r"(t), [a] "r"(a), [b] "r"(b), [count] "i"(N)
          : "rax", "rdx", "cc", "memory");
      return carry;
    }
  }

  // Two rows' steps per limb, t[k] loaded and stored once for both, two
  // carry chains that do not wait for each other.
  template <std::size_t Count>
  static void AddPairs(Limb* t, const Limb* a, Limb b0, Limb b1, Limb& c0, Limb& c1,
                       std::size_t count) {
    if constexpr (Count == 0) {
      rows::StepPairs::AddPairs<0>(t, a, b0, b1, c0, c1, count);
    } else {
      Limb low;
      asm(".set .Lkcertadm_offset, 0\n\t"
          ".rept %c[count]\n\t"
          "mov .Lkcertadm_offset(%[a]), %%rax\n\t"
          "mulq %[b0]\n\t"
          "add .Lkcertadm_offset(%[t]), %%rax\n\t"
          "adc $0, %%rdx\n\t"
          "add %[c0], %%rax\n\t"
          "adc $0, %%rdx\n\t"
          "mov %%rdx, %[c0]\n\t"
          "mov %%rax, %[low]\n\t"
          "mov .Lkcertadm_offset-8(%[a]), %%rax\n\t"
          "mulq %[b1]\n\t"
          "add %[low], %%rax\n\t"
          "adc $0, %%rdx\n\t"
          "add %[c1], %%rax\n\t"
          "adc $0, %%rdx\n\t"
          "mov %%rax, .Lkcertadm_offset(%[t])\n\t"
          "mov %%rdx, %[c1]\n\t"
          ".set .Lkcertadm_offset, .Lkcertadm_offset + 8\n\t"
          ".endr"
          : [c0] "+r"(c0), [c1] "+r"(c1), [low] "=&r"(low)
          : [t] "r"(t), [a] "r"(a), [b0] "r"(b0), [b1] "r"(b1), [count] "i"(Count)
          : "rax", "rdx", "cc", "memory");
    }
  }
};

// A column's sum in three limbs, c2:c1:c0.
struct Column {
  Limb c0 = 0, c1 = 0, c2 = 0;

  // c += x y
  void MulAdd(Limb x, Limb y) {
    Limb high;
    asm("mulq %[y]\n\t"
        "add %%rax, %[c0]\n\t"
        "adc %%rdx, %[c1]\n\t"
        "adc $0, %[c2]"
        : [c0] "+r"(c0), [c1] "+r"(c1), [c2] "+r"(c2), "+a"(x), "=d"(high)
        : [y] "rm"(y)
        : "cc");
  }

  // c += x
  void Add(Limb x) {
    asm("add %[x], %[c0]\n\t"
        "adc $0, %[c1]\n\t"
        "adc $0, %[c2]"
        : [c0] "+r"(c0), [c1] "+r"(c1), [c2] "+r"(c2)
        : [x] "rm"(x)
        : "cc");
  }

  // c += d
  void Add(const Column& d) {
    asm("add %[d0], %[c0]\n\t"
        "adc %[d1], %[c1]\n\t"
        "adc %[d2], %[c2]"
        : [c0] "+r"(c0), [c1] "+r"(c1), [c2] "+r"(c2)
        : [d0] "r"(d.c0), [d1] "r"(d.c1), [d2] "r"(d.c2)
        : "cc");
  }

  // c += 2 d
  void AddTwice(Column d) {
    asm("add %[d0], %[d0]\n\t"
        "adc %[d1], %[d1]\n\t"
        "adc %[d2], %[d2]\n\t"
        "add %[d0], %[c0]\n\t"
        "adc %[d1], %[c1]\n\t"
        "adc %[d2], %[c2]"
        : [c0] "+r"(c0), [c1] "+r"(c1), [c2] "+r"(c2), [d0] "+r"(d.c0), [d1] "+r"(d.c1),
          [d2] "+r"(d.c2)
        :
        : "cc");
  }

  // The low limb; the sum moves down one limb for the next column.
  Limb Next() {
    const Limb low = c0;
    c0 = c1;
    c1 = c2;
    c2 = 0;
    return low;
  }
};

// The limb indices i of column k with i and k - i both below N start here.
constexpr std::size_t FirstOfColumn(std::size_t k, std::size_t n) { return k < n ? 0 : k - n + 1; }

// t[0 .. 2N) = a b.
template <std::size_t N>
inline void ProductColumns(Limb* t, const Limb* a, const Limb* b) {
  Column c;
#pragma GCC unroll 128
  for (std::size_t k = 0; k + 1 < 2 * N; ++k) {
#pragma GCC unroll 64
    for (std::size_t i = FirstOfColumn(k, N); i <= k && i < N; ++i) c.MulAdd(a[i], b[k - i]);
    t[k] = c.Next();
  }
  t[2 * N - 1] = c.Next();
}

// t[0 .. 2N) = a a: each column's products a[i] a[k - i] with i < k - i
// once, doubled, and a[k / 2]^2 in the even columns.
template <std::size_t N>
inline void SquareColumns(Limb* t, const Limb* a) {
  Column c;
#pragma GCC unroll 128
  for (std::size_t k = 0; k + 1 < 2 * N; ++k) {
    const std::size_t first = FirstOfColumn(k, N);
    if (first < k - first) {
      Column cross;
#pragma GCC unroll 64
      for (std::size_t i = first; i < k - i; ++i) cross.MulAdd(a[i], a[k - i]);
      c.AddTwice(cross);
    }
    if (k % 2 == 0) c.MulAdd(a[k / 2], a[k / 2]);
    t[k] = c.Next();
  }
  t[2 * N - 1] = c.Next();
}

// r = t / 2^(64 N) mod n for t of 2N limbs below 2^(64 N) n. Column k adds
// t[k] and m[i] n[k - i]; in the low N columns m[k] is chosen to clear the
// column (m[k] = its low limb times n0), the high N columns give the result
// before the last subtraction of n, which a mask chooses.
template <std::size_t N>
inline void ReduceColumns(Limb* r, const Limb* t, const Limb* n, Limb n0) {
  Limb m[N], high[N];
  Column c;
#pragma GCC unroll 64
  for (std::size_t k = 0; k < N; ++k) {
    // The products of the m found before the last one first, in a sum of
    // their own, while the last m and the carry of its column are computed.
    Column column{t[k]};
#pragma GCC unroll 64
    for (std::size_t i = 0; i + 1 < k; ++i) column.MulAdd(m[i], n[k - i]);
    column.Add(c);
    if (k > 0) column.MulAdd(m[k - 1], n[1]);
    m[k] = column.c0 * n0;
    column.MulAdd(m[k], n[0]);
    c = column;
    c.Next();
  }
#pragma GCC unroll 64
  for (std::size_t k = N; k < 2 * N; ++k) {
    c.Add(t[k]);
#pragma GCC unroll 64
    for (std::size_t i = k - N + 1; i < N; ++i) c.MulAdd(m[i], n[k - i]);
    high[k - N] = c.Next();
  }
  rows::SubtractModulusOnce(r, high, c.c0, n, N);
  SecureWipe(m, sizeof m);
  SecureWipe(high, sizeof high);
}

template <std::size_t N>
void ColumnsMul(Limb* r, const Limb* a, const Limb* b, const Limb* n, Limb n0) {
  Limb t[2 * N];
  ProductColumns<N>(t, a, b);
  ReduceColumns<N>(r, t, n, n0);
  SecureWipe(t, sizeof t);
}

template <std::size_t N>
void ColumnsSqr(Limb* r, const Limb* a, const Limb* n, Limb n0) {
  Limb t[2 * N];
  SquareColumns<N>(t, a);
  ReduceColumns<N>(r, t, n, n0);
  SecureWipe(t, sizeof t);
}

void MulAnySize(Limb* r, const Limb* a, const Limb* b, const Limb* n, Limb n0, std::size_t size) {
  switch (size) {
    case 8:
      return ColumnsMul<8>(r, a, b, n, n0);
    case 16:
      return ColumnsMul<16>(r, a, b, n, n0);
    case 24:
      return ColumnsMul<24>(r, a, b, n, n0);
    default:
      return rows::MulAnySize<MulqRow>(r, a, b, n, n0, size);
  }
}

void SqrAnySize(Limb* r, const Limb* a, const Limb* n, Limb n0, std::size_t size) {
  switch (size) {
    case 8:
      return ColumnsSqr<8>(r, a, n, n0);
    case 16:
      return ColumnsSqr<16>(r, a, n, n0);
    case 24:
      return ColumnsSqr<24>(r, a, n, n0);
    default:
      return rows::SqrAnySize<MulqRow>(r, a, n, n0, size);
  }
}

constexpr LimbKernel kX86_64{&MulAnySize, &SqrAnySize};

}  // namespace

const LimbKernel& PortableLimbKernel() { return kX86_64; }

}  // namespace kcertadm

#else

namespace kcertadm {

const LimbKernel& PortableLimbKernel() { return Int128LimbKernel(); }

}  // namespace kcertadm

#endif
