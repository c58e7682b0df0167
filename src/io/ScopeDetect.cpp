#include <array>

#include "io/ScopeRecord.h"

namespace tarvik {
namespace {

// A family, how its content is recognised, and the extensions its files usually carry.
struct FamilyRule {
  ScopeFormat format;
  bool (*looksLike)(std::string_view);
  std::array<std::string_view, 2> extensions;
};

// Binary families first: their magic bytes cannot be the start of a text file the listed
// readers take. Siglent's header has no magic word, only a recognisable shape, so it comes
// after the families that have one. The CSV dialects come last and only claim what the
// listed CSV path refuses.
constexpr std::array<FamilyRule, 8> kFamilies{{
    {ScopeFormat::RigolWfm, looksLikeRigolWfm, {".wfm", ""}},
    {ScopeFormat::AgilentBin, looksLikeAgilentBin, {".bin", ""}},
    {ScopeFormat::LecroyTrc, looksLikeLecroyTrc, {".trc", ".000"}},
    {ScopeFormat::TekWfm, looksLikeTekWfm, {".wfm", ""}},
    {ScopeFormat::TekIsf, looksLikeTekIsf, {".isf", ""}},
    {ScopeFormat::RsBin, looksLikeRsBin, {".bin", ""}},
    {ScopeFormat::SiglentBin, looksLikeSiglentBin, {".bin", ""}},
    {ScopeFormat::ScopeCsv, looksLikeScopeCsv, {".csv", ""}},
}};

bool carries(const FamilyRule& rule, std::string_view extension) {
  for (std::string_view e : rule.extensions) {
    if (!e.empty() && e == extension) {
      return true;
    }
  }
  return false;
}

}  // namespace

// The content decides. Only when it fits several families does the extension choose among
// them (the first that usually carries it); failing that, the first in the order above.
ScopeFormat detectScopeFormat(std::string_view bytes, std::string_view extension) {
  ScopeFormat first = ScopeFormat::None;
  for (const FamilyRule& rule : kFamilies) {
    if (!rule.looksLike(bytes)) {
      continue;
    }
    if (carries(rule, extension)) {
      return rule.format;
    }
    if (first == ScopeFormat::None) {
      first = rule.format;
    }
  }
  return first;
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
