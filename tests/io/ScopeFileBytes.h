#pragma once
// Scope files crafted byte by byte for the reader tests: a zero-filled image whose fields are
// set at their offsets, little-endian.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "io/ScopeRecord.h"

namespace tarvik::testing {

class ScopeFileBytes {
 public:
  explicit ScopeFileBytes(std::size_t size) : m_bytes(size, '\0') {}

  template <typename T>
  ScopeFileBytes& set(std::size_t offset, T value) {
    static_assert(std::is_arithmetic_v<T>);
    grow(offset + sizeof(T));
    std::memcpy(m_bytes.data() + offset, &value, sizeof(T));  // the test machine is little-endian
    return *this;
  }
  ScopeFileBytes& text(std::size_t offset, std::string_view value) {
    grow(offset + value.size());
    std::memcpy(m_bytes.data() + offset, value.data(), value.size());
    return *this;
  }
  ScopeFileBytes& append(std::string_view value) {
    m_bytes.append(value);
    return *this;
  }
  std::size_t size() const { return m_bytes.size(); }
  const std::string& bytes() const { return m_bytes; }

 private:
  void grow(std::size_t size) {
    if (m_bytes.size() < size) {
      m_bytes.resize(size, '\0');
    }
  }
  std::string m_bytes;
};

// The input of a reader for bytes held in memory.
inline ScopeInput scopeInput(std::string_view bytes, std::string path = "test.bin") {
  ScopeInput input;
  input.bytes = bytes;
  input.path = std::move(path);
  return input;
}

// The message of the ScopeFormatError `read` throws, or "no error".
template <typename Read>
std::string scopeError(Read read, std::string_view bytes) {
  try {
    read(scopeInput(bytes));
  } catch (const ScopeFormatError& error) {
    return error.what();
  }
  return "no error";
}

}  // namespace tarvik::testing
