// Helpers shared by the toolkit tests: hex conversion and test data files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kcertadm::testing {

std::vector<std::uint8_t> FromHex(std::string_view hex);
std::string ToHex(const std::uint8_t* data, std::size_t size);
inline std::string ToHex(const std::vector<std::uint8_t>& v) { return ToHex(v.data(), v.size()); }

// Bytes of the text, without a terminating zero.
std::vector<std::uint8_t> Bytes(std::string_view text);

// Lines of tests/data/crypto/<name> split on blanks; lines starting with '#'
// and empty lines are skipped.
std::vector<std::vector<std::string>> ReadVectorFile(const std::string& name);

// byte[i] = (i * 7 + 3) % 251, the input the vector scripts use.
std::vector<std::uint8_t> PatternBytes(std::size_t size);

}  // namespace kcertadm::testing
