// The argument buriers' list-file reader (both generations' rules) and the
// argument-area marker search, on arbitrary bytes held in memory. The marker
// search fed in random blocks must find what a plain search of the whole
// text finds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "arg_buffer.h"
#include "list_file.h"
#include "marker_scan.h"

namespace {

void ReadList(const uint8_t* data, size_t size, const argbury::ListRules& rules) {
  if (size == 0) return;  // fmemopen refuses an empty buffer
  std::vector<uint8_t> copy(data, data + size);
  FILE* file = fmemopen(copy.data(), copy.size(), "rb");
  if (file == nullptr) return;
  auto buffer = std::make_unique<argbury::ArgBuffer>();
  argbury::ListContents list;
  const argbury::ListStatus status = argbury::ReadListFile(file, rules, buffer.get(), &list);
  std::fclose(file);
  if (buffer->fill > argbury::kWorkBufferSize) __builtin_trap();
  // Zero after the fill position (the first bytes past it are enough).
  for (size_t i = buffer->fill; i < std::min(buffer->fill + 256, argbury::kWorkBufferSize); ++i) {
    if (buffer->bytes[i] != 0) __builtin_trap();
  }
  if (status == argbury::ListStatus::kOk && (list.source.empty() && buffer->fill == 0)) __builtin_trap();
  if (status == argbury::ListStatus::kOk && rules.source_needs_directory && !list.has_directory) __builtin_trap();
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
