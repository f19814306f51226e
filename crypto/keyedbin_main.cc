// keyedbin: encrypts a file with RC4 under a key file and writes the result as
// raw bytes or as a C array of u8, u16 or u32 elements.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "keyedbin_text.h"
#include "rc4.h"
#include "support/c_text.h"
#include "support/file_io.h"
#include "support/output_file.h"
#include "support/platform.h"
#include "support/text_parse.h"
#include "support/tool_main.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 1;
constexpr int kGoOn = -1;
constexpr size_t kMaxKeyLength = 16;
// Bytes encrypted and written at a time: a multiple of every element width.
constexpr size_t kPieceSize = size_t{1} << 20;
// The piece starts on a page boundary. The system's copies into it (read)
// and out of it (write) cost about a fifth more CPU time for the whole run
// when it starts 16 bytes into a page, where the allocator puts a block this
// large.
constexpr size_t kPieceAlignment = 4096;

struct Options {
  const char* input = nullptr;
  const char* key = nullptr;
  const char* output = nullptr;
  bool silent = false;
  bool align4 = false;
  int width = 0;  // 0: raw binary output
};

// The input path with the extension of its file name replaced by
// "_rc4.c" or "_rc4.bin"; the folder part stays.
std::string DefaultOutputPath(const std::string& input, bool text) {
  return support::StripExtension(input) + (text ? "_rc4.c" : "_rc4.bin");
}

void Usage(const char* argv0) {
  const std::string name = support::PathStem(argv0 ? argv0 : "keyedbin");
  fprintf(stderr, "Usage: %s [-s] [-t[width]] [-A4] [-o outputFile] <inputFile> <keyFile>\n", name.c_str());
  fprintf(stderr, "\t-s                   Print no message if conversion has been success.\n");
  fprintf(stderr,
          "\t-t[TypeWidth(1|2|4)] output C format text. We able to specify the type(1=u8,2=u16,4=u32).\n");
  fprintf(stderr, "\t-A4                  Align 4byte for filesize\n");
  fprintf(stderr, "\t-o outputFile        Specify the output file name.\n");
}

// Returns true when the command line is well formed.
bool ReadArgs(int argc, char** argv, Options* o) {
  bool seen_s = false, seen_t = false, seen_a = false, seen_o = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (arg[0] != '-') {
      if (!o->input) {
        o->input = arg;
      } else if (!o->key) {
        o->key = arg;
      } else {
        return false;
      }
    } else if (strcmp(arg, "-s") == 0) {
      if (seen_s) return false;
      seen_s = true;
      o->silent = true;
    } else if (strncmp(arg, "-t", 2) == 0) {
      if (seen_t) return false;
      seen_t = true;
      if (arg[2] == '\0') {
        o->width = 1;
      } else {
        // Leading decimal digits; anything else reads as 0 and is refused.
        const int w = arg[2] >= '0' && arg[2] <= '9' ? support::ParseIntPrefix(arg + 2) : 0;
        if (w != 1 && w != 2 && w != 4) return false;
        o->width = w;
      }
    } else if (strcmp(arg, "-A4") == 0) {
      if (seen_a) return false;
      seen_a = true;
      o->align4 = true;
    } else if (strcmp(arg, "-o") == 0) {
      if (seen_o || i + 1 >= argc) return false;
      seen_o = true;
      o->output = argv[++i];
    } else {
      return false;
    }
  }
  return o->input && o->key;
}

// Returns kGoOn, or the exit status after the usage text.
int ParseArgs(int argc, char** argv, Options* o) {
  if (ReadArgs(argc, argv, o)) return kGoOn;
  Usage(argc > 0 ? argv[0] : nullptr);
  return kExitUsage;
}

// Reads a whole file, reporting failures in the tool's words.
bool ReadInput(const char* path, std::vector<uint8_t>* data) {
  switch (support::ReadWholeFile(path, data)) {
    case support::ReadStatus::kOk:
      return true;
    case support::ReadStatus::kCannotOpen:
    case support::ReadStatus::kNotRegular:
      fprintf(stderr, "ERR: could not open file: %s\n", path);
      return false;
    case support::ReadStatus::kReadError:
      fprintf(stderr, "ERR: read error\n");
      return false;
    case support::ReadStatus::kNoMemory:
      fprintf(stderr, "ERR: memory exhausted\n");
      return false;
  }
  return false;
}

// The output must be neither input, however it is named; a C array's name
// must be one C accepts. Both are refused before anything is read.
int CheckOutput(const Options& o, const std::string& output) {
  if (output == o.input || support::IsSameRegularFile(output, o.input)) {
    fprintf(stderr, "ERR: output file %s is same as input file\n", output.c_str());
    return kExitFailure;
  }
  if (support::IsSameRegularFile(output, o.key)) {
    fprintf(stderr, "ERR: output file %s is same as key file %s\n", output.c_str(), o.key);
    return kExitFailure;
  }
  const std::string identifier = support::PathStem(output);
  const support::CNameStatus name = o.width != 0 ? support::CheckCName(identifier) : support::CNameStatus::kValid;
  if (name != support::CNameStatus::kValid) {
    fprintf(stderr, "ERR: array name %s is %s\n", identifier.c_str(),
            name == support::CNameStatus::kKeyword ? "a C keyword" : "not a C identifier");
    return kExitFailure;
  }
  return kGoOn;
}

int Run(const Options& o) {
  const bool text = o.width != 0;
  const std::string output = o.output ? o.output : DefaultOutputPath(o.input, text);
  int status = CheckOutput(o, output);
  if (status != kGoOn) return status;

  // The input streams through in pieces; only its size is needed up front.
  support::File input;
  if (input.Open(o.input, support::File::Mode::kReadRegular) != support::File::OpenStatus::kOk) {
    fprintf(stderr, "ERR: could not open file: %s\n", o.input);
    return kExitFailure;
  }
  std::vector<uint8_t> key;
  if (!ReadInput(o.key, &key)) return kExitFailure;
  if (key.size() > kMaxKeyLength) {
    fprintf(stderr, "ERR: the key is too long\n");
    return kExitFailure;
  }
  if (key.empty()) {
    // The key schedule needs at least one key byte.
    fprintf(stderr, "ERR: the key is empty\n");
    return kExitFailure;
  }
  const uint64_t input_length = input.size();
  if (input_length == 0) {
    fprintf(stderr, "ERR: convert error\n");
    return kExitFailure;
  }

  // The padding bytes are zeros and are not encrypted.
  uint64_t length = input_length;
  if (o.align4) length = (length + 3) & ~uint64_t{3};
  if (o.width == 2 || o.width == 4) {
    const uint64_t w = static_cast<uint64_t>(o.width);
    length = (length + w - 1) / w * w;
  }

  support::OutputFile file;
  if (file.Open(output) != support::WriteStatus::kOk) {
    fprintf(stderr, "ERR: could not open file: %s\n", output.c_str());
    return kExitFailure;
  }
  rc4::State state;
  rc4::Init(&state, key.data(), key.size());
  support::CTextWriter writer([&file](const char* piece, size_t size) { return file.Write(piece, size); });
  const support::HexLayout layout = keyedbin::ArrayLayout(o.width);
  const size_t width = text ? static_cast<size_t>(o.width) : 1;
  if (text) writer.Append(keyedbin::ArrayHead(o.width, support::PathStem(output), length / width));
  // Whole elements in every piece but the last, which carries the padding.
  std::vector<uint8_t> storage(kPieceSize + 4 + kPieceAlignment);
  void* aligned = storage.data();
  size_t space = storage.size();
  uint8_t* const piece = static_cast<uint8_t*>(std::align(kPieceAlignment, kPieceSize + 4, aligned, space));
  bool written = true;
  for (uint64_t done = 0; done < input_length && written;) {
    const size_t size = static_cast<size_t>(std::min<uint64_t>(kPieceSize, input_length - done));
    if (input.Read(piece, size) != static_cast<long long>(size)) {
      fprintf(stderr, "ERR: read error\n");
      return kExitFailure;
    }
    rc4::Crypt(&state, piece, size);
    const uint64_t position = done;
    done += size;
    size_t bytes = size;
    if (done == input_length) {
      bytes += static_cast<size_t>(length - input_length);
      std::fill(piece + size, piece + bytes, uint8_t{0});
    }
    if (text) {
      writer.AppendLittleEndian(piece, bytes / width, o.width, static_cast<size_t>(position / width), layout);
      written = !writer.failed();
    } else {
      written = file.Write(piece, bytes);
    }
  }
  if (text) {
    writer.Append(keyedbin::kArrayTail);
    written = writer.Flush();
  }
  if (!written) {
    fprintf(stderr, "ERR: write error\n");
    return kExitFailure;
  }
  if (!o.silent) {
    printf("convert %s to %s (%ldbyte)\n", o.input, output.c_str(), static_cast<long>(input_length));
  }
  // A run whose message cannot be written fails, and leaves no output.
  if (!support::FlushStdout()) {
    fprintf(stderr, "ERR: write error\n");
    return kExitFailure;
  }
  switch (file.Commit()) {
    case support::WriteStatus::kOk:
      return kExitOk;
    case support::WriteStatus::kCannotOpen:
      fprintf(stderr, "ERR: could not open file: %s\n", output.c_str());
      return kExitFailure;
    case support::WriteStatus::kWriteError:
    case support::WriteStatus::kCloseError:
      break;
  }
  fprintf(stderr, "ERR: write error\n");
  return kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
  return support::ToolMain(argc, argv, ParseArgs, Run, "ERR: write error\n");
}
