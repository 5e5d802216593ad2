// PKCS #1 version 1.5 block formatting around the raw RSA operations:
// type 1 (00 01 FF..FF 00 D, signatures) and type 2 (00 02 nonzero random
// bytes 00 D). k is the modulus length in bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace kcertadm {

// Smallest modulus that carries a PKCS #1 block.
constexpr std::size_t kPkcs1MinModulusBytes = 12;
// Overhead of a block: 00, type, at least 8 padding bytes, 00.
constexpr std::size_t kPkcs1Overhead = 11;

// Writes the k-byte block for data. 535 when k < 12, 525 when data is
// longer than k - 11.
int Pkcs1EncodeType1(const std::uint8_t* data, std::size_t size, std::size_t k,
                     std::uint8_t* block);

// Draws one random byte; returns 0 or a status that ends the encoding.
using RandomByte = std::function<int(std::uint8_t* byte)>;
// As type 1, with padding bytes drawn one at a time from random_byte; zero
// bytes are discarded and drawn again.
int Pkcs1EncodeType2(const std::uint8_t* data, std::size_t size, std::size_t k,
                     const RandomByte& random_byte, std::uint8_t* block);

// Checks a k-byte block and finds its data: block[*offset ..] of *size
// bytes. 524 for a malformed block or data longer than k - 11.
int Pkcs1DecodeType1(const std::uint8_t* block, std::size_t k, std::size_t* offset,
                     std::size_t* size);
int Pkcs1DecodeType2(const std::uint8_t* block, std::size_t k, std::size_t* offset,
                     std::size_t* size);

}  // namespace kcertadm
