// signmerge: attaches a signature block to a copy of a ROM image, at the
// image's recorded end.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "image_file.h"
#include "rom_header.h"
#include "signature_block.h"
#include "support/file_io.h"
#include "support/output_file.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 255;  // -1

struct Options {
  bool placeholder = false;  // -D
  const char* input = nullptr;
  const char* sign = nullptr;
  const char* output = nullptr;
};

int ParseArgs(int argc, char** argv, Options* options) {
  if (argc != 4) {
    fprintf(stderr, "%s [INPUT file] [SIGN file] [OUTPUT file]\n", argv[0]);
    fprintf(stderr, "%s -D [INPUT file] [OUTPUT file]\n", argv[0]);
    return kExitFailure;
  }
  if (strcmp(argv[1], "-D") == 0) {
    options->placeholder = true;
    options->input = argv[2];
  } else {
    options->input = argv[1];
    options->sign = argv[2];
  }
  options->output = argv[3];
  return -1;
}

int Fail(const char* message) {
  fflush(stdout);
  fputs(message, stderr);
  return kExitFailure;
}

// Loads the sign file of `path` into `sign`; a status to end with, or -1.
int LoadSignFile(const char* path, uint8_t sign[romtools::kSignFileSize]) {
  std::vector<uint8_t> data;
  if (support::ReadWholeFile(path, &data) != support::ReadStatus::kOk || data.empty()) {
    fprintf(stderr, "load error! %s \n", path);
    return kExitFailure;
  }
  if (data.size() != romtools::kSignFileSize) {
    fprintf(stderr, "invalid hmac file size is not %d =>%d %ld  %s \n", static_cast<int>(romtools::kSignFileSize),
            static_cast<int>(romtools::kSignatureBlockSize), static_cast<long>(data.size()), path);
    return kExitFailure;
  }
  memcpy(sign, data.data(), romtools::kSignFileSize);
  if (!romtools::SignFileHeaderValid(sign)) {
    fprintf(stderr, "invalid sign file header %s \n", path);
    return kExitFailure;
  }
  return -1;
}

// Copies the image with the block at `recorded_size`; false when the output
// could not be written (nothing is then left under its name).
bool WriteSignedImage(const romtools::ImageFile& image, uint64_t recorded_size, const uint8_t* block,
                      const char* path, bool* read_failed) {
  support::OutputFile out;
  if (out.Open(path) != support::WriteStatus::kOk) return false;
  const uint64_t after_block = recorded_size + romtools::kSignatureBlockSize;
  romtools::CopyStatus status = romtools::CopyRange(image, 0, recorded_size, &out);
  if (status == romtools::CopyStatus::kOk && !out.Write(block, romtools::kSignatureBlockSize)) {
    status = romtools::CopyStatus::kWriteError;
  }
  if (status == romtools::CopyStatus::kOk && image.size() > after_block) {
    status = romtools::CopyRange(image, after_block, image.size() - after_block, &out);
  }
  if (status != romtools::CopyStatus::kOk) {
    *read_failed = status == romtools::CopyStatus::kReadError;
    return false;
  }
  return out.Commit() == support::WriteStatus::kOk;
}

int Run(const Options& options) {
  uint8_t sign[romtools::kSignFileSize];
  if (options.placeholder) {
    romtools::MakePlaceholderSignFile(sign);
  } else {
    const int status = LoadSignFile(options.sign, sign);
    if (status >= 0) return status;
  }

  // The image is copied a block at a time; only its header is kept.
  romtools::ImageFile image;
  uint8_t header[romtools::kRecordedSizeEnd];
  if (!image.Open(options.input) || image.size() == 0) {
    fprintf(stderr, "load error! %s \n", options.input);
    return kExitFailure;
  }
  const uint64_t image_size = image.size();
  // An image too short to hold its recorded size has no usable header.
  if (image_size < sizeof header) {
    fprintf(stderr, "file format error! %s \n", options.input);
    return kExitFailure;
  }
  if (image.ReadAt(0, header, sizeof header) != static_cast<ssize_t>(sizeof header)) {
    fprintf(stderr, "load error! %s \n", options.input);
    return kExitFailure;
  }
  const uint64_t recorded_size = romtools::HeaderWord(header, romtools::kRecordedImageSize);
  if (recorded_size == 0) {
    fprintf(stderr, "file format error! %s \n", options.input);
    return kExitFailure;
  }
  if (!options.placeholder) {
    switch (romtools::CompareIdentity(header, sign)) {
      case romtools::IdentityCheck::kMatch:
        break;
      case romtools::IdentityCheck::kGameTitle:
        return Fail("does not match game name !\n");
      case romtools::IdentityCheck::kGameCode:
        return Fail("does not match game code !\n");
      case romtools::IdentityCheck::kMakerCode:
        return Fail("does not match maker code !\n");
    }
  }
  uint64_t output_size = 0;
  switch (romtools::ApplySizeRule(image_size, recorded_size, &output_size)) {
    case romtools::SizeRule::kTooSmall:
      return Fail("error: invalid rom size !\n");
    case romtools::SizeRule::kAppend:
      break;
    case romtools::SizeRule::kPadShort:
      printf("pad..?? \n");
      break;
    case romtools::SizeRule::kOverwrite:
      printf("pad\n");
      break;
  }

  bool read_failed = false;
  if (!WriteSignedImage(image, recorded_size, sign, options.output, &read_failed)) {
    fflush(stdout);
    if (read_failed) {
      fprintf(stderr, "load error! %s \n", options.input);
    } else {
      fprintf(stderr, "save error! %s \n", options.output);
    }
    fprintf(stderr, "attach error %s!\n", options.output);
    return kExitFailure;
  }
  printf("attach success! %s\n", options.output);
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  int status = ParseArgs(argc, argv, &options);
  if (status < 0) status = Run(options);
  status = support::CloseStdout(status, "save error! stdout \n");
  return status == 1 ? kExitFailure : status;  // every failure is -1
}
