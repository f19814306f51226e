// keyedbin: encrypts a file with RC4 under a key file and writes the result as
// raw bytes or as a C array of u8, u16 or u32 elements.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "c_array_text.h"
#include "rc4.h"
#include "support/file_io.h"
#include "support/output_file.h"
#include "support/text_parse.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 1;
constexpr int kGoOn = -1;
constexpr size_t kMaxKeyLength = 16;

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

int Run(const Options& o) {
  bool text = o.width != 0;
  std::string output = o.output ? o.output : DefaultOutputPath(o.input, text);
  if (output == o.input) {
    fprintf(stderr, "ERR: output file %s is same as input file\n", output.c_str());
    return kExitFailure;
  }

  std::vector<uint8_t> data;
  if (!ReadInput(o.input, &data)) return kExitFailure;
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
  if (data.empty()) {
    fprintf(stderr, "ERR: convert error\n");
    return kExitFailure;
  }

  const size_t input_length = data.size();
  Rc4State state;
  Rc4Init(&state, key.data(), key.size());
  Rc4Crypt(&state, data.data(), data.size());

  // The padding bytes are zeros and are not encrypted.
  size_t length = input_length;
  if (o.align4) length = (length + 3) & ~size_t{3};
  if (o.width == 2 || o.width == 4) {
    size_t w = static_cast<size_t>(o.width);
    length = (length + w - 1) / w * w;
  }
  data.resize(length, 0);

  support::WriteStatus written;
  if (text) {
    // The text is several times the size of the data: it streams out.
    support::OutputFile file;
    written = file.Open(output);
    if (written == support::WriteStatus::kOk) {
      crypto::WriteCArrayText(data.data(), data.size(), o.width, support::PathStem(output),
                              [&file](const char* piece, size_t size) { return file.Write(piece, size); });
      written = file.Commit();
    }
  } else {
    written = support::WriteOutputFile(output, data.data(), data.size());
  }
  if (written == support::WriteStatus::kCannotOpen) {
    fprintf(stderr, "ERR: could not open file: %s\n", output.c_str());
    return kExitFailure;
  }
  if (written == support::WriteStatus::kWriteError || written == support::WriteStatus::kCloseError) {
    fprintf(stderr, "ERR: write error\n");
    return kExitFailure;
  }
  if (!o.silent) {
    printf("convert %s to %s (%ldbyte)\n", o.input, output.c_str(), static_cast<long>(input_length));
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  int status = ParseArgs(argc, argv, &o);
  if (status < 0) status = Run(o);
  return support::CloseStdout(status, "ERR: write error\n");
}
