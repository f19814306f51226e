// aescli: encrypts or decrypts one buffer with AES-128 in CTR, CBC or CCM
// mode. Options come in pairs of option and value; keys, IVs, counters and
// nonces are hex text or files, the data comes from a file or standard input
// and the result goes to a file or standard output as raw bytes.
#include <climits>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "aes_modes.h"
#include "aescli_input.h"
#include "ccm_trace_text.h"
#include "support/file_io.h"
#include "support/text_parse.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kGoOn = -1;

enum class Mode { kNone, kCtr, kCbcEncrypt, kCbcDecrypt, kCcmEncrypt, kCcmDecrypt };

/// A key, nonce, IV or counter.
struct FixedValue {
  uint8_t bytes[16] = {};
  bool present = false;
};

/// The settings, with the files named by options already read (in
/// command-line order, so errors come in that order).
struct Options {
  Mode mode = Mode::kNone;
  FixedValue key;
  FixedValue nonce;
  FixedValue iv;
  FixedValue counter;
  std::vector<uint8_t> text;
  bool has_text = false;
  std::vector<uint8_t> adata;
  std::vector<uint8_t> tag_bytes;
  bool has_tag_bytes = false;
  int mac_length = 0;
  bool reversed = false;
  bool verbose = false;
  const char* output = nullptr;

  Options() = default;
  Options(const Options&) = delete;
  Options& operator=(const Options&) = delete;
  ~Options() {
    aes::SecureWipe(&key, sizeof(key));
    aes::SecureWipe(&nonce, sizeof(nonce));
    aes::SecureWipe(&iv, sizeof(iv));
    aes::SecureWipe(&counter, sizeof(counter));
    if (!tag_bytes.empty()) aes::SecureWipe(tag_bytes.data(), tag_bytes.size());
  }
};

bool StartsWith(const char* text, const char* prefix) {
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

int ClampToInt(size_t value) { return value > INT_MAX ? INT_MAX : static_cast<int>(value); }

// Words a failed read of the file at `path`.
int FileFailure(aes::InputStatus status, const char* path, const aes::InputFailure& failure) {
  switch (status) {
    case aes::InputStatus::kOk:
      return kGoOn;
    case aes::InputStatus::kCannotOpen:
      std::fprintf(stderr, "cant open file: %s\n", path);
      break;
    case aes::InputStatus::kCannotSeek:
      std::fprintf(stderr, "cant seek file: %s\n", path);
      break;
    case aes::InputStatus::kNoMemory:
      std::fprintf(stderr, "cant alloc memory: %zu bytes\n", failure.size);
      break;
    case aes::InputStatus::kShortRead:
      std::fprintf(stderr, "cant read from file: %s\n", path);
      break;
  }
  return kExitFailure;
}

// Words a failed read of standard input.
int StdinFailure(aes::InputStatus status, const aes::InputFailure& failure) {
  if (status == aes::InputStatus::kOk) return kGoOn;
  if (status == aes::InputStatus::kNoMemory) {
    std::fprintf(stderr, "cant alloc memory: %zu bytes\n", failure.size);
  } else {
    std::fprintf(stderr, "cant read from stdin\n");
  }
  return kExitFailure;
}

int SetFixedValue(const char* value, size_t size, FixedValue* setting) {
  aes::SecureWipe(setting, sizeof(*setting));  // the last value given counts, even a bad one
  if (StartsWith(value, "hex:")) {
    const char* digits = value + 4;
    const size_t digit_count = std::strlen(digits);
    if (digit_count != 2 * size) {
      std::fprintf(stderr, "'hex' length mismatch: require=%d received=%d\n", static_cast<int>(2 * size),
                   ClampToInt(digit_count));
      return kGoOn;
    }
    aes::DecodeHexLenient(digits, size, setting->bytes);
    setting->present = true;
    return kGoOn;
  }
  const int status = FileFailure(aes::ReadFileStart(value, size, setting->bytes), value, {});
  setting->present = status == kGoOn;
  return status;
}

int SetMacLength(const char* value, Options* o) {
  o->has_tag_bytes = false;
  o->tag_bytes.clear();
  o->mac_length = 0;
  if (!StartsWith(value, "hex:")) {
    o->mac_length = support::ParseIntPrefix(value);
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
  aes::DecodeHexLenient(digits, count, o->tag_bytes.data());
  o->has_tag_bytes = true;
  o->mac_length = ClampToInt(count);
  return kGoOn;
}

int SetAdata(const char* value, Options* o) {
  aes::InputFailure failure;
  if (!StartsWith(value, "stdin:")) return FileFailure(aes::ReadInputFile(value, &o->adata, &failure), value, failure);
  const long long count = support::ParseDecimalPrefix(value + 6);
  if (count < 0) {
    std::fprintf(stderr, "invalid stdin count: %s\n", value + 6);
    return kExitFailure;
  }
  return StdinFailure(aes::ReadCount(stdin, static_cast<size_t>(count), &o->adata, &failure), failure);
}

bool ParseMode(const char* name, Mode* mode) {
  static const struct {
    const char* name;
    Mode mode;
  } kModes[] = {
      {"ctr", Mode::kCtr},
      {"cbc", Mode::kCbcEncrypt},
      {"cbc_encrypt", Mode::kCbcEncrypt},
      {"cbc_decrypt", Mode::kCbcDecrypt},
      {"ccm", Mode::kCcmEncrypt},
      {"ccm_encrypt", Mode::kCcmEncrypt},
      {"ccm_decrypt", Mode::kCcmDecrypt},
  };
  for (const auto& entry : kModes) {
    if (std::strcmp(name, entry.name) == 0) {
      *mode = entry.mode;
      return true;
    }
  }
  return false;
}

bool TakesValue(const char* option) {
  static const char* const kValueOptions[] = {"-o", "-m", "-k", "-n", "-i", "-c", "-p", "-a", "-t"};
  for (const char* known : kValueOptions) {
    if (std::strcmp(option, known) == 0) return true;
  }
  return false;
}

// Options are read left to right; files are read as their option is met, so
// errors come in command-line order.
int ParseArgs(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const char* option = argv[i];
    if (std::strcmp(option, "-r") == 0) {
      o->reversed = true;
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
        if (!ParseMode(value, &o->mode)) {
          std::fprintf(stderr, "unkwon cipher mode: %s\n", value);
          return kExitFailure;
        }
        break;
      case 'k':
        status = SetFixedValue(value, aes::kKeySize, &o->key);
        break;
      case 'n':
        status = SetFixedValue(value, aes::kNonceSize, &o->nonce);
        break;
      case 'i':
        status = SetFixedValue(value, aes::kBlockSize, &o->iv);
        break;
      case 'c':
        status = SetFixedValue(value, aes::kBlockSize, &o->counter);
        break;
      case 'p': {
        aes::InputFailure failure;
        status = FileFailure(aes::ReadInputFile(value, &o->text, &failure), value, failure);
        o->has_text = status == kGoOn;
        break;
      }
      case 'a':
        status = SetAdata(value, o);
        break;
      case 't':
        status = SetMacLength(value, o);
        break;
      default:
        break;
    }
    if (status != kGoOn) return status;
  }
  return kGoOn;
}

int WriteOutput(const char* path, const uint8_t* data, size_t size) {
  if (path == nullptr) {
    // Standard output carries raw bytes (binary mode is the only mode here).
    if ((size != 0 && std::fwrite(data, 1, size, stdout) != size) || std::fflush(stdout) != 0) {
      std::fprintf(stderr, "cant write to file: %s\n", "stdout");
      return kExitFailure;
    }
    return kGoOn;
  }
  switch (support::WriteOutputFile(path, data, size)) {
    case support::WriteStatus::kOk:
      return kGoOn;
    case support::WriteStatus::kCannotOpen:
      std::fprintf(stderr, "cant open file: %s\n", path);
      return kExitFailure;
    case support::WriteStatus::kWriteError:
    case support::WriteStatus::kCloseError:
      break;
  }
  std::fprintf(stderr, "cant write to file: %s\n", path);
  return kExitFailure;
}

/// The input text with the room the cipher operations need behind it:
/// padding to whole blocks and the CCM tag, all zero.
struct WorkBuffer {
  std::vector<uint8_t> bytes;
  size_t size = 0;
  uint8_t* data() { return bytes.data(); }
};

// The checks every mode starts with, in their order; kGoOn when all pass.
int CheckKeyAnd(const Options& o, const FixedValue& second, const char* second_message) {
  if (!o.key.present) {
    std::fprintf(stderr, "require key(-k)\n");
    return kExitFailure;
  }
  if (!second.present) {
    std::fputs(second_message, stderr);
    return kExitFailure;
  }
  return kGoOn;
}

int RunCtr(const Options& o, WorkBuffer* text) {
  const int status = CheckKeyAnd(o, o.counter, "require counter(-c)\n");
  if (status != kGoOn) return status;
  if (o.reversed) {
    aes::CtrCryptReversed(o.key.bytes, o.counter.bytes, text->data(), text->size);
  } else {
    aes::CtrCrypt(o.key.bytes, o.counter.bytes, text->data(), text->size, text->data());
  }
  return WriteOutput(o.output, text->data(), text->size);
}

int RunCbc(const Options& o, bool encrypt, WorkBuffer* text) {
  const int status = CheckKeyAnd(o, o.iv, "require iv(-i)\n");
  if (status != kGoOn) return status;
  if (text->size % aes::kBlockSize != 0) {
    std::fprintf(stderr, "input text length must be multiple of 16\n");
    return kExitFailure;
  }
  uint8_t* data = text->data();
  const size_t size = text->size;
  if (o.reversed) {
    encrypt ? aes::CbcEncryptReversed(o.key.bytes, o.iv.bytes, data, size)
            : aes::CbcDecryptReversed(o.key.bytes, o.iv.bytes, data, size);
  } else {
    encrypt ? aes::CbcEncrypt(o.key.bytes, o.iv.bytes, data, size, data)
            : aes::CbcDecrypt(o.key.bytes, o.iv.bytes, data, size, data);
  }
  return WriteOutput(o.output, data, size);
}

int CheckCcm(const Options& o) {
  const int status = CheckKeyAnd(o, o.nonce, "require nonce(-n)\n");
  if (status != kGoOn) return status;
  if (o.mac_length == 0) {
    std::fprintf(stderr, "require MAC length(-t)\n");
    return kExitFailure;
  }
  if (o.mac_length < 0 || !aes::IsValidCcmTagLength(static_cast<size_t>(o.mac_length))) {
    std::fprintf(stderr, "MAC length(-t=%d) must be one of 4, 6, 8, 10, 12, 14, 16\n", o.mac_length);
    return kExitFailure;
  }
  return kGoOn;
}

int RunCcm(const Options& o, bool encrypt, WorkBuffer* text) {
  const size_t tag_size = static_cast<size_t>(o.mac_length);
  uint8_t* data = text->data();
  size_t data_size = text->size;
  const uint8_t* tag = o.tag_bytes.data();
  if (!encrypt && !o.has_tag_bytes) {
    // The received tag is the end of the input text.
    if (data_size < tag_size) {
      std::fprintf(stderr, "input text shorter than MAC length(-t=%d)\n", o.mac_length);
      return kExitFailure;
    }
    data_size -= tag_size;
    tag = data + data_size;
  }
  const size_t counted = o.reversed ? aes::Pad16(data_size) : data_size;
  if (counted > aes::kCcmMaxPayload) {
    std::fprintf(stderr, "input text too long for ccm: %zu bytes (at most %zu)\n", data_size, aes::kCcmMaxPayload);
    return kExitFailure;
  }
  const size_t counted_adata = o.reversed ? aes::Pad16(o.adata.size()) : o.adata.size();
  if (counted_adata > aes::kCcmMaxAdata) {
    std::fprintf(stderr, "associated data too long for ccm: %zu bytes\n", o.adata.size());
    return kExitFailure;
  }
  // The reversed operations pad and reverse the associated data in place.
  std::vector<uint8_t> adata(aes::Pad16(o.adata.size()));
  if (!o.adata.empty()) std::memcpy(adata.data(), o.adata.data(), o.adata.size());

  aes::CcmTraceText trace_text([](std::string_view piece) { std::fwrite(piece.data(), 1, piece.size(), stderr); });
  aes::CcmTracer* tracer = o.verbose ? &trace_text : nullptr;
  aes::CcmStatus result;
  size_t out_size;
  const uint8_t* key = o.key.bytes;
  const uint8_t* nonce = o.nonce.bytes;
  if (encrypt) {
    result = o.reversed
                 ? aes::CcmEncryptReversed(key, nonce, adata.data(), o.adata.size(), data, data_size, tag_size, tracer)
                 : aes::CcmEncrypt(key, nonce, adata.data(), o.adata.size(), data, data_size, tag_size, data, false,
                                   tracer);
    out_size = data_size + tag_size;
  } else {
    result = o.reversed ? aes::CcmDecryptReversed(key, nonce, adata.data(), o.adata.size(), data, data_size, tag,
                                                  tag_size, tracer)
                        : aes::CcmDecrypt(key, nonce, adata.data(), o.adata.size(), data, data_size, tag, tag_size,
                                          data, false, tracer);
    out_size = data_size;
  }
  if (result != aes::CcmStatus::kOk && result != aes::CcmStatus::kTagMismatch) {
    // Sizes and tag length were checked above; this cannot happen.
    std::fprintf(stderr, "ccm failed\n");
    return kExitFailure;
  }
  const int status = WriteOutput(o.output, data, out_size);
  if (status != kGoOn) return status;
  if (result == aes::CcmStatus::kTagMismatch) {
    std::fprintf(stderr, "ccm decrypt verification failed\n");
    return kExitFailure;
  }
  return kGoOn;
}

int Run(const Options& o) {
  WorkBuffer text;
  if (o.has_text) {
    text.bytes = o.text;
  } else {
    aes::InputFailure failure;
    const int status = StdinFailure(aes::ReadToEnd(stdin, &text.bytes, &failure), failure);
    if (status != kGoOn) return status;
  }
  text.size = text.bytes.size();
  text.bytes.resize(aes::Pad16(text.size) + aes::kBlockSize);
  if (o.mode == Mode::kNone) {
    std::fprintf(stderr, "cipher mode not specified\n");
    return kExitFailure;
  }
  int status = kGoOn;
  if (o.mode == Mode::kCcmEncrypt || o.mode == Mode::kCcmDecrypt) status = CheckCcm(o);
  switch (o.mode) {
    case Mode::kNone:
      break;
    case Mode::kCtr:
      status = RunCtr(o, &text);
      break;
    case Mode::kCbcEncrypt:
    case Mode::kCbcDecrypt:
      status = RunCbc(o, o.mode == Mode::kCbcEncrypt, &text);
      break;
    case Mode::kCcmEncrypt:
    case Mode::kCcmDecrypt:
      if (status == kGoOn) status = RunCcm(o, o.mode == Mode::kCcmEncrypt, &text);
      break;
  }
  return status == kGoOn ? kExitOk : status;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  int status = ParseArgs(argc, argv, &o);
  if (status < 0) status = Run(o);
  return support::CloseStdout(status, "cant write to file: stdout\n");
}
