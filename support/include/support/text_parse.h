// Number and name rules shared by the tools. They print nothing: each tool
// words its own messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace support {

/// A decimal number as the C library's atoi family reads it: leading white
/// space, an optional sign, then digits up to the first other character (none
/// gives 0). Values beyond the range of long long are clamped to it, and
/// `*out_of_range` (when given) says so.
long long ParseDecimalPrefix(const char* text, bool* out_of_range = nullptr);

/// The same, clamped to int (atoi on a host with 32-bit int, without the
/// undefined behaviour of an overflow). `*out_of_range` says it was clamped.
int ParseIntPrefix(const char* text, bool* out_of_range = nullptr);

/// A whole text that is a decimal number in [low, high], optionally signed,
/// nothing else around it. Returns false (and leaves `*value`) otherwise.
bool ParseDecimalStrict(const char* text, long long low, long long high, long long* value);

/// The value of one hexadecimal digit (either case), or -1.
int HexDigitValue(char c);

/// Decodes `2 * byte_count` hexadecimal digits from `digits` into `out`;
/// false (with `out` partly written) when one of them is not a digit.
bool DecodeHexStrict(const char* digits, size_t byte_count, uint8_t* out);

/// The file name of `path` without its folder ('/' or '\\') and without its
/// last extension: "a/b.c/game.srl" -> "game", "x.tar.gz" -> "x.tar".
std::string PathStem(const std::string& path);

/// Where the stem of PathStem begins in `path`, and how long it is, for
/// callers that cut the name in place.
void PathStemRange(const std::string& path, size_t* begin, size_t* length);

/// `path` with the extension of its file name (the last '.' after the last
/// '/' or '\\') removed; the folder part stays: "dir.d/game" stays whole.
std::string StripExtension(const std::string& path);

}  // namespace support
