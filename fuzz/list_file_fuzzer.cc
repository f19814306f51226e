// The argument buriers' list-file reader (both generations' rules) and the
// argument-area marker search, on arbitrary bytes held in memory. Each, fed
// in random blocks, must find what it finds in the whole text (the marker
// search: what a plain search finds).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "arg_buffer.h"
#include "list_file.h"
#include "marker_scan.h"

namespace {

// Reads the list whole and again in blocks of pseudo-random sizes: the
// block boundaries must not change what it says.
void ReadList(const uint8_t* data, size_t size, const argbury::ListRules& rules) {
  auto whole = std::make_unique<argbury::ArgBuffer>();
  argbury::ListContents list;
  argbury::ListReader reader(rules, whole.get(), &list);
  reader.Feed(data, size);
  const argbury::ListStatus status = reader.Finish();
  if (whole->fill > argbury::kWorkBufferSize) __builtin_trap();
  // Zero after the fill position (the first bytes past it are enough).
  for (size_t i = whole->fill; i < std::min(whole->fill + 256, argbury::kWorkBufferSize); ++i) {
    if (whole->bytes[i] != 0) __builtin_trap();
  }
  if (status == argbury::ListStatus::kOk && (list.source.empty() && whole->fill == 0)) __builtin_trap();
  if (status == argbury::ListStatus::kOk && rules.source_needs_directory && !list.has_directory) __builtin_trap();

  auto pieces = std::make_unique<argbury::ArgBuffer>();
  argbury::ListContents piece_list;
  argbury::ListReader piece_reader(rules, pieces.get(), &piece_list);
  uint32_t x = static_cast<uint32_t>(size) * 2654435761u + 1u;
  for (size_t at = 0; at < size;) {
    x = x * 1103515245u + 12345u;
    const size_t block = std::min<size_t>(size - at, 1 + (x >> 16) % 97);
    if (!piece_reader.Feed(data + at, block)) break;
    at += block;
  }
  if (piece_reader.Finish() != status || piece_list.source != list.source ||
      piece_list.directory != list.directory || pieces->fill != whole->fill ||
      std::memcmp(pieces->bytes.data(), whole->bytes.data(), whole->fill) != 0) {
    __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 18)) return 0;
  ReadList(data, size, {.source_tag = "9,", .source_quote_pair = 1, .source_needs_directory = true});
  ReadList(data, size, {.source_tag = "H,", .source_quote_pair = 0, .source_needs_directory = false});

  const std::string text(reinterpret_cast<const char*>(data), size);
  const size_t expected = text.find(argbury::kArgumentMarker);
  argbury::MarkerScanner scanner;
  uint32_t x = size > 0 ? data[0] | 0x100u : 1u;
  for (size_t at = 0; at < size && !scanner.found();) {
    x = x * 1103515245u + 12345u;
    const size_t block = std::min<size_t>(size - at, 1 + (x >> 16) % 23);
    scanner.Feed(data + at, block);
    at += block;
  }
  if (scanner.found() != (expected != std::string::npos)) __builtin_trap();
  if (scanner.found() && scanner.offset() != expected) __builtin_trap();
  return 0;
}
