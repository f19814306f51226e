#include "parmsink_cli.h"

#include <getopt.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "arg_buffer.h"
#include "image_io.h"
#include "support/byte_order.h"
#include "support/output_file.h"
#include "support/platform.h"

namespace argbury {
namespace {

int Fail(const char* message) {
  std::fflush(stdout);
  std::fputs("Error: parmsink: ", stderr);
  std::fputs(message, stderr);
  return kExitError;
}

int Usage(const Generation& g) {
  std::printf(
      "%s\n"
      "%s\n"
      "Options:\n"
      "  --version           : Show version.\n"
      "  -h, --help          : Show this help.\n"
      "  -q, --quiet         : Quiet mode.\n"
      "  -v, --verbose       : Verbose mode.\n"
      "  -r, --remain        : Remain original file.\n"
      "  -o, --output=FILE   : Output file (default: srcfile.argAdded)\n"
      "                        if \"-\" is specified, output to stdout.\n"
      "      --stdout        : Mean '-o-' .\n"
      "  -f, --file=FILE     : Specify replacement buffer data.\n"
      "                        This is used instead of data from arguments.\n"
      "  -d, --debug         : Debug mode. Show replacement buffer.\n",
      g.usage_line, g.purpose_line);
  return kExitUsage;
}

// Skips the one "=" that may lead an option value (so -o=out means out).
const char* OptionValue(const char* value) { return value[0] == '=' ? value + 1 : value; }

enum LongOnly { kOptVersion = 0x100, kOptStdout };

// One input of the run: the name it was given by and a path that still
// finds it after the list's folder has become the working folder.
struct Input {
  std::string name;
  std::string path;
};

// The steps after the scan. The source image (or list) is checked and the
// arguments packed before anything is created or changed; in place, the
// image changes only by the one final write, and a copy is kept only once
// standard output has taken everything.
class Burier {
 public:
  Burier(const Generation& g, const Options& o) : g_(g), o_(o) {}
  int Run();

 private:
  int CheckSource();
  int PackOperands();
  int ReadReplacement();
  int ChooseOutput();
  int OpenOutput();
  int EnterListDirectory();
  int RefuseInputAsOutput();
  int LocateArea(const support::File& image, uint64_t* at, size_t* count);
  int WriteInPlace(support::File* image, uint64_t at, size_t count);
  int WriteCopy(support::File* image, uint64_t at, size_t count);
  bool ReportSuccess() const;

  const Generation& g_;
  const Options& o_;
  std::unique_ptr<ArgBuffer> buffer_ = std::make_unique<ArgBuffer>();
  bool list_mode_ = false;
  ListContents list_;
  std::string source_;
  std::vector<Input> inputs_;  // the list file and the replacement file, as read
  bool to_stdout_ = false;
  std::string output_name_;  // as the user knows it
  std::string output_path_;
  ByteSink sink_;        // copy mode: where the copy goes
  uint64_t copied_ = 0;  // bytes handed to it
  support::OutputFile output_;
};

// The list's folder becomes the working folder later on: a path named
// relative to the starting folder is kept from the root.
Input InputNamed(const char* name, bool list_mode) {
  return {name, list_mode ? support::AbsolutePath(name) : std::string(name)};
}

int Burier::CheckSource() {
  source_ = o_.operands[0];
  support::File file;
  if (file.Open(source_, support::File::Mode::kReadRegular) != support::File::OpenStatus::kOk) {
    return Fail("cannot open binary file.\n");
  }
  uint8_t head[32];
  const long long n = file.Read(head, sizeof head);
  if (n < 0) return Fail("cannot open binary file.\n");
  if (n >= 4 && std::memcmp(head, g_.foreign_list_magic, 4) == 0) return Fail(g_.foreign_list_error);
  if (n >= 4 && std::memcmp(head, g_.list_magic, 4) == 0) {
    list_mode_ = true;
    inputs_.push_back(InputNamed(o_.operands[0], true));
    const ListStatus status = ReadListFile(file, g_.list_rules, buffer_.get(), &list_);
    if (status == ListStatus::kTooLong) return Fail("arguments too long.\n");
    if (status == ListStatus::kReadError) return Fail("cannot open binary file.\n");
    if (status != ListStatus::kOk) return Fail(g_.illegal_list_error);
    source_ = list_.source;
    return -1;
  }
  // Bit 1 of the game code's first byte marks an image that takes arguments.
  constexpr size_t kGameCode = 0x0C;
  if (n < 32 || (head[kGameCode] & 0x02) == 0) return Fail(g_.not_for_rom_error);
  return -1;
}

int Burier::PackOperands() {
  bool packed = list_mode_ || PackString(buffer_.get(), FileNameOf(o_.operands[0]));
  for (int i = 1; packed && i < o_.operand_count; ++i) packed = PackString(buffer_.get(), o_.operands[i]);
  if (!packed || !PackString(buffer_.get(), "")) return Fail("arguments too long.\n");
  return -1;
}

int Burier::ReadReplacement() {
  if (o_.verbose) std::printf("replacement file    : %s\n", o_.replacement);
  support::File file;
  if (file.Open(o_.replacement, support::File::Mode::kReadRegular) != support::File::OpenStatus::kOk) {
    return Fail("cannot open replacement file.\n");
  }
  inputs_.push_back(InputNamed(o_.replacement, list_mode_));
  if (o_.verbose) {
    std::printf("replacement file size is 0x%llx byte (%lld byte).\n", static_cast<unsigned long long>(file.size()),
                static_cast<long long>(file.size()));
  }
  // The file takes the packed arguments' place; the fill position stays.
  buffer_->bytes.fill(0);
  const long long n = file.Read(buffer_->bytes.data(), buffer_->bytes.size());
  if (n < 0) return Fail("cannot open replacement file.\n");
  if (static_cast<size_t>(n) == buffer_->bytes.size() && !o_.quiet) {
    std::printf("warning: replacement file is bigger than required size.");
  }
  return -1;
}

int Burier::ChooseOutput() {
  std::string path;
  if (o_.output != nullptr) {
    path = o_.output;
    to_stdout_ = path[0] == '-';
  } else {
    // Beside the image; in list mode the image is named relative to the list's folder.
    path = source_ + ".argAdded";
    if (list_mode_ && list_.has_directory && !support::IsAbsolutePath(path)) {
      path = support::JoinPath(list_.directory, path);
    }
  }
  if (o_.verbose) {
    if (to_stdout_) {
      std::printf("destination         : stdout\n");
    } else {
      std::printf("destination bin file: %s\n", path.c_str());
    }
  }
  if (to_stdout_) return -1;
  output_name_ = path;
  // The list's folder becomes the working folder next: an output named
  // relative to the folder the tool was started in must stay there.
  if (list_mode_ && !support::IsAbsolutePath(path)) {
    const std::string folder = support::CurrentFolder();
    if (folder.empty()) return Fail("cannot open output file.\n");
    path = support::JoinPath(folder, path);
  }
  output_path_ = path;
  return -1;
}

int Burier::EnterListDirectory() {
  if (!list_.has_directory) return -1;  // paths stay relative to the working folder
  if (o_.verbose) std::printf("%s%s\n", g_.list_directory_lead, list_.directory.c_str());
  if (!support::ChangeFolder(list_.directory)) return Fail(g_.illegal_list_error);
  return -1;
}

// A copy written over one of the files it is made from would destroy it:
// the image, the list or the replacement file, however the output is named.
int Burier::RefuseInputAsOutput() {
  if (to_stdout_) return -1;
  inputs_.push_back({source_, source_});
  for (const Input& input : inputs_) {
    if (support::IsSameRegularFile(output_path_, input.path)) {
      const std::string message =
          "output file '" + output_name_ + "' is the same file as '" + input.name + "'.\n";
      return Fail(message.c_str());
    }
  }
  return -1;
}

int Burier::OpenOutput() {
  if (to_stdout_) {
    support::SetBinaryMode(stdout);
    sink_ = support::WriteStandardOutput;
    return -1;
  }
  if (output_.Open(output_path_) != support::WriteStatus::kOk) return Fail("cannot open output file.\n");
  sink_ = [this](const uint8_t* data, size_t size) { return output_.Write(data, size); };
  return -1;
}

int Burier::LocateArea(const support::File& image, uint64_t* at, size_t* count) {
  const uint64_t file_size = image.size();
  if (!g_.area_by_marker) {
    *at = g_.fixed_area_offset;
    // A copy replaces only the packed bytes; in place the whole area is
    // written. A list longer than the area would lose its closing NULs in
    // place and overwrite the image past the area in a copy: it is refused
    // either way. In place a replacement file fills the area, however long.
    *count = o_.in_place ? g_.fixed_area_size : buffer_->fill;
    const bool list_written = !o_.in_place || o_.replacement == nullptr;
    if (list_written && buffer_->fill > g_.fixed_area_size) return Fail("arguments too long.\n");
    // The area must lie inside the image: the image is never made longer.
    if (file_size < *at + g_.fixed_area_size) return Fail("bad argument mark position.\n");
    return -1;
  }
  // A copy under a temporary name can take the bytes before the marker as
  // the search passes them: nothing is kept unless every check passes. A
  // copy written through (standard output, a device) gets nothing early.
  const bool copy_early = !o_.in_place && !to_stdout_ && !output_.writes_through();
  uint64_t marker = 0;
  const IoStatus found = FindMarkerInFile(image, &marker, copy_early ? &sink_ : nullptr, &copied_);
  if (found == IoStatus::kReadError) return Fail("cannot read binary file.\n");
  if (found == IoStatus::kWriteError) return Fail("cannot write output file.\n");
  if (found != IoStatus::kOk) return Fail("cannot replace because bin file has no argument id string.\n");
  if (o_.verbose) {
    std::printf("found argument identification string at 0x%llx byte from top.\n",
                static_cast<unsigned long long>(marker));
  }
  // After the marker: two bytes unused, the 16-bit buffer size, the buffer.
  *at = marker + 20;
  uint8_t size_bytes[2];
  const long long n = image.ReadAt(*at - 2, size_bytes, sizeof size_bytes);
  if (n < 0) return Fail("cannot read binary file.\n");
  if (n < 2) return Fail("bad argument size.\n");
  *count = support::LoadLe16(size_bytes);
  if (o_.verbose) std::printf("buffer size = 0x%zx byte\n", *count);
  // Two bytes at least, for the closing NULs; all of them inside the image.
  if (*count < 2 || file_size < *at + *count) return Fail("bad argument size.\n");
  buffer_->bytes[*count - 2] = 0;
  buffer_->bytes[*count - 1] = 0;
  return -1;
}

// "Success." (unless quiet) and everything before it reached standard output.
bool Burier::ReportSuccess() const {
  if (to_stdout_) {
    // The image went out in binary mode; the words after it are text again.
    std::fflush(stdout);
    support::SetTextMode(stdout);
  }
  if (!o_.quiet) std::printf("Success.\n");
  return support::FlushStdout();
}

int Burier::WriteInPlace(support::File* image, uint64_t at, size_t count) {
  // A write that stops part of the way (a full disk, a file size limit), or
  // a standard output that fails after it, puts the area's old bytes back:
  // the image is never left half changed, nor changed by a failed run.
  std::vector<uint8_t> old(count);
  if (image->ReadAt(at, old.data(), count) != static_cast<long long>(count)) {
    return Fail("cannot read binary file.\n");
  }
  if (!image->WriteAt(at, buffer_->bytes.data(), count)) {
    image->WriteAt(at, old.data(), count);
    return Fail("cannot write binary file.\n");
  }
  if (o_.verbose) std::printf("replaced 0x%zx byte.\n", count);
  if (!ReportSuccess()) {
    image->WriteAt(at, old.data(), count);
    return Fail("cannot write standard output.\n");
  }
  if (!image->Close()) return Fail("cannot write binary file.\n");
  return kExitOk;
}

int Burier::WriteCopy(support::File* image, uint64_t at, size_t count) {
  const IoStatus status = CopyWithArea(*image, copied_, at, buffer_->bytes.data(), count, sink_, &copied_);
  if (status == IoStatus::kReadError) return Fail("cannot read binary file.\n");
  if (status != IoStatus::kOk) return Fail("cannot write output file.\n");
  if (o_.verbose) {
    std::printf("output 0x%llx byte (%lld byte).\n", static_cast<unsigned long long>(copied_),
                static_cast<long long>(copied_));
  }
  if (!image->Close()) return Fail("cannot read binary file.\n");
  // An output file is kept only when standard output took everything too;
  // otherwise it goes with the writer.
  if (!ReportSuccess()) return Fail("cannot write standard output.\n");
  if (!to_stdout_ && output_.Commit() != support::WriteStatus::kOk) return Fail("cannot write output file.\n");
  return kExitOk;
}

int Burier::Run() {
  int status = CheckSource();
  if (status < 0) status = PackOperands();
  if (status < 0 && o_.replacement != nullptr) status = ReadReplacement();
  if (status < 0 && !o_.in_place) status = ChooseOutput();
  // A list whose folder cannot be entered is refused before the output is made.
  if (status < 0 && list_mode_) status = EnterListDirectory();
  if (status < 0 && !o_.in_place) status = RefuseInputAsOutput();
  if (status < 0 && !o_.in_place) status = OpenOutput();
  if (status >= 0) return status;
  if (o_.verbose) std::printf("original bin file   : %s\n", source_.c_str());
  // In place, a write past a file size limit must fail (and the old bytes go
  // back), not end the program half way through the area.
  if (o_.in_place) support::SetAsideFileSizeSignal();
  support::File image;
  const auto mode = o_.in_place ? support::File::Mode::kReadWriteRegular : support::File::Mode::kReadRegular;
  if (image.Open(source_, mode) != support::File::OpenStatus::kOk) return Fail("cannot open binary file.\n");
  if (o_.debug) std::fputs(FormatDump(buffer_->bytes.data()).c_str(), stdout);
  uint64_t at = 0;
  size_t count = 0;
  status = LocateArea(image, &at, &count);
  if (status >= 0) return status;
  return o_.in_place ? WriteInPlace(&image, at, count) : WriteCopy(&image, at, count);
}

}  // namespace

int ParseArgs(const Generation& g, int argc, char** argv, Options* o) {
  static const option kLongOptions[] = {
      {"version", no_argument, nullptr, kOptVersion},
      {"help", no_argument, nullptr, 'h'},
      {"quiet", no_argument, nullptr, 'q'},
      {"verbose", no_argument, nullptr, 'v'},
      {"replacement", no_argument, nullptr, 'r'},
      {"output", required_argument, nullptr, 'o'},
      {"stdout", no_argument, nullptr, kOptStdout},
      {"file", required_argument, nullptr, 'f'},
      {"debug", no_argument, nullptr, 'd'},
      {nullptr, 0, nullptr, 0},
  };
  opterr = 0;
  int c;
  while ((c = getopt_long(argc, argv, "+hqvrdo:f:", kLongOptions, nullptr)) != -1) {
    switch (c) {
      case kOptVersion:
        std::printf("%s\nBuild %lu\n", g.banner, g.build_number);
        return kExitUsage;
      case 'h':
        o->help = true;
        break;
      case 'q':
        o->quiet = true;
        break;
      case 'v':
        o->verbose = true;
        break;
      case 'r':
        o->in_place = false;
        break;
      case 'd':
        o->debug = true;
        break;
      case 'o':
        o->output = OptionValue(optarg);
        o->in_place = false;
        if (o->output[0] == '\0') return Fail("output file is not specified.\n");
        break;
      case kOptStdout:
        o->output = "-";
        o->in_place = false;
        break;
      case 'f':
        o->replacement = OptionValue(optarg);
        if (o->replacement[0] == '\0') return Fail("replacement file is not specified.\n");
        break;
      default:
        return Fail("unknown option or invalid usage. try --help.\n");
    }
  }
  if (o->help || optind >= argc) return Usage(g);
  o->operands = argv + optind;
  o->operand_count = argc - optind;
  return -1;
}

int Run(const Generation& g, const Options& o) { return Burier(g, o).Run(); }

}  // namespace argbury
