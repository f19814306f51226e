// signmerge: attaches a signature block to a copy of a ROM image, at the
// image's recorded end.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "error_line.h"
#include "image_file.h"
#include "rom_header.h"
#include "signature_block.h"
#include "support/file_io.h"
#include "support/output_file.h"
#include "support/platform.h"
#include "support/tool_main.h"

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

using romtools_cli::ErrorLine;

// Loads the sign file of `path` into `sign`; a status to end with, or -1.
int LoadSignFile(const char* path, uint8_t sign[romtools::kSignFileSize]) {
  std::vector<uint8_t> data;
  if (support::ReadWholeFile(path, &data) != support::ReadStatus::kOk || data.empty()) {
    ErrorLine("load error! %s \n", path);
    return kExitFailure;
  }
  if (data.size() != romtools::kSignFileSize) {
    ErrorLine("invalid hmac file size is not %d =>%d %lld  %s \n", static_cast<int>(romtools::kSignFileSize),
              static_cast<int>(romtools::kSignatureBlockSize), static_cast<long long>(data.size()), path);
    return kExitFailure;
  }
  memcpy(sign, data.data(), romtools::kSignFileSize);
  if (!romtools::SignFileHeaderValid(sign)) {
    ErrorLine("invalid sign file header %s \n", path);
    return kExitFailure;
  }
  return -1;
}

// Reads the image's header into `header`; a status to end with, or -1.
int LoadHeader(const char* path, support::File* image, uint8_t header[romtools::kRecordedSizeEnd]) {
  if (!romtools::OpenImage(path, image) || image->size() == 0) {
    ErrorLine("load error! %s \n", path);
    return kExitFailure;
  }
  // An image too short to hold its recorded size has no usable header.
  if (image->size() < romtools::kRecordedSizeEnd) {
    ErrorLine("file format error! %s \n", path);
    return kExitFailure;
  }
  if (image->ReadAt(0, header, romtools::kRecordedSizeEnd) != static_cast<long long>(romtools::kRecordedSizeEnd)) {
    ErrorLine("load error! %s \n", path);
    return kExitFailure;
  }
  if (romtools::HeaderWord(header, romtools::kRecordedImageSize) == 0) {
    ErrorLine("file format error! %s \n", path);
    return kExitFailure;
  }
  return -1;
}

// Copies the image into `out` with the block at `recorded_size`.
romtools::CopyStatus WriteSignedImage(const support::File& image, uint64_t recorded_size, const uint8_t* block,
                                      support::OutputFile* out) {
  const uint64_t after_block = recorded_size + romtools::kSignatureBlockSize;
  romtools::CopyStatus status = romtools::CopyRange(image, 0, recorded_size, out);
  if (status == romtools::CopyStatus::kOk && !out->Write(block, romtools::kSignatureBlockSize)) {
    status = romtools::CopyStatus::kWriteError;
  }
  if (status == romtools::CopyStatus::kOk && image.size() > after_block) {
    status = romtools::CopyRange(image, after_block, image.size() - after_block, out);
  }
  return status;
}

// The end of a run whose output could not be made: what failed ("load" or
// "save") with the file it failed on, then the attach error.
int AttachError(const char* what, const char* path, const char* output) {
  ErrorLine("%s error! %s \n", what, path);
  ErrorLine("attach error %s!\n", output);
  return kExitFailure;
}

int Run(const Options& options) {
  // The copy replaces the file of its name: never a file it is made from.
  for (const char* input : {options.input, options.sign}) {
    if (input != nullptr && support::IsSameRegularFile(options.output, input)) {
      ErrorLine("error: %s is the same file as %s !\n", options.output, input);
      return kExitFailure;
    }
  }
  uint8_t sign[romtools::kSignFileSize];
  if (options.placeholder) {
    romtools::MakePlaceholderSignFile(sign);
  } else {
    const int status = LoadSignFile(options.sign, sign);
    if (status >= 0) return status;
  }

  // The image is copied a block at a time; only its header is kept.
  support::File image;
  uint8_t header[romtools::kRecordedSizeEnd];
  const int status = LoadHeader(options.input, &image, header);
  if (status >= 0) return status;
  const uint64_t recorded_size = romtools::HeaderWord(header, romtools::kRecordedImageSize);
  if (!options.placeholder) {
    switch (romtools::CompareIdentity(header, sign)) {
      case romtools::IdentityCheck::kMatch:
        break;
      case romtools::IdentityCheck::kGameTitle:
        ErrorLine("does not match game name !\n");
        return kExitFailure;
      case romtools::IdentityCheck::kGameCode:
        ErrorLine("does not match game code !\n");
        return kExitFailure;
      case romtools::IdentityCheck::kMakerCode:
        ErrorLine("does not match maker code !\n");
        return kExitFailure;
    }
  }
  uint64_t output_size = 0;
  switch (romtools::ApplySizeRule(image.size(), recorded_size, &output_size)) {
    case romtools::SizeRule::kTooSmall:
      ErrorLine("error: invalid rom size !\n");
      return kExitFailure;
    case romtools::SizeRule::kAppend:
      break;
    case romtools::SizeRule::kPadShort:
      printf("pad..?? \n");
      break;
    case romtools::SizeRule::kOverwrite:
      printf("pad\n");
      break;
  }

  support::OutputFile out;
  if (out.Open(options.output) != support::WriteStatus::kOk) {
    return AttachError("save", options.output, options.output);
  }
  switch (WriteSignedImage(image, recorded_size, sign, &out)) {
    case romtools::CopyStatus::kOk:
      break;
    case romtools::CopyStatus::kReadError:
      return AttachError("load", options.input, options.output);
    case romtools::CopyStatus::kWriteError:
      return AttachError("save", options.output, options.output);
  }
  // The output is kept only once standard output has taken every line.
  printf("attach success! %s\n", options.output);
  if (!support::FlushStdout()) return AttachError("save", "stdout", options.output);
  if (out.Commit() != support::WriteStatus::kOk) return AttachError("save", options.output, options.output);
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) { return support::ToolMain(argc, argv, ParseArgs, Run, "save error! stdout \n"); }
