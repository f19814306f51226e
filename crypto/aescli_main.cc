// aescli: encrypts or decrypts one buffer with AES-128 in CTR, CBC or CCM
// mode. Options come in pairs of option and value; keys, IVs, counters and
// nonces are hex text or files, the data comes from a file or standard input
// and the result goes to a file or standard output as raw bytes.
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "aes_modes.h"
#include "support/file_io.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kGoOn = -1;

constexpr size_t kStdinStartSize = 1048576;

enum class Mode { kNone, kCtr, kCbcEncrypt, kCbcDecrypt, kCcmEncrypt, kCcmDecrypt };

/// A malloc'd byte buffer (allocation failure is reported, never thrown).
struct Buffer {
  uint8_t* data = nullptr;
  size_t size = 0;
  size_t capacity = 0;

  Buffer() = default;
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  ~Buffer() { Release(); }

  void Release() {
    std::free(data);
    data = nullptr;
    size = capacity = 0;
  }
  /// Grows the room to at least `wanted` bytes (new bytes are zero);
  /// false when memory runs out.
  bool Reserve(size_t wanted) {
    if (wanted <= capacity) return true;
    void* grown = std::realloc(data, wanted);
    if (grown == nullptr) return false;
    data = static_cast<uint8_t*>(grown);
    std::memset(data + capacity, 0, wanted - capacity);
    capacity = wanted;
    return true;
  }
};

/// A key, nonce, IV or counter.
struct FixedValue {
  uint8_t bytes[16] = {};
  bool present = false;
};

struct Settings {
  Mode mode = Mode::kNone;
  FixedValue key;
  FixedValue nonce;
  FixedValue iv;
  FixedValue counter;
  Buffer text;
  bool has_text = false;
  Buffer adata;
  Buffer tag_bytes;
  bool has_tag_bytes = false;
  int mac_length = 0;
  bool reversed = false;
  bool verbose = false;
  const char* output = nullptr;

  Settings() = default;
  Settings(const Settings&) = delete;
  Settings& operator=(const Settings&) = delete;
  ~Settings() {
    aes::SecureWipe(&key, sizeof(key));
    aes::SecureWipe(&nonce, sizeof(nonce));
    aes::SecureWipe(&iv, sizeof(iv));
    aes::SecureWipe(&counter, sizeof(counter));
    if (tag_bytes.data != nullptr) aes::SecureWipe(tag_bytes.data, tag_bytes.capacity);
  }
};

// Room the cipher operations need beyond the data: padding to whole blocks
// and the CCM tag.
size_t WorkingRoom(size_t size) { return aes::Pad16(size) + aes::kBlockSize; }

bool StartsWith(const char* text, const char* prefix) {
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

uint8_t HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<uint8_t>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<uint8_t>(c - 'A' + 10);
  return 0;  // other characters count as 0
}

void DecodeHex(const char* digits, size_t byte_count, uint8_t* out) {
  for (size_t i = 0; i < byte_count; ++i) {
    out[i] = static_cast<uint8_t>(HexDigitValue(digits[2 * i]) << 4 | HexDigitValue(digits[2 * i + 1]));
  }
}

// A decimal number as the C library reads it: leading text that is not a
// number gives 0; out-of-range values are clamped.
long long ParseDecimal(const char* text) { return std::strtoll(text, nullptr, 10); }

int ClampToInt(long long value) {
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

// Reads the whole file at `path`: its size by seeking to the end, then that
// many bytes from the start.
int ReadWholeFile(const char* path, Buffer* out) {
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    std::fprintf(stderr, "cant open file: %s\n", path);
    return kExitFailure;
  }
  struct stat st;
  if (fstat(fileno(file), &st) == 0 && S_ISDIR(st.st_mode)) {
    // A directory "opens" but has no bytes to give.
    std::fclose(file);
    std::fprintf(stderr, "cant read from file: %s\n", path);
    return kExitFailure;
  }
  off_t end = -1;
  if (fseeko(file, 0, SEEK_END) == 0) end = ftello(file);
  if (end < 0 || fseeko(file, 0, SEEK_SET) != 0) {
    std::fclose(file);
    std::fprintf(stderr, "cant seek file: %s\n", path);
    return kExitFailure;
  }
  const size_t size = static_cast<size_t>(end);
  out->Release();
  if (!out->Reserve(WorkingRoom(size))) {
    std::fclose(file);
    std::fprintf(stderr, "cant alloc memory: %zu bytes\n", size);
    return kExitFailure;
  }
  const size_t got = size == 0 ? 0 : std::fread(out->data, 1, size, file);
  std::fclose(file);
  if (got != size) {
    std::fprintf(stderr, "cant read from file: %s\n", path);
    return kExitFailure;
  }
  out->size = size;
  return kGoOn;
}

// Reads the first `size` bytes of the file at `path`.
int ReadFileStart(const char* path, size_t size, uint8_t* out) {
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    std::fprintf(stderr, "cant open file: %s\n", path);
    return kExitFailure;
  }
  const size_t got = std::fread(out, 1, size, file);
  std::fclose(file);
  if (got != size) {
    std::fprintf(stderr, "cant read from file: %s\n", path);
    return kExitFailure;
  }
  return kGoOn;
}

int SetFixedValue(const char* value, size_t size, FixedValue* setting) {
  aes::SecureWipe(setting, sizeof(*setting));  // the last value given counts, even a bad one
  if (StartsWith(value, "hex:")) {
    const char* digits = value + 4;
    const size_t digit_count = std::strlen(digits);
    if (digit_count != 2 * size) {
      std::fprintf(stderr, "'hex' length mismatch: require=%d received=%d\n", static_cast<int>(2 * size),
                   ClampToInt(static_cast<long long>(digit_count)));
      return kGoOn;
    }
    DecodeHex(digits, size, setting->bytes);
    setting->present = true;
    return kGoOn;
  }
  const int status = ReadFileStart(value, size, setting->bytes);
  if (status != kGoOn) return status;
  setting->present = true;
  return kGoOn;
}

int SetMacLength(const char* value, Settings* s) {
  s->has_tag_bytes = false;
  s->tag_bytes.Release();
  s->mac_length = 0;
  if (!StartsWith(value, "hex:")) {
    s->mac_length = ClampToInt(ParseDecimal(value));
    return kGoOn;
  }
  const char* digits = value + 4;
  const size_t digit_count = std::strlen(digits);
  if (digit_count % 2 != 0) {
    std::fprintf(stderr, "'hex' length must be multiple of 2: received=%d\n",
                 ClampToInt(static_cast<long long>(digit_count)));
    return kGoOn;
  }
  const size_t count = digit_count / 2;
  if (!s->tag_bytes.Reserve(count + 1)) {
    std::fprintf(stderr, "cant alloc memory: %zu bytes\n", count);
    return kExitFailure;
  }
  DecodeHex(digits, count, s->tag_bytes.data);
  s->tag_bytes.size = count;
  s->has_tag_bytes = true;
  s->mac_length = ClampToInt(static_cast<long long>(count));
  return kGoOn;
}

int ReadStdinCount(const char* count_text, Buffer* out) {
  const long long count = ParseDecimal(count_text);
  if (count < 0) {
    std::fprintf(stderr, "invalid stdin count: %s\n", count_text);
    return kExitFailure;
  }
  const size_t size = static_cast<size_t>(count);
  out->Release();
  if (!out->Reserve(WorkingRoom(size))) {
    std::fprintf(stderr, "cant alloc memory: %zu bytes\n", size);
    return kExitFailure;
  }
  const size_t got = size == 0 ? 0 : std::fread(out->data, 1, size, stdin);
  if (got != size) {
    std::fprintf(stderr, "cant read from stdin\n");
    return kExitFailure;
  }
  out->size = size;
  return kGoOn;
}

// The rest of standard input up to its end; the buffer starts at 1 MiB and
// doubles whenever a read fills it.
int ReadStdinToEnd(Buffer* out) {
  out->Release();
  size_t room = kStdinStartSize;
  for (;;) {
    if (!out->Reserve(room)) {
      std::fprintf(stderr, "cant alloc memory: %zu bytes\n", room);
      return kExitFailure;
    }
    out->size += std::fread(out->data + out->size, 1, room - out->size, stdin);
    if (out->size < room) break;
    room *= 2;
  }
  if (std::ferror(stdin)) {
    std::fprintf(stderr, "cant read from stdin\n");
    return kExitFailure;
  }
  if (!out->Reserve(WorkingRoom(out->size))) {
    std::fprintf(stderr, "cant alloc memory: %zu bytes\n", WorkingRoom(out->size));
    return kExitFailure;
  }
  return kGoOn;
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
int ParseArgs(int argc, char** argv, Settings* s) {
  for (int i = 1; i < argc; ++i) {
    const char* option = argv[i];
    if (std::strcmp(option, "-r") == 0) {
      s->reversed = true;
      continue;
    }
    if (std::strcmp(option, "--verbose") == 0) {
      s->verbose = true;
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
        s->output = value;
        break;
      case 'm':
        if (!ParseMode(value, &s->mode)) {
          std::fprintf(stderr, "unkwon cipher mode: %s\n", value);
          return kExitFailure;
        }
        break;
      case 'k':
        status = SetFixedValue(value, aes::kKeySize, &s->key);
        break;
      case 'n':
        status = SetFixedValue(value, aes::kNonceSize, &s->nonce);
        break;
      case 'i':
        status = SetFixedValue(value, aes::kBlockSize, &s->iv);
        break;
      case 'c':
        status = SetFixedValue(value, aes::kBlockSize, &s->counter);
        break;
      case 'p':
        s->has_text = false;
        status = ReadWholeFile(value, &s->text);
        s->has_text = status == kGoOn;
        break;
      case 'a':
        status = StartsWith(value, "stdin:") ? ReadStdinCount(value + 6, &s->adata)
                                             : ReadWholeFile(value, &s->adata);
        break;
      case 't':
        status = SetMacLength(value, s);
        break;
      default:
        break;
    }
    if (status != kGoOn) return status;
  }
  return kGoOn;
}

/// Writes the CCM trace to standard error: each label followed at once by a
/// hex dump ("%02X " per byte, a line feed after every 16th byte and after a
/// last partial line; an empty dump is a single line feed).
class StderrTracer : public aes::CcmTracer {
 public:
  ~StderrTracer() override { Flush(); }

  void Trace(aes::CcmTracePoint point, const uint8_t* data, size_t size) override {
    using P = aes::CcmTracePoint;
    switch (point) {
      case P::kKey:
        Dump("key     ", data, size);
        break;
      case P::kNonce:
        Dump("nonce   ", data, size);
        break;
      case P::kAdata:
        Dump("adata   ", data, size);
        break;
      case P::kPdata:
        Dump("pdata   ", data, size);
        break;
      case P::kTagLength:
        Flush();
        std::fprintf(stderr, "tag_len %d\n", static_cast<int>(size));
        break;
      case P::kCdata:
        Dump("cdata   ", data, size);
        break;
      case P::kReceivedTag:
        Dump("tag     ", data, size);
        break;
      case P::kFormattedBegin:
        Begin("formatted ");
        break;
      case P::kFormattedBytes:
        Bytes(data, size);
        break;
      case P::kFormattedEnd:
        End();
        break;
      case P::kTag:
        Dump("tag       ", data, size);
        break;
      case P::kDecryptedTag:
        Dump("dec_tag ", data, size);
        break;
      case P::kComputedTag:
        Dump("cmp_tag ", data, size);
        break;
    }
  }

 private:
  void Dump(const char* label, const uint8_t* data, size_t size) {
    Begin(label);
    Bytes(data, size);
    End();
  }
  void Begin(const char* label) {
    count_ = 0;
    Append(label, std::strlen(label));
  }
  void Bytes(const uint8_t* data, size_t size) {
    static const char kDigits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < size; ++i) {
      const char text[3] = {kDigits[data[i] >> 4], kDigits[data[i] & 15], ' '};
      Append(text, 3);
      if (++count_ % 16 == 0) Append("\n", 1);
    }
  }
  void End() {
    if (count_ == 0 || count_ % 16 != 0) Append("\n", 1);
    Flush();
  }
  void Append(const char* text, size_t size) {
    if (used_ + size > sizeof(line_)) Flush();
    std::memcpy(line_ + used_, text, size);
    used_ += size;
  }
  void Flush() {
    if (used_ != 0) std::fwrite(line_, 1, used_, stderr);
    used_ = 0;
  }

  size_t count_ = 0;
  char line_[4096];
  size_t used_ = 0;
};

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

// The checks every mode starts with, in their order; kGoOn when all pass.
int CheckKeyAnd(const Settings& s, const FixedValue& second, const char* second_message) {
  if (!s.key.present) {
    std::fprintf(stderr, "require key(-k)\n");
    return kExitFailure;
  }
  if (!second.present) {
    std::fputs(second_message, stderr);
    return kExitFailure;
  }
  return kGoOn;
}

int CheckInputText(const Settings& s) {
  if (!s.has_text) {
    std::fprintf(stderr, "require input text\n");
    return kExitFailure;
  }
  return kGoOn;
}

int RunCtr(Settings* s) {
  int status = CheckKeyAnd(*s, s->counter, "require counter(-c)\n");
  if (status == kGoOn) status = CheckInputText(*s);
  if (status != kGoOn) return status;
  if (s->reversed) {
    aes::CtrCryptReversed(s->key.bytes, s->counter.bytes, s->text.data, s->text.size);
  } else {
    aes::CtrCrypt(s->key.bytes, s->counter.bytes, s->text.data, s->text.size, s->text.data);
  }
  status = WriteOutput(s->output, s->text.data, s->text.size);
  return status == kGoOn ? kExitOk : status;
}

int RunCbc(Settings* s, bool encrypt) {
  int status = CheckKeyAnd(*s, s->iv, "require iv(-i)\n");
  if (status == kGoOn) status = CheckInputText(*s);
  if (status != kGoOn) return status;
  if (s->text.size % aes::kBlockSize != 0) {
    std::fprintf(stderr, "input text length must be multiple of 16\n");
    return kExitFailure;
  }
  uint8_t* data = s->text.data;
  const size_t size = s->text.size;
  if (s->reversed) {
    encrypt ? aes::CbcEncryptReversed(s->key.bytes, s->iv.bytes, data, size)
            : aes::CbcDecryptReversed(s->key.bytes, s->iv.bytes, data, size);
  } else {
    encrypt ? aes::CbcEncrypt(s->key.bytes, s->iv.bytes, data, size, data)
            : aes::CbcDecrypt(s->key.bytes, s->iv.bytes, data, size, data);
  }
  status = WriteOutput(s->output, data, size);
  return status == kGoOn ? kExitOk : status;
}

int RunCcm(Settings* s, bool encrypt) {
  int status = CheckKeyAnd(*s, s->nonce, "require nonce(-n)\n");
  if (status != kGoOn) return status;
  if (s->mac_length == 0) {
    std::fprintf(stderr, "require MAC length(-t)\n");
    return kExitFailure;
  }
  if (s->mac_length < 0 || !aes::IsValidCcmTagLength(static_cast<size_t>(s->mac_length))) {
    std::fprintf(stderr, "MAC length(-t=%d) must be one of 4, 6, 8, 10, 12, 14, 16\n", s->mac_length);
    return kExitFailure;
  }
  status = CheckInputText(*s);
  if (status != kGoOn) return status;

  const size_t tag_size = static_cast<size_t>(s->mac_length);
  uint8_t* data = s->text.data;
  size_t data_size = s->text.size;
  const uint8_t* tag = s->tag_bytes.data;
  if (!encrypt && !s->has_tag_bytes) {
    // The received tag is the end of the input text.
    if (data_size < tag_size) {
      std::fprintf(stderr, "input text shorter than MAC length(-t=%d)\n", s->mac_length);
      return kExitFailure;
    }
    data_size -= tag_size;
    tag = data + data_size;
  }
  const size_t counted = s->reversed ? aes::Pad16(data_size) : data_size;
  if (counted > aes::kCcmMaxPayload) {
    std::fprintf(stderr, "input text too long for ccm: %zu bytes (at most %zu)\n", data_size,
                 aes::kCcmMaxPayload);
    return kExitFailure;
  }
  const size_t counted_adata = s->reversed ? aes::Pad16(s->adata.size) : s->adata.size;
  if (counted_adata > aes::kCcmMaxAdata) {
    std::fprintf(stderr, "associated data too long for ccm: %zu bytes\n", s->adata.size);
    return kExitFailure;
  }

  StderrTracer stderr_tracer;
  aes::CcmTracer* tracer = s->verbose ? &stderr_tracer : nullptr;
  aes::CcmStatus result;
  size_t out_size;
  if (encrypt) {
    result = s->reversed ? aes::CcmEncryptReversed(s->key.bytes, s->nonce.bytes, s->adata.data, s->adata.size,
                                                   data, data_size, tag_size, tracer)
                         : aes::CcmEncrypt(s->key.bytes, s->nonce.bytes, s->adata.data, s->adata.size, data,
                                           data_size, tag_size, data, false, tracer);
    out_size = data_size + tag_size;
  } else {
    result = s->reversed ? aes::CcmDecryptReversed(s->key.bytes, s->nonce.bytes, s->adata.data, s->adata.size,
                                                   data, data_size, tag, tag_size, tracer)
                         : aes::CcmDecrypt(s->key.bytes, s->nonce.bytes, s->adata.data, s->adata.size, data,
                                           data_size, tag, tag_size, data, false, tracer);
    out_size = data_size;
  }
  if (result != aes::CcmStatus::kOk && result != aes::CcmStatus::kTagMismatch) {
    // Sizes and tag length were checked above; this cannot happen.
    std::fprintf(stderr, "ccm failed\n");
    return kExitFailure;
  }
  status = WriteOutput(s->output, data, out_size);
  if (status != kGoOn) return status;
  if (result == aes::CcmStatus::kTagMismatch) {
    std::fprintf(stderr, "ccm decrypt verification failed\n");
    return kExitFailure;
  }
  return kExitOk;
}

int Run(Settings* s) {
  if (!s->has_text) {
    const int status = ReadStdinToEnd(&s->text);
    if (status != kGoOn) return status;
    s->has_text = true;
  }
  switch (s->mode) {
    case Mode::kNone:
      std::fprintf(stderr, "cipher mode not specified\n");
      return kExitFailure;
    case Mode::kCtr:
      return RunCtr(s);
    case Mode::kCbcEncrypt:
      return RunCbc(s, true);
    case Mode::kCbcDecrypt:
      return RunCbc(s, false);
    case Mode::kCcmEncrypt:
      return RunCcm(s, true);
    case Mode::kCcmDecrypt:
      return RunCcm(s, false);
  }
  return kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  int status = ParseArgs(argc, argv, &settings);
  if (status == kGoOn) status = Run(&settings);
  return support::CloseStdout(status, "cant write to file: stdout\n");
}
