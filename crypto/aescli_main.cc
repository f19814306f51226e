// aescli: encrypts or decrypts one buffer with AES-128 in CTR, CBC or CCM
// mode. Options come in pairs of option and value; keys, IVs, counters and
// nonces are hex text or files, the data comes from a file or standard input
// and the result goes to a file or standard output as raw bytes.
#include <climits>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "aes_modes.h"
#include "aescli_cipher.h"
#include "aescli_input.h"
#include "ccm_trace_text.h"
#include "support/file_io.h"
#include "support/text_parse.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kGoOn = -1;

/// The settings, with the files named by options already read (in
/// command-line order, so errors come in that order).
struct Options {
  aes::CipherRequest cipher;
  std::vector<uint8_t> text;
  bool has_text = false;
  bool verbose = false;
  const char* output = nullptr;
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

int SetFixedValue(const char* value, size_t size, aes::FixedValue* setting) {
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

int SetMacLength(const char* value, aes::CipherRequest* o) {
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

int SetAdata(const char* value, aes::CipherRequest* o) {
  aes::InputFailure failure;
  if (!StartsWith(value, "stdin:")) return FileFailure(aes::ReadInputFile(value, &o->adata, &failure), value, failure);
  const long long count = support::ParseDecimalPrefix(value + 6);
  if (count < 0) {
    std::fprintf(stderr, "invalid stdin count: %s\n", value + 6);
    return kExitFailure;
  }
  return StdinFailure(aes::ReadCount(stdin, static_cast<size_t>(count), &o->adata, &failure), failure);
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
        if (!aes::ParseCipherMode(value, &o->cipher.mode)) {
          std::fprintf(stderr, "unkwon cipher mode: %s\n", value);
          return kExitFailure;
        }
        break;
      case 'k':
        status = SetFixedValue(value, aes::kKeySize, &o->cipher.key);
        break;
      case 'n':
        status = SetFixedValue(value, aes::kNonceSize, &o->cipher.nonce);
        break;
      case 'i':
        status = SetFixedValue(value, aes::kBlockSize, &o->cipher.iv);
        break;
      case 'c':
        status = SetFixedValue(value, aes::kBlockSize, &o->cipher.counter);
        break;
      case 'p': {
        aes::InputFailure failure;
        status = FileFailure(aes::ReadInputFile(value, &o->text, &failure), value, failure);
        o->has_text = status == kGoOn;
        break;
      }
      case 'a':
        status = SetAdata(value, &o->cipher);
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

// Words a run that did not end well; kGoOn when it did.
int CipherFailure(const aes::CipherResult& result, const aes::CipherRequest& request) {
  switch (result.status) {
    case aes::CipherStatus::kOk:
      return kGoOn;
    case aes::CipherStatus::kNoMode:
      std::fprintf(stderr, "cipher mode not specified\n");
      break;
    case aes::CipherStatus::kNoKey:
      std::fprintf(stderr, "require key(-k)\n");
      break;
    case aes::CipherStatus::kNoCounter:
      std::fprintf(stderr, "require counter(-c)\n");
      break;
    case aes::CipherStatus::kNoIv:
      std::fprintf(stderr, "require iv(-i)\n");
      break;
    case aes::CipherStatus::kNotWholeBlocks:
      std::fprintf(stderr, "input text length must be multiple of 16\n");
      break;
    case aes::CipherStatus::kNoNonce:
      std::fprintf(stderr, "require nonce(-n)\n");
      break;
    case aes::CipherStatus::kNoMacLength:
      std::fprintf(stderr, "require MAC length(-t)\n");
      break;
    case aes::CipherStatus::kBadMacLength:
      std::fprintf(stderr, "MAC length(-t=%d) must be one of 4, 6, 8, 10, 12, 14, 16\n", request.mac_length);
      break;
    case aes::CipherStatus::kShorterThanMac:
      std::fprintf(stderr, "input text shorter than MAC length(-t=%d)\n", request.mac_length);
      break;
    case aes::CipherStatus::kTextTooLong:
      std::fprintf(stderr, "input text too long for ccm: %zu bytes (at most %zu)\n", result.text_size,
                   aes::kCcmMaxPayload);
      break;
    case aes::CipherStatus::kAdataTooLong:
      std::fprintf(stderr, "associated data too long for ccm: %zu bytes\n", request.adata.size());
      break;
    case aes::CipherStatus::kTagMismatch:
      std::fprintf(stderr, "ccm decrypt verification failed\n");
      break;
    case aes::CipherStatus::kCcmFailed:
      std::fprintf(stderr, "ccm failed\n");
      break;
  }
  return kExitFailure;
}

int Run(const Options& o) {
  std::vector<uint8_t> input;
  if (o.has_text) {
    input = o.text;
  } else {
    aes::InputFailure failure;
    const int status = StdinFailure(aes::ReadToEnd(stdin, &input, &failure), failure);
    if (status != kGoOn) return status;
  }
  aes::WorkBuffer text(std::move(input));
  aes::CcmTraceText trace_text([](std::string_view piece) { std::fwrite(piece.data(), 1, piece.size(), stderr); });
  const aes::CipherResult result = aes::RunCipher(o.cipher, &text, o.verbose ? &trace_text : nullptr);
  // A tag that does not match still writes the plaintext, then says so.
  if (result.status == aes::CipherStatus::kOk || result.status == aes::CipherStatus::kTagMismatch) {
    const int status = WriteOutput(o.output, result.data, result.size);
    if (status != kGoOn) return status;
  }
  const int status = CipherFailure(result, o.cipher);
  return status == kGoOn ? kExitOk : status;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  int status = ParseArgs(argc, argv, &o);
  if (status < 0) status = Run(o);
  return support::CloseStdout(status, "cant write to file: stdout\n");
}
