// lz_expand_example: expands a backward-LZ image in place, inside one buffer,
// as the console does, and compares the result with the original file.
//
//   lz_expand_example IMAGE ORIGINAL
//
// Status 0 when the expanded data equals ORIGINAL byte for byte, 1 otherwise.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "lz_expand.h"
#include "support/byte_order.h"
#include "support/file_io.h"
#include "support/tool_main.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;

struct Options {
  const char* image = nullptr;
  const char* original = nullptr;
};

int ParseArgs(int argc, char** argv, Options* o) {
  if (argc != 3) {
    std::fputs("usage: lz_expand_example IMAGE ORIGINAL\n", stderr);
    return kExitFailure;
  }
  o->image = argv[1];
  o->original = argv[2];
  return -1;
}

int Run(const Options& o) {
  std::vector<uint8_t> buffer, original;
  if (support::ReadWholeFile(o.image, &buffer) != support::ReadStatus::kOk ||
      support::ReadWholeFile(o.original, &original) != support::ReadStatus::kOk) {
    std::fprintf(stderr, "lz_expand_example: cannot read %s or %s\n", o.image, o.original);
    return kExitFailure;
  }
  const size_t image_size = buffer.size();
  // The footer's last word is how much the data grows; the buffer gets room
  // for it after the image, and the expansion runs inside it.
  const size_t growth = image_size >= 8 ? support::LoadLe32(buffer.data() + image_size - 4) : 0;
  // Data that would grow past the original cannot match it: no need to make
  // room for up to 4 GiB a damaged footer may claim.
  if (image_size + growth > original.size()) {
    std::fprintf(stderr, "lz_expand_example: %s claims to grow by %zu bytes, past the %zu bytes of %s\n", o.image,
                 growth, original.size(), o.original);
    return kExitFailure;
  }
  buffer.resize(image_size + growth);
  size_t expanded = 0;
  if (backlz::ExpandBackwardInPlace(buffer.data(), buffer.size(), image_size, &expanded) !=
      backlz::ExpandStatus::kOk) {
    std::fprintf(stderr, "lz_expand_example: %s is not a sound backward-LZ image\n", o.image);
    return kExitFailure;
  }
  buffer.resize(expanded);
  if (buffer != original) {
    std::fprintf(stderr, "lz_expand_example: %s expands to %zu bytes that differ from %s\n", o.image, expanded,
                 o.original);
    return kExitFailure;
  }
  std::printf("%s: %zu bytes expanded in place to %zu bytes, identical to %s\n", o.image, image_size, expanded,
              o.original);
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  return support::ToolMain(argc, argv, ParseArgs, Run, "lz_expand_example: cannot write standard output\n");
}
