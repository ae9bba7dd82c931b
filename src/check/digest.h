// A digest of a model's text, by which documents of its checks tell its
// versions apart.
#pragma once

#include <string>
#include <string_view>

namespace ruvello::check {

// The SHA-256 digest of `bytes` (FIPS 180-4), as 64 lower-case hexadecimal
// digits.
std::string sha256_hex(std::string_view bytes);

}  // namespace ruvello::check
