// parser: translates resource description files into the C tables of the
// environment-resource module.
#include <fcntl.h>
#include <getopt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "resource_parser.h"
#include "support/file_io.h"
#include "support/output_file.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitScanner = 2;  // the description could not be read

struct Options {
  std::string output;
  bool output_given = false;
  std::vector<std::string> inputs;
};

int Usage() {
  fputs("Usage: parser [OPTION]... RESOURCE_FILE\n", stdout);
  fputs("\n", stdout);
  fputs("Options:\n", stdout);
  fputs("  -o         : Output C filename.\n", stdout);
  return kExitFailure;
}

// Returns -1 to go on, or an exit status.
int ParseArgs(int argc, char** argv, Options* o) {
  int c;
  while ((c = getopt(argc, argv, "s:o:n:")) != -1) {
    switch (c) {
      case 'o':
        printf("output = %s\n", optarg);
        o->output = optarg;
        o->output_given = true;
        break;
      default:  // -s and -n do nothing; anything else got getopt's diagnostic
        return Usage();
    }
  }
  if (optind >= argc) return Usage();
  for (int i = optind; i < argc; ++i) o->inputs.push_back(argv[i]);
  if (!o->output_given) {
    o->output = "./result.c";
    printf("output = %s\n", o->output.c_str());
  }
  return -1;
}

// Generated text goes to the output file in large pieces.
class FileSink : public resparser::TextSink {
 public:
  explicit FileSink(support::OutputFile* file) : file_(file) {}
  void Write(const char* data, size_t size) override {
    if (buffer_.size() + size < kFlushSize) {
      buffer_.append(data, size);
      return;
    }
    Flush();
    file_->Write(data, size);
  }
  void Flush() {
    file_->Write(buffer_.data(), buffer_.size());
    buffer_.clear();
  }

 private:
  static constexpr size_t kFlushSize = 1 << 16;
  support::OutputFile* file_;
  std::string buffer_;
};

class DiskFiles : public resparser::FileReader {
 public:
  resparser::FileStatus Copy(const std::string& name, resparser::TextSink* out) override {
    std::vector<uint8_t> data;
    switch (support::ReadWholeFile(name, &data)) {
      case support::ReadStatus::kOk:
        out->Write(reinterpret_cast<const char*>(data.data()), data.size());
        return resparser::FileStatus::kOk;
      case support::ReadStatus::kCannotOpen:
      case support::ReadStatus::kNotRegular:
        return resparser::FileStatus::kCannotOpen;
      case support::ReadStatus::kReadError:
      case support::ReadStatus::kNoMemory:
        break;
    }
    return resparser::FileStatus::kReadError;
  }
};

// True when `a` and `b` name the same existing regular file.
bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && S_ISREG(sa.st_mode) && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// Puts the complete output file in place; a failure when it could not be
// completed.
int Finish(FileSink* sink, support::OutputFile* file) {
  sink->Flush();
  if (file->Commit() != support::WriteStatus::kOk) {
    fputs("fclose ERROR!\n", stderr);
    return kExitFailure;
  }
  return kExitOk;
}

// Opens a description for reading; -1 when it cannot be opened or is a
// folder. A pipe is read like a file.
int OpenDescription(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (fd >= 0 && (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode))) {
    close(fd);
    return -1;
  }
  return fd;
}

int Run(const Options& o) {
  // The description must not be truncated before it is read.
  for (const std::string& input : o.inputs) {
    if (SameFile(o.output, input)) {
      fprintf(stderr, "Error: output file \"%s\" is the input file \"%s\".\n", o.output.c_str(), input.c_str());
      return kExitFailure;
    }
  }
  // What was printed comes first when the output is standard output itself.
  fflush(stdout);
  // Put in place only by Finish(): a failed run returns without it, and the
  // file is abandoned, so an old output stays as it was (a partial table
  // would pass for a fresh one with make) and none is made.
  support::OutputFile file;
  if (file.Open(o.output) != support::WriteStatus::kOk) {
    fputs("fopen ERROR!\n", stderr);
    return kExitFailure;
  }
  FileSink sink(&file);
  resparser::WriteIncludeLine(&sink);

  resparser::TranslationState state;
  DiskFiles files;
  for (const std::string& input : o.inputs) {
    int fd = OpenDescription(input);
    if (fd < 0) {
      fprintf(stderr, "Error: cannot open input file \"%s\".\n", input.c_str());
      return kExitFailure;
    }
    resparser::FdSource source(fd);
    std::string failed_file;
    resparser::ParseStatus status = resparser::ParseDescription(&source, &sink, &files, &state, &failed_file);
    close(fd);
    switch (status) {
      case resparser::ParseStatus::kOk:
        break;
      case resparser::ParseStatus::kSyntaxError:
        printf("%s line %lld\n", "syntax error", state.scan.line);
        printf("near %s\n", state.scan.has_last_text ? state.scan.last_text.c_str() : "(start of input)");
        fputs("\n", stderr);
        return kExitFailure;
      case resparser::ParseStatus::kFileOpenError:
        fprintf(stderr, "file \"%s\" open error!\n", failed_file.c_str());
        return kExitFailure;
      case resparser::ParseStatus::kFileReadError:
        fprintf(stderr, "file \"%s\" read error!\n", failed_file.c_str());
        return kExitFailure;
      case resparser::ParseStatus::kReadError:
        fputs("input in flex scanner failed\n", stderr);
        return kExitScanner;
      case resparser::ParseStatus::kNoMemory:
        fputs("scanner ERROR! out of memory\n", stderr);
        return kExitScanner;
    }
  }
  resparser::WriteArrayBlock(state, &sink);
  int status = Finish(&sink, &file);
  if (status == kExitOk) fputs("finish!!\n", stdout);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  int status = ParseArgs(argc, argv, &o);
  if (status < 0) status = Run(o);
  return support::CloseStdout(status, "stdout write ERROR!\n");
}
