// parser: translates resource description files into the C tables of the
// environment-resource module.
#include <getopt.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "dependency_file.h"
#include "resource_parser.h"
#include "support/c_text.h"
#include "support/file_io.h"
#include "support/output_file.h"
#include "support/platform.h"
#include "support/text_parse.h"
#include "support/tool_main.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitScanner = 2;  // the description could not be read
constexpr int kDepfileOption = 256;  // --depfile, which has no short form

struct Options {
  std::string output;
  bool output_given = false;
  std::string depfile;  // empty: none is written
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
  static const option kLongOptions[] = {{"depfile", required_argument, nullptr, kDepfileOption},
                                        {nullptr, 0, nullptr, 0}};
  int c;
  while ((c = getopt_long(argc, argv, "s:o:n:", kLongOptions, nullptr)) != -1) {
    switch (c) {
      case 'o':
        printf("output = %s\n", optarg);
        o->output = optarg;
        o->output_given = true;
        break;
      case kDepfileOption:
        o->depfile = optarg;
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

// Copies the files of BINARY entries and keeps their names, as the
// description spells them, in their order (the dependency rule names a file
// once, however often it comes).
class DiskFiles : public resparser::FileReader {
 public:
  resparser::FileStatus Copy(const std::string& name, support::CTextWriter* out) override {
    std::vector<uint8_t> data;
    switch (support::ReadWholeFile(name, &data)) {
      case support::ReadStatus::kOk:
        names_.push_back(name);
        out->Append(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
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
  const std::vector<std::string>& names() const { return names_; }

 private:
  std::vector<std::string> names_;
};

// The refusal of an output that would replace one of the run's inputs.
int OutputIsInput(const std::string& output, const std::string& input) {
  fprintf(stderr, "Error: output file \"%s\" is the input file \"%s\".\n", output.c_str(), input.c_str());
  return kExitFailure;
}

// The first of `inputs` that `output` names, or null.
const std::string* InputNamedBy(const std::string& output, const std::vector<std::string>& inputs) {
  for (const std::string& input : inputs) {
    if (support::IsSameRegularFile(output, input)) return &input;
  }
  return nullptr;
}

// True when two outputs name one file: the same file when they exist, else
// the same name in the same folder.
bool SameOutput(const std::string& a, const std::string& b) {
  if (support::IsSameRegularFile(a, b)) return true;
  if (support::StatFile(a) != support::FileKind::kMissing || support::StatFile(b) != support::FileKind::kMissing) {
    return false;
  }
  size_t begin_a = 0, begin_b = 0, length = 0;
  support::PathStemRange(a, &begin_a, &length);
  support::PathStemRange(b, &begin_b, &length);
  support::FileIdentity folder_a, folder_b;
  return a.compare(begin_a, std::string::npos, b, begin_b, std::string::npos) == 0 &&
         support::StatFile(support::PathFolder(a), &folder_a) == support::FileKind::kDirectory &&
         support::StatFile(support::PathFolder(b), &folder_b) == support::FileKind::kDirectory && folder_a == folder_b;
}

// The words of a failure reported as a syntax error is, with its line and
// the last word read; null for the others.
const char* ErrorAtLine(resparser::ParseStatus status) {
  switch (status) {
    case resparser::ParseStatus::kSyntaxError: return "syntax error";
    case resparser::ParseStatus::kNotIdentifier: return "resource name is not a C identifier";
    case resparser::ParseStatus::kKeyword: return "resource name is a C keyword";
    case resparser::ParseStatus::kReservedName: return "resource name is reserved";
    case resparser::ParseStatus::kDuplicateName: return "duplicate resource name";
    default: return nullptr;
  }
}

// Reports a description that failed to translate, in the parser's words.
int ParseFailure(resparser::ParseStatus status, const resparser::TranslationState& state,
                 const std::string& failed_file) {
  if (const char* error = ErrorAtLine(status)) {
    printf("%s line %lld\n", error, state.scan.line);
    printf("near %s\n", state.scan.has_last_text ? state.scan.last_text.c_str() : "(start of input)");
    fputs("\n", stderr);
    return kExitFailure;
  }
  switch (status) {
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
    default:
      return kExitOk;
  }
}

// Opens and fills the dependency file of a run that has succeeded so far;
// committed by the caller with the output.
int WriteDepfile(const Options& o, const std::vector<std::string>& binary_files, support::OutputFile* file) {
  std::vector<std::string> prerequisites = o.inputs;
  prerequisites.insert(prerequisites.end(), binary_files.begin(), binary_files.end());
  std::string text;
  std::string unwritable;
  if (!resparser::DependencyRule(o.output, prerequisites, &text, &unwritable)) {
    fprintf(stderr, "Error: \"%s\" cannot be named in a dependency file.\n", unwritable.c_str());
    return kExitFailure;
  }
  if (file->Open(o.depfile) != support::WriteStatus::kOk || !file->Write(text.data(), text.size())) {
    fprintf(stderr, "Error: cannot write dependency file \"%s\".\n", o.depfile.c_str());
    return kExitFailure;
  }
  return kExitOk;
}

int Run(const Options& o) {
  // No description is replaced before it is read, nor after.
  if (const std::string* input = InputNamedBy(o.output, o.inputs)) return OutputIsInput(o.output, *input);
  if (!o.depfile.empty()) {
    if (const std::string* input = InputNamedBy(o.depfile, o.inputs)) return OutputIsInput(o.depfile, *input);
    if (SameOutput(o.depfile, o.output)) {
      fprintf(stderr, "Error: dependency file \"%s\" is the output file \"%s\".\n", o.depfile.c_str(),
              o.output.c_str());
      return kExitFailure;
    }
  }
  // What was printed comes first when the output is standard output itself.
  fflush(stdout);
  // Put in place only once the whole run has succeeded: a failed run
  // returns without it, and the file is abandoned, so an old output stays as
  // it was (a partial table would pass for a fresh one with make) and none
  // is made.
  support::OutputFile file;
  if (file.Open(o.output) != support::WriteStatus::kOk) {
    fputs("fopen ERROR!\n", stderr);
    return kExitFailure;
  }
  support::CTextWriter writer([&file](const char* data, size_t size) { return file.Write(data, size); });
  resparser::WriteIncludeLine(&writer);

  resparser::TranslationState state;
  DiskFiles files;
  for (const std::string& input : o.inputs) {
    support::File description;
    if (description.Open(input, support::File::Mode::kReadAny) != support::File::OpenStatus::kOk) {
      fprintf(stderr, "Error: cannot open input file \"%s\".\n", input.c_str());
      return kExitFailure;
    }
    resparser::FileSource source(&description);
    std::string failed_file;
    const resparser::ParseStatus status = resparser::ParseDescription(&source, &writer, &files, &state, &failed_file);
    if (status != resparser::ParseStatus::kOk) return ParseFailure(status, state, failed_file);
  }
  // The file of a BINARY entry is an input too.
  if (const std::string* input = InputNamedBy(o.output, files.names())) return OutputIsInput(o.output, *input);
  if (!o.depfile.empty()) {
    if (const std::string* input = InputNamedBy(o.depfile, files.names())) return OutputIsInput(o.depfile, *input);
  }
  resparser::WriteArrayBlock(state, &writer);
  // An output that could not be written whole fails before anything is put
  // in place, the dependency file included.
  if (!writer.Flush()) {
    fputs("fclose ERROR!\n", stderr);
    return kExitFailure;
  }

  support::OutputFile depfile;
  if (!o.depfile.empty() && WriteDepfile(o, files.names(), &depfile) != kExitOk) return kExitFailure;
  // A run whose messages were lost fails, and leaves no output behind.
  if (!support::FlushStdout()) {
    fputs("stdout write ERROR!\n", stderr);
    return kExitFailure;
  }
  // The dependency file first: an output is never new without it.
  if (!o.depfile.empty() && depfile.Commit() != support::WriteStatus::kOk) {
    fprintf(stderr, "Error: cannot write dependency file \"%s\".\n", o.depfile.c_str());
    return kExitFailure;
  }
  if (file.Commit() != support::WriteStatus::kOk) {
    fputs("fclose ERROR!\n", stderr);
    return kExitFailure;
  }
  fputs("finish!!\n", stdout);
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  return support::ToolMain(argc, argv, ParseArgs, Run, "stdout write ERROR!\n");
}
