// aescli's work once its options are read: the checks of each mode in their
// order, the cipher run over the text as it streams in (or over a work
// buffer that holds it whole), and what ends in the output. Prints nothing:
// the result names what went wrong and the main words it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "aes_modes.h"

namespace aescli {

enum class CipherMode { kNone, kCtr, kCbcEncrypt, kCbcDecrypt, kCcmEncrypt, kCcmDecrypt };

/// The mode named on the command line ("ctr", "cbc", "cbc_encrypt", ...).
bool ParseCipherMode(const char* name, CipherMode* mode);

/// A key, nonce, IV or counter as given on the command line.
struct FixedValue {
  uint8_t bytes[16] = {};
  bool present = false;
};

/// What a run needs besides the text.
struct CipherRequest {
  CipherMode mode = CipherMode::kNone;
  FixedValue key;
  FixedValue nonce;
  FixedValue iv;
  FixedValue counter;
  std::vector<uint8_t> adata;
  /// The received tag given as -t hex:... (ccm_decrypt), else the end of the text.
  std::vector<uint8_t> tag_bytes;
  bool has_tag_bytes = false;
  int mac_length = 0;
  bool reversed = false;

  CipherRequest() = default;
  CipherRequest(const CipherRequest&) = delete;
  CipherRequest& operator=(const CipherRequest&) = delete;
  ~CipherRequest();  // wipes the keys and the tag
};

/// The input text with the room the cipher operations need behind it:
/// padding to whole blocks and one more block for the CCM tag, all zero.
class WorkBuffer {
 public:
  explicit WorkBuffer(std::vector<uint8_t> text);
  uint8_t* data() { return bytes_.data(); }
  size_t size() const { return size_; }

 private:
  std::vector<uint8_t> bytes_;
  size_t size_;
};

/// How a run ended, in the order the checks are made.
enum class CipherStatus {
  kOk,
  kNoMode,
  kNoKey,
  kNoCounter,
  kNoIv,
  kNotWholeBlocks,  // CBC text not a multiple of 16 bytes
  kNoNonce,
  kNoMacLength,
  kBadMacLength,
  kShorterThanMac,  // ccm_decrypt text shorter than the tag it should end with
  kTextTooLong,     // CCM payload beyond its 3-byte length field
  kAdataTooLong,
  kTagMismatch,  // ccm_decrypt: the output is the plaintext all the same
  kCcmFailed,    // a CCM operation refused what the checks had passed
  kCannotOpenOutput,  // streaming: the sink could not be opened
  kReadFailed,        // streaming: the text could not be read (or ended early)
  kWriteFailed,       // streaming: the sink refused bytes
};

/// The result of a run: on kOk and kTagMismatch the output is `size` bytes
/// at `data` (inside the work buffer); `text_size` is the payload size the
/// CCM length checks spoke of.
struct CipherResult {
  CipherStatus status = CipherStatus::kOk;
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t text_size = 0;
};

/// Checks the request for its mode and runs the cipher in place over `text`.
/// `tracer` (CCM only) hears the values that enter the computation.
CipherResult RunCipher(const CipherRequest& request, WorkBuffer* text, aes::CcmTracer* tracer);

/// The checks of the request's mode that need no text (mode, key, counter,
/// IV, nonce, MAC length), in their order: kOk or the first that fails.
CipherStatus CheckSettings(const CipherRequest& request);

/// The text as the streaming run reads it.
struct TextSource {
  /// Reads the next bytes into `data`, `size` of them unless the text ends
  /// first; the count, or -1 on a read error.
  std::function<long long(uint8_t* data, size_t size)> read;
  /// The text's length when it is known before reading it, else -1. CCM
  /// needs it (its first MAC block holds the length).
  long long size = -1;
};

/// Where the streaming run writes its result.
class ResultSink {
 public:
  virtual ~ResultSink() = default;
  /// Called once every check that can come before the first output byte
  /// has passed (also for an empty result); false when the output cannot be
  /// opened.
  virtual bool Open() = 0;
  /// False when the bytes could not be written.
  virtual bool Write(const uint8_t* data, size_t size) = 0;
};

/// Bytes read and processed at a time.
inline constexpr size_t kPieceSize = size_t{1} << 20;

/// Runs the request over the text in pieces of kPieceSize, writing each
/// piece's result as it is made, so that memory stays the same whatever
/// the text's length. The checks and results are those of RunCipher; a CBC
/// text of unknown length is found not to be whole blocks only at its end,
/// after the blocks before have been written. With a tracer (the verbose
/// CCM trace, which shows the whole text before its results) the text,
/// which CCM's length field keeps below 16 MiB, is held whole instead.
CipherResult StreamCipher(const CipherRequest& request, const TextSource& text, aes::CcmTracer* tracer,
                          ResultSink* sink);

}  // namespace aescli
