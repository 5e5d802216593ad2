// Feeding a byte stream to a block function: the partial block left between
// calls is kept by the caller, whole blocks go straight from the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kcertadm {

// buffer holds `buffered` bytes of an unfinished block of kBlock bytes.
// compress(data, blocks) consumes `blocks` whole blocks at data.
template <std::size_t kBlock, typename Compress>
void AbsorbBlocks(std::uint8_t (&buffer)[kBlock], std::size_t& buffered, const std::uint8_t* in,
                  std::size_t size, Compress&& compress) {
  if (buffered > 0) {
    std::size_t take = kBlock - buffered;
    if (take > size) take = size;
    std::memcpy(buffer + buffered, in, take);
    buffered += take;
    in += take;
    size -= take;
    if (buffered < kBlock) return;
    compress(buffer, std::size_t{1});
    buffered = 0;
  }
  const std::size_t blocks = size / kBlock;
  if (blocks > 0) {
    compress(in, blocks);
    in += blocks * kBlock;
    size -= blocks * kBlock;
  }
  if (size > 0) {
    std::memcpy(buffer, in, size);
    buffered = size;
  }
}

}  // namespace kcertadm
