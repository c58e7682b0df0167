#pragma once
// Errors the user sees. A command that meets a fault it does not handle itself throws an
// Error carrying the exact text to show; each front-end catches it in one place.
#include <stdexcept>
#include <string>

namespace tarvik {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& text) : std::runtime_error(text) {}
};

// A file that cannot be created, read or written.
class IoError : public Error {
 public:
  using Error::Error;
};

// A typed or read text that does not convert into a number.
class ConvertError : public Error {
 public:
  using Error::Error;
};

}  // namespace tarvik
