#pragma once
// Crafted binary files for the scope reader tests: numbers and texts put at offsets in
// either byte order, and the message a reader refuses them with.
#include <bit>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

#include "io/ScopeRecord.h"

namespace tarvik::testing {

class CraftedBytes {
 public:
  explicit CraftedBytes(std::size_t size, std::endian order = std::endian::little)
      : m_bytes(size, '\0'), m_order(order) {}

  template <typename T>
  CraftedBytes& put(std::size_t offset, T value) {
    static_assert(std::is_arithmetic_v<T>);
    unsigned char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    if (m_order != std::endian::native) {
      for (std::size_t i = 0; i < sizeof(T) / 2; ++i) {
        std::swap(raw[i], raw[sizeof(T) - 1 - i]);
      }
    }
    return write(offset, std::string_view(reinterpret_cast<const char*>(raw), sizeof(T)));
  }

  CraftedBytes& write(std::size_t offset, std::string_view text) {
    if (m_bytes.size() < offset + text.size()) {
      m_bytes.resize(offset + text.size(), '\0');
    }
    m_bytes.replace(offset, text.size(), text);
    return *this;
  }

  const std::string& bytes() const { return m_bytes; }
  std::size_t size() const { return m_bytes.size(); }

 private:
  std::string m_bytes;
  std::endian m_order;
};

// The text of the ScopeFormatError that `read` throws; "" when it reads without one.
template <typename Read>
std::string refusal(Read&& read) {
  try {
    read();
  } catch (const ScopeFormatError& error) {
    return error.what();
  }
  return "";
}

}  // namespace tarvik::testing
