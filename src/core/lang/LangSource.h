#pragma once

#include <string>
#include <string_view>

#include "lang/LanguagePack.h"

namespace kestrivel {

// The readable source form of a language file and its translation to and from the binary ".lang"
// form (see docs/language-files.md). In short:
//
//   # comment
//   language = English
//   [frmMain]
//   PopMenu_Exit = Close
//   frmMain = ""
//
// Texts are taken verbatim after the first "=" and trimmed of blanks; a text in double quotes may
// hold escapes (\\ \" \n \r \t \xHH) and keeps its blanks. Packs used here hold bytes exactly as
// read or written (no code-page conversion), so a file survives decompiling and compiling.

struct TLangSourceError {
    int Line = 0; // 1-based; 0 when the error belongs to no line
    std::string Message;

    // "line N: message", or the bare message without a line.
    std::string ToString() const;
};

// Parses `source` into `pack` (emptied first). The pack's HasHeader tells the layout to write.
bool ParseLangSource(std::string_view source, TLangPack& pack, TLangSourceError& error);

// The file bytes for `pack`: header and version (when HasHeader), language name, header value,
// the sections in order. Counts are those of the vectors. Fails when a count does not fit in 16
// bits or when a file without header would begin with the header text (it would read back as one).
bool EncodeLangFile(const TLangPack& pack, std::string& bytes, std::string& error);

// The source text for `pack`, which ParseLangSource reads back to the same pack.
std::string FormatLangSource(const TLangPack& pack);

// Source text to file bytes.
bool CompileLangSource(std::string_view source, std::string& bytes, TLangSourceError& error);

// File bytes to source text. Fails on a file that does not load completely. When compiling the
// result would not give back exactly `bytes` (bytes after the last section, negative string
// counts), `warning` says so and the source is still produced.
bool DecompileLangFile(std::string_view bytes, std::string& source, std::string& error, std::string& warning);

} // namespace kestrivel
