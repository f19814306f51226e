// aescli: encrypts or decrypts one buffer with AES-128 in CTR, CBC or CCM
// mode. Options come in pairs of option and value; keys, IVs, counters and
// nonces are hex text or files, the data comes from a file or standard input
// and the result goes to a file or standard output as raw bytes.
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "aes_modes.h"
#include "aescli_cipher.h"
#include "aescli_input.h"
#include "ccm_trace_text.h"
#include "support/file_io.h"
#include "support/output_file.h"
#include "support/platform.h"
#include "support/text_parse.h"
#include "support/tool_main.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kGoOn = -1;
constexpr const char kStdinName[] = "stdin";

/// The settings, with the files named by options already read or opened
/// (in command-line order, so errors come in that order).
struct Options {
  aescli::CipherRequest cipher;
  /// -p: the text file, open; otherwise the text is standard input.
  const char* text_path = nullptr;
  mutable support::File text_file;
  /// Standard input, once an option or the text reads it.
  mutable support::File standard_input;
  /// Every file an option named, for the check that the output is none of them.
  std::vector<const char*> input_files;
  bool verbose = false;
  const char* output = nullptr;
};

bool StartsWith(const char* text, const char* prefix) {
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

int ClampToInt(size_t value) { return value > INT_MAX ? INT_MAX : static_cast<int>(value); }

support::File* StandardInput(const Options& o) {
  if (!o.standard_input.is_open()) o.standard_input.OpenStandardInput();
  return &o.standard_input;
}

// Words a failed read of the file at `path`.
int FileFailure(aescli::InputStatus status, const char* path, const aescli::InputFailure& failure) {
  switch (status) {
    case aescli::InputStatus::kOk:
      return kGoOn;
    case aescli::InputStatus::kCannotOpen:
      std::fprintf(stderr, "cant open file: %s\n", path);
      break;
    case aescli::InputStatus::kCannotSeek:
      std::fprintf(stderr, "cant seek file: %s\n", path);
      break;
    case aescli::InputStatus::kNoMemory:
      std::fprintf(stderr, "cant alloc memory: %zu bytes\n", failure.size);
      break;
    case aescli::InputStatus::kShortRead:
      std::fprintf(stderr, "cant read from file: %s\n", path);
      break;
    case aescli::InputStatus::kNoScratch:
      std::fprintf(stderr, "cant open temporary file\n");
      break;
  }
  return kExitFailure;
}

// Words a failed read of standard input.
int StdinFailure(aescli::InputStatus status, const aescli::InputFailure& failure) {
  switch (status) {
    case aescli::InputStatus::kOk:
      return kGoOn;
    case aescli::InputStatus::kNoMemory:
      std::fprintf(stderr, "cant alloc memory: %zu bytes\n", failure.size);
      break;
    case aescli::InputStatus::kNoScratch:
      std::fprintf(stderr, "cant open temporary file\n");
      break;
    default:
      std::fprintf(stderr, "cant read from stdin\n");
      break;
  }
  return kExitFailure;
}

int SetFixedValue(const char* value, size_t size, aescli::FixedValue* setting, Options* o) {
  aes::SecureWipe(setting, sizeof(*setting));  // the last value given counts, even a bad one
  if (StartsWith(value, "hex:")) {
    const char* digits = value + 4;
    const size_t digit_count = std::strlen(digits);
    if (digit_count != 2 * size) {
      std::fprintf(stderr, "'hex' length mismatch: require=%d received=%d\n", static_cast<int>(2 * size),
                   ClampToInt(digit_count));
      return kGoOn;
    }
    aescli::DecodeHexLenient(digits, size, setting->bytes);
    setting->present = true;
    return kGoOn;
  }
  o->input_files.push_back(value);
  const int status = FileFailure(aescli::ReadFileStart(value, size, setting->bytes), value, {});
  setting->present = status == kGoOn;
  return status;
}

// A count or length as a user writes it: decimal, or hexadecimal after
// "0x", so that a value copied from a hex dump is never read as 0. Sets
// `*strict` to whether the whole text was the number.
long long ParseCount(const char* text, bool* strict) {
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X') && support::HexDigitValue(text[2]) >= 0) {
    long long value = 0;
    const char* p = text + 2;
    for (; support::HexDigitValue(*p) >= 0; ++p) {
      value = value > (LLONG_MAX >> 4) ? LLONG_MAX : value * 16 + support::HexDigitValue(*p);
    }
    *strict = *p == '\0';
    return value;
  }
  long long value = 0;
  *strict = support::ParseDecimalStrict(text, LLONG_MIN, LLONG_MAX, &value);
  return *strict ? value : support::ParseDecimalPrefix(text);
}

int SetMacLength(const char* value, aescli::CipherRequest* o) {
  o->has_tag_bytes = false;
  o->tag_bytes.clear();
  o->mac_length = 0;
  if (!StartsWith(value, "hex:")) {
    bool strict = false;
    const long long length = ParseCount(value, &strict);
    o->mac_length = length > INT_MAX ? INT_MAX : length < INT_MIN ? INT_MIN : static_cast<int>(length);
    return kGoOn;
  }
  const char* digits = value + 4;
  const size_t digit_count = std::strlen(digits);
  if (digit_count % 2 != 0) {
    std::fprintf(stderr, "'hex' length must be multiple of 2: received=%d\n", ClampToInt(digit_count));
    return kGoOn;
  }
  const size_t count = digit_count / 2;
  o->tag_bytes.resize(count);
  aescli::DecodeHexLenient(digits, count, o->tag_bytes.data());
  o->has_tag_bytes = true;
  o->mac_length = ClampToInt(count);
  return kGoOn;
}

int SetAdata(const char* value, Options* o) {
  aescli::InputFailure failure;
  if (!StartsWith(value, "stdin:")) {
    o->input_files.push_back(value);
    return FileFailure(aescli::ReadInputFile(value, &o->cipher.adata, &failure), value, failure);
  }
  bool strict = false;
  const long long count = ParseCount(value + 6, &strict);
  if (!strict || count < 0) {
    std::fprintf(stderr, "invalid stdin count: %s\n", value + 6);
    return kExitFailure;
  }
  return StdinFailure(aescli::ReadCount(StandardInput(*o), static_cast<size_t>(count), &o->cipher.adata, &failure),
                      failure);
}

int SetText(const char* value, Options* o) {
  o->input_files.push_back(value);
  o->text_path = nullptr;
  const int status = FileFailure(aescli::OpenInputFile(value, &o->text_file), value, {});
  if (status == kGoOn) o->text_path = value;
  return status;
}

bool TakesValue(const char* option) {
  static const char* const kValueOptions[] = {"-o", "-m", "-k", "-n", "-i", "-c", "-p", "-a", "-t"};
  for (const char* known : kValueOptions) {
    if (std::strcmp(option, known) == 0) return true;
  }
  return false;
}

// Options are read left to right; files are read (the text file opened) as
// their option is met, so errors come in command-line order.
int ParseArgs(int argc, char** argv, Options* o) {
  // Standard input and output carry raw bytes.
  support::SetBinaryMode(stdin);
  support::SetBinaryMode(stdout);
  for (int i = 1; i < argc; ++i) {
    const char* option = argv[i];
    if (std::strcmp(option, "-r") == 0) {
      o->cipher.reversed = true;
      continue;
    }
    if (std::strcmp(option, "--verbose") == 0) {
      o->verbose = true;
      continue;
    }
    if (!TakesValue(option)) {
      std::fprintf(stderr, "unknown option: %s\n", option);
      return kExitFailure;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "missing value for option: %s\n", option);
      return kExitFailure;
    }
    const char* value = argv[++i];
    int status = kGoOn;
    switch (option[1]) {
      case 'o':
        o->output = value;
        break;
      case 'm':
        if (!aescli::ParseCipherMode(value, &o->cipher.mode)) {
          std::fprintf(stderr, "unkwon cipher mode: %s\n", value);
          return kExitFailure;
        }
        break;
      case 'k':
        status = SetFixedValue(value, aes::kKeySize, &o->cipher.key, o);
        break;
      case 'n':
        status = SetFixedValue(value, aes::kNonceSize, &o->cipher.nonce, o);
        break;
      case 'i':
        status = SetFixedValue(value, aes::kBlockSize, &o->cipher.iv, o);
        break;
      case 'c':
        status = SetFixedValue(value, aes::kBlockSize, &o->cipher.counter, o);
        break;
      case 'p':
        status = SetText(value, o);
        break;
      case 'a':
        status = SetAdata(value, o);
        break;
      case 't':
        status = SetMacLength(value, &o->cipher);
        break;
      default:
        break;
    }
    if (status != kGoOn) return status;
  }
  return kGoOn;
}

// The output file, or standard output; a file is put in place only by
// Commit(), so a failed run leaves none.
class Output : public aescli::ResultSink {
 public:
  explicit Output(const char* path) : path_(path) {}
  bool Open() override { return path_ == nullptr || file_.Open(path_) == support::WriteStatus::kOk; }
  bool Write(const uint8_t* data, size_t size) override {
    return path_ != nullptr ? file_.Write(data, size) : support::WriteStandardOutput(data, size);
  }
  support::WriteStatus Commit() { return path_ != nullptr ? file_.Commit() : support::WriteStatus::kOk; }

 private:
  const char* path_;
  support::OutputFile file_;
};

// The output must be none of the files the run reads, however it is named.
int RefuseInputAsOutput(const Options& o) {
  if (o.output == nullptr) return kGoOn;
  for (const char* input : o.input_files) {
    if (support::IsSameRegularFile(o.output, input)) {
      std::fprintf(stderr, "output file %s is same as input file %s\n", o.output, input);
      return kExitFailure;
    }
  }
  // Standard input redirected from the output file is an input too.
  if (o.text_path == nullptr || o.standard_input.is_open()) {
    const support::File* in = StandardInput(o);
    support::FileIdentity output;
    if (in->is_regular() && support::StatFile(o.output, &output) == support::FileKind::kRegular &&
        output == in->identity()) {
      std::fprintf(stderr, "output file %s is same as input file %s\n", o.output, kStdinName);
      return kExitFailure;
    }
  }
  return kGoOn;
}

// Words a run that did not end well; kGoOn when it did.
int CipherFailure(const aescli::CipherResult& result, const Options& o) {
  const aescli::CipherRequest& request = o.cipher;
  switch (result.status) {
    case aescli::CipherStatus::kOk:
      return kGoOn;
    case aescli::CipherStatus::kNoMode:
      std::fprintf(stderr, "cipher mode not specified\n");
      break;
    case aescli::CipherStatus::kNoKey:
      std::fprintf(stderr, "require key(-k)\n");
      break;
    case aescli::CipherStatus::kNoCounter:
      std::fprintf(stderr, "require counter(-c)\n");
      break;
    case aescli::CipherStatus::kNoIv:
      std::fprintf(stderr, "require iv(-i)\n");
      break;
    case aescli::CipherStatus::kNotWholeBlocks:
      std::fprintf(stderr, "input text length must be multiple of 16\n");
      break;
    case aescli::CipherStatus::kNoNonce:
      std::fprintf(stderr, "require nonce(-n)\n");
      break;
    case aescli::CipherStatus::kNoMacLength:
      std::fprintf(stderr, "require MAC length(-t)\n");
      break;
    case aescli::CipherStatus::kBadMacLength:
      std::fprintf(stderr, "MAC length(-t=%d) must be one of 4, 6, 8, 10, 12, 14, 16\n", request.mac_length);
      break;
    case aescli::CipherStatus::kShorterThanMac:
      std::fprintf(stderr, "input text shorter than MAC length(-t=%d)\n", request.mac_length);
      break;
    case aescli::CipherStatus::kTextTooLong:
      std::fprintf(stderr, "input text too long for ccm: %zu bytes (at most %zu)\n", result.text_size,
                   aes::kCcmMaxPayload);
      break;
    case aescli::CipherStatus::kAdataTooLong:
      std::fprintf(stderr, "associated data too long for ccm: %zu bytes\n", request.adata.size());
      break;
    case aescli::CipherStatus::kTagMismatch:
      std::fprintf(stderr, "ccm decrypt verification failed\n");
      break;
    case aescli::CipherStatus::kCcmFailed:
      std::fprintf(stderr, "ccm failed\n");
      break;
    case aescli::CipherStatus::kCannotOpenOutput:
      std::fprintf(stderr, "cant open file: %s\n", o.output);
      break;
    case aescli::CipherStatus::kReadFailed:
      if (o.text_path != nullptr) {
        std::fprintf(stderr, "cant read from file: %s\n", o.text_path);
      } else {
        std::fprintf(stderr, "cant read from stdin\n");
      }
      break;
    case aescli::CipherStatus::kWriteFailed:
      std::fprintf(stderr, "cant write to file: %s\n", o.output != nullptr ? o.output : "stdout");
      break;
  }
  return kExitFailure;
}

// Closes the scratch file standard input was set aside in.
struct ScratchText {
  std::FILE* file = nullptr;
  ~ScratchText() {
    if (file != nullptr) std::fclose(file);
  }
};

int Run(const Options& o) {
  int status = RefuseInputAsOutput(o);
  if (status != kGoOn) return status;
  const bool from_stdin = o.text_path == nullptr;
  aescli::TextSource text;
  const aescli::CipherStatus settings = aescli::CheckSettings(o.cipher);
  ScratchText scratch;
  if (from_stdin) {
    support::File* in = StandardInput(o);
    const bool ccm = o.cipher.mode == aescli::CipherMode::kCcmEncrypt || o.cipher.mode == aescli::CipherMode::kCcmDecrypt;
    if (settings != aescli::CipherStatus::kOk) {
      // The text is read to its end before the settings are judged.
      if (!aescli::SkipToEnd(in)) return StdinFailure(aescli::InputStatus::kShortRead, {});
    } else if (ccm) {
      // CCM must know the text's length before it starts: the text is set
      // aside in a scratch file, as far as CCM could take it.
      uint64_t total = 0;
      status =
          StdinFailure(aescli::SetAside(in, aes::kCcmMaxPayload + 2 * aes::kBlockSize, &scratch.file, &total), {});
      if (status != kGoOn) return status;
      text.size = static_cast<long long>(total);
      text.read = [&scratch](uint8_t* data, size_t size) -> long long {
        const size_t got = std::fread(data, 1, size, scratch.file);
        return got < size && std::ferror(scratch.file) ? -1 : static_cast<long long>(got);
      };
    }
    if (!text.read) text.read = [in](uint8_t* data, size_t size) { return in->Read(data, size); };
  } else {
    text.size = static_cast<long long>(o.text_file.size());
    text.read = [&o](uint8_t* data, size_t size) { return o.text_file.Read(data, size); };
  }

  Output output(o.output);
  aescli::CcmTraceText trace_text(
      [](std::string_view piece) { std::fwrite(piece.data(), 1, piece.size(), stderr); });
  const aescli::CipherResult result =
      aescli::StreamCipher(o.cipher, text, o.verbose ? &trace_text : nullptr, &output);
  // A tag that does not match still writes the plaintext, then says so.
  if (result.status == aescli::CipherStatus::kOk || result.status == aescli::CipherStatus::kTagMismatch) {
    if (!support::FlushStdout()) {
      std::fprintf(stderr, "cant write to file: stdout\n");
      return kExitFailure;
    }
    switch (output.Commit()) {
      case support::WriteStatus::kOk:
        break;
      case support::WriteStatus::kCannotOpen:
        std::fprintf(stderr, "cant open file: %s\n", o.output);
        return kExitFailure;
      case support::WriteStatus::kWriteError:
      case support::WriteStatus::kCloseError:
        std::fprintf(stderr, "cant write to file: %s\n", o.output);
        return kExitFailure;
    }
  }
  status = CipherFailure(result, o);
  return status == kGoOn ? kExitOk : status;
}

}  // namespace

int main(int argc, char** argv) {
  return support::ToolMain(argc, argv, ParseArgs, Run, "cant write to file: stdout\n");
}
