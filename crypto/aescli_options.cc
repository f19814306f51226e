#include "aescli_options.h"

#include <climits>
#include <cstring>

#include "support/format_text.h"
#include "support/text_parse.h"

namespace aescli {
namespace {

constexpr int kExitFailure = 1;
constexpr const char kStdinName[] = "stdin";

bool StartsWith(const char* text, const char* prefix) {
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

int ClampToInt(size_t value) { return value > INT_MAX ? INT_MAX : static_cast<int>(value); }

// Words a failed read of the file at `path`; kGoOn when it did not fail.
int FileFailure(InputStatus status, const char* path, const InputFailure& failure, std::string* messages) {
  switch (status) {
    case InputStatus::kOk:
      return kGoOn;
    case InputStatus::kCannotOpen:
      *messages += support::FormatText("cant open file: %s\n", path);
      break;
    case InputStatus::kCannotSeek:
      *messages += support::FormatText("cant seek file: %s\n", path);
      break;
    case InputStatus::kShortRead:
      *messages += support::FormatText("cant read from file: %s\n", path);
      break;
    case InputStatus::kNoMemory:
    case InputStatus::kNoScratch:
      *messages += StdinFailureMessage(status, failure);  // the same words for either source
      break;
  }
  return kExitFailure;
}

int StdinFailure(InputStatus status, const InputFailure& failure, std::string* messages) {
  *messages += StdinFailureMessage(status, failure);
  return status == InputStatus::kOk ? kGoOn : kExitFailure;
}

int SetFixedValue(const char* value, size_t size, FixedValue* setting, Options* o, std::string* messages) {
  aes::SecureWipe(setting, sizeof(*setting));  // the last value given counts, even a bad one
  if (StartsWith(value, "hex:")) {
    const char* digits = value + 4;
    const size_t digit_count = std::strlen(digits);
    if (digit_count != 2 * size) {
      *messages += support::FormatText("'hex' length mismatch: require=%d received=%d\n", static_cast<int>(2 * size),
                                       ClampToInt(digit_count));
      return kGoOn;
    }
    DecodeHexLenient(digits, size, setting->bytes);
    setting->present = true;
    return kGoOn;
  }
  o->input_files.push_back(value);
  const int status = FileFailure(ReadFileStart(value, size, setting->bytes), value, {}, messages);
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

int SetMacLength(const char* value, CipherRequest* o, std::string* messages) {
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
    *messages += support::FormatText("'hex' length must be multiple of 2: received=%d\n", ClampToInt(digit_count));
    return kGoOn;
  }
  const size_t count = digit_count / 2;
  o->tag_bytes.resize(count);
  DecodeHexLenient(digits, count, o->tag_bytes.data());
  o->has_tag_bytes = true;
  o->mac_length = ClampToInt(count);
  return kGoOn;
}

int SetAdata(const char* value, Options* o, std::string* messages) {
  InputFailure failure;
  if (!StartsWith(value, "stdin:")) {
    o->input_files.push_back(value);
    return FileFailure(ReadInputFile(value, &o->cipher.adata, &failure), value, failure, messages);
  }
  bool strict = false;
  const long long count = ParseCount(value + 6, &strict);
  if (!strict || count < 0) {
    *messages += support::FormatText("invalid stdin count: %s\n", value + 6);
    return kExitFailure;
  }
  return StdinFailure(ReadCount(o->StandardInput(), static_cast<size_t>(count), &o->cipher.adata, &failure), failure,
                      messages);
}

int SetText(const char* value, Options* o, std::string* messages) {
  o->input_files.push_back(value);
  o->text_path = nullptr;
  const int status = FileFailure(OpenInputFile(value, &o->text_file), value, {}, messages);
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

// What the option `option` (one of TakesValue's) does with `value`.
int TakeValue(const char* option, const char* value, Options* o, std::string* messages) {
  switch (option[1]) {
    case 'o':
      o->output = value;
      return kGoOn;
    case 'm':
      if (ParseCipherMode(value, &o->cipher.mode)) return kGoOn;
      *messages += support::FormatText("unkwon cipher mode: %s\n", value);
      return kExitFailure;
    case 'k':
      return SetFixedValue(value, aes::kKeySize, &o->cipher.key, o, messages);
    case 'n':
      return SetFixedValue(value, aes::kNonceSize, &o->cipher.nonce, o, messages);
    case 'i':
      return SetFixedValue(value, aes::kBlockSize, &o->cipher.iv, o, messages);
    case 'c':
      return SetFixedValue(value, aes::kBlockSize, &o->cipher.counter, o, messages);
    case 'p':
      return SetText(value, o, messages);
    case 'a':
      return SetAdata(value, o, messages);
    case 't':
      return SetMacLength(value, &o->cipher, messages);
    default:
      return kGoOn;
  }
}

}  // namespace

support::File* Options::StandardInput() const {
  if (!standard_input_.is_open()) standard_input_.OpenStandardInput();
  return &standard_input_;
}

int ParseArguments(int argc, char** argv, Options* o, std::string* messages) {
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
      *messages += support::FormatText("unknown option: %s\n", option);
      return kExitFailure;
    }
    if (i + 1 >= argc) {
      *messages += support::FormatText("missing value for option: %s\n", option);
      return kExitFailure;
    }
    const int status = TakeValue(option, argv[++i], o, messages);
    if (status != kGoOn) return status;
  }
  return kGoOn;
}

std::string OutputIsInputMessage(const Options& o) {
  if (o.output == nullptr) return "";
  for (const char* input : o.input_files) {
    if (support::IsSameRegularFile(o.output, input)) {
      return support::FormatText("output file %s is same as input file %s\n", o.output, input);
    }
  }
  // Standard input redirected from the output file is an input too.
  if (o.text_path == nullptr || o.reads_standard_input()) {
    const support::File* in = o.StandardInput();
    support::FileIdentity output;
    if (in->is_regular() && support::StatFile(o.output, &output) == support::FileKind::kRegular &&
        output == in->identity()) {
      return support::FormatText("output file %s is same as input file %s\n", o.output, kStdinName);
    }
  }
  return "";
}

TextInput::~TextInput() {
  if (scratch_ != nullptr) std::fclose(scratch_);
}

bool TextInput::Open(const Options& o, std::string* message) {
  if (o.text_path != nullptr) {
    text_.size = static_cast<long long>(o.text_file.size());
    text_.read = [&o](uint8_t* data, size_t size) { return o.text_file.Read(data, size); };
    return true;
  }
  support::File* in = o.StandardInput();
  const bool ccm = o.cipher.mode == CipherMode::kCcmEncrypt || o.cipher.mode == CipherMode::kCcmDecrypt;
  if (CheckSettings(o.cipher) != CipherStatus::kOk) {
    // The text is read to its end before the settings are judged.
    if (!SkipToEnd(in)) {
      *message = StdinFailureMessage(InputStatus::kShortRead, {});
      return false;
    }
  } else if (ccm) {
    uint64_t total = 0;
    const InputStatus status = SetAside(in, aes::kCcmMaxPayload + 2 * aes::kBlockSize, &scratch_, &total);
    if (status != InputStatus::kOk) {
      *message = StdinFailureMessage(status, {});
      return false;
    }
    text_.size = static_cast<long long>(total);
    text_.read = [this](uint8_t* data, size_t size) -> long long {
      const size_t got = std::fread(data, 1, size, scratch_);
      return got < size && std::ferror(scratch_) ? -1 : static_cast<long long>(got);
    };
    return true;
  }
  text_.read = [in](uint8_t* data, size_t size) { return in->Read(data, size); };
  return true;
}

std::string StdinFailureMessage(InputStatus status, const InputFailure& failure) {
  switch (status) {
    case InputStatus::kOk:
      return "";
    case InputStatus::kNoMemory:
      return support::FormatText("cant alloc memory: %zu bytes\n", failure.size);
    case InputStatus::kNoScratch:
      return "cant open temporary file\n";
    default:
      return "cant read from stdin\n";
  }
}

std::string CipherFailureMessage(const CipherResult& result, const Options& o) {
  const CipherRequest& request = o.cipher;
  switch (result.status) {
    case CipherStatus::kOk:
      return "";
    case CipherStatus::kNoMode:
      return "cipher mode not specified\n";
    case CipherStatus::kNoKey:
      return "require key(-k)\n";
    case CipherStatus::kNoCounter:
      return "require counter(-c)\n";
    case CipherStatus::kNoIv:
      return "require iv(-i)\n";
    case CipherStatus::kNotWholeBlocks:
      return "input text length must be multiple of 16\n";
    case CipherStatus::kNoNonce:
      return "require nonce(-n)\n";
    case CipherStatus::kNoMacLength:
      return "require MAC length(-t)\n";
    case CipherStatus::kBadMacLength:
      return support::FormatText("MAC length(-t=%d) must be one of 4, 6, 8, 10, 12, 14, 16\n", request.mac_length);
    case CipherStatus::kShorterThanMac:
      return support::FormatText("input text shorter than MAC length(-t=%d)\n", request.mac_length);
    case CipherStatus::kTextTooLong:
      return support::FormatText("input text too long for ccm: %zu bytes (at most %zu)\n", result.text_size,
                                 aes::kCcmMaxPayload);
    case CipherStatus::kAdataTooLong:
      return support::FormatText("associated data too long for ccm: %zu bytes\n", request.adata.size());
    case CipherStatus::kTagMismatch:
      return "ccm decrypt verification failed\n";
    case CipherStatus::kCcmFailed:
      return "ccm failed\n";
    case CipherStatus::kCannotOpenOutput:
      return support::FormatText("cant open file: %s\n", o.output);
    case CipherStatus::kReadFailed:
      if (o.text_path != nullptr) return support::FormatText("cant read from file: %s\n", o.text_path);
      return "cant read from stdin\n";
    case CipherStatus::kWriteFailed:
      return support::FormatText("cant write to file: %s\n", o.output != nullptr ? o.output : "stdout");
  }
  return "";
}

std::string CommitFailureMessage(support::WriteStatus status, const Options& o) {
  if (status == support::WriteStatus::kOk) return "";
  CipherResult failed;
  failed.status =
      status == support::WriteStatus::kCannotOpen ? CipherStatus::kCannotOpenOutput : CipherStatus::kWriteFailed;
  return CipherFailureMessage(failed, o);
}

}  // namespace aescli
