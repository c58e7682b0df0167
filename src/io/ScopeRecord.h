#pragma once
// Waveforms read from an oscilloscope's own files: the native binary records of each family
// and the CSV exports with their header rows. Every reader is pure and window-free: it gets
// the file's bytes and hands back one trace per analog channel (one per segment of a
// segmented record), X in nanoseconds from the first sample and Y in the channel's unit
// without its SI prefix. A reader either returns the whole record or throws
// ScopeFormatError; it never hands back part of a file.
//
// Hostile input is the normal case for these readers: every count, offset and length read
// from a header is checked against the bytes that are really there before anything is
// allocated or read, so a header claiming 10^12 samples in a 1 kB file is refused at once.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/Error.h"
#include "io/ReadResult.h"

namespace tarvik {

// One graph's worth of a record: the channel's name as the file gives it ("<name> #k" for
// segment k of a segmented record) and its samples.
struct ScopeTrace {
  std::string title;
  PointArrays points;
};

struct ScopeRecord {
  std::vector<ScopeTrace> traces;  // in the file's channel order
};

// A file that claims to be of a family but cannot be read as one: truncated, corrupted or
// crafted. The text names the format, the field and the offset, for example
// "LeCroy WAVEDESC: WAVE_ARRAY_1 = 4000000 байт за концом файла (смещение 0x3c)". The open
// command shows it after "Невозможно открыть файл:" and the path.
class ScopeFormatError : public IoError {
 public:
  using IoError::IoError;
};

// What a reader reads from.
struct ScopeInput {
  std::string_view bytes;  // the whole file, memory-mapped
  std::string path;        // for companion files (R&S) and titles made from the file name
  // Called with an offset once the bytes before it will not be read again: the mapped pages
  // leave the process, a large file shows its percentage, and the stop button may end the
  // reading by an exception thrown from here (let it pass; nothing is kept).
  ReleaseBytes release;
  // The decimal separator of the user's locale, for the CSV exports ('.' is always read).
  char localeSeparator = '.';
};

// The families, each read by its own file in src/io. `looksLike…` decides from the content
// alone (magic bytes, first lines); the extension only breaks ties (see detectScopeFormat).
enum class ScopeFormat {
  None,
  RigolWfm,    // RigolWfm.cpp: DS1000B (A5 A5 A4 01), DS1000E/D (A5 A5 00 00), DS2000 (A5 A5 38 00)
  AgilentBin,  // AgilentBin.cpp: Keysight AG10, Rigol RG01 / RG03
  SiglentBin,  // SiglentBin.cpp: SDS2000X-E layout
  RsBin,       // RsBin.cpp: R&S XML header .bin with its .Wfm.bin companion
  LecroyTrc,   // LecroyTrc.cpp: WAVEDESC, LECROY_1_0 / LECROY_2_3, optional "#9…" block header
  TekIsf,      // TekIsf.cpp: :WFMPRE / WFMP header and :CURVE # block
  TekWfm,      // TekWfm.cpp: WFM#003, FastFrame
  ScopeCsv,    // ScopeCsv.cpp: CSV exports of every family the listed CSV reader refuses
};

bool looksLikeRigolWfm(std::string_view bytes);
bool looksLikeAgilentBin(std::string_view bytes);
bool looksLikeSiglentBin(std::string_view bytes);
bool looksLikeRsBin(std::string_view bytes);
bool looksLikeLecroyTrc(std::string_view bytes);
bool looksLikeTekIsf(std::string_view bytes);
bool looksLikeTekWfm(std::string_view bytes);
// True for a CSV export with header rows or a time column in one of the known dialects
// (Rigol, Keysight, Tektronix, Siglent, R&S, PicoScope, Digilent) — never for a file the
// listed CSV path ("Record Length" layout, plain two-column CSV) reads.
bool looksLikeScopeCsv(std::string_view bytes);

ScopeRecord readRigolWfm(const ScopeInput& input);
ScopeRecord readAgilentBin(const ScopeInput& input);
ScopeRecord readSiglentBin(const ScopeInput& input);
ScopeRecord readRsBin(const ScopeInput& input);
ScopeRecord readLecroyTrc(const ScopeInput& input);
ScopeRecord readTekIsf(const ScopeInput& input);
ScopeRecord readTekWfm(const ScopeInput& input);
ScopeRecord readScopeCsv(const ScopeInput& input);

// The family of a file from its content; `extension` (lower case, with its dot) breaks ties
// between families whose first bytes agree. None: the file goes through the listed readers.
ScopeFormat detectScopeFormat(std::string_view bytes, std::string_view extension);

// Reads a file of a detected family.
ScopeRecord readScopeFile(ScopeFormat format, const ScopeInput& input);

}  // namespace tarvik
