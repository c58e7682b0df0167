#include "io/ScopeRecord.h"

namespace tarvik {

// Binary families first: their magic bytes cannot be the start of a text file the listed
// readers take. The CSV dialects come last and only claim what the listed CSV path refuses.
ScopeFormat detectScopeFormat(std::string_view bytes, std::string_view extension) {
  (void)extension;
  if (looksLikeRigolWfm(bytes)) {
    return ScopeFormat::RigolWfm;
  }
  if (looksLikeAgilentBin(bytes)) {
    return ScopeFormat::AgilentBin;
  }
  if (looksLikeLecroyTrc(bytes)) {
    return ScopeFormat::LecroyTrc;
  }
  if (looksLikeTekWfm(bytes)) {
    return ScopeFormat::TekWfm;
  }
  if (looksLikeTekIsf(bytes)) {
    return ScopeFormat::TekIsf;
  }
  if (looksLikeRsBin(bytes)) {
    return ScopeFormat::RsBin;
  }
  if (looksLikeSiglentBin(bytes)) {
    return ScopeFormat::SiglentBin;
  }
  if (looksLikeScopeCsv(bytes)) {
    return ScopeFormat::ScopeCsv;
  }
  return ScopeFormat::None;
}

ScopeRecord readScopeFile(ScopeFormat format, const ScopeInput& input) {
  switch (format) {
    case ScopeFormat::RigolWfm:
      return readRigolWfm(input);
    case ScopeFormat::AgilentBin:
      return readAgilentBin(input);
    case ScopeFormat::SiglentBin:
      return readSiglentBin(input);
    case ScopeFormat::RsBin:
      return readRsBin(input);
    case ScopeFormat::LecroyTrc:
      return readLecroyTrc(input);
    case ScopeFormat::TekIsf:
      return readTekIsf(input);
    case ScopeFormat::TekWfm:
      return readTekWfm(input);
    case ScopeFormat::ScopeCsv:
      return readScopeCsv(input);
    case ScopeFormat::None:
      break;
  }
  return {};
}

}  // namespace tarvik
