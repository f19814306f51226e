// Block modes over the AES core: a small framework (key setup, run forward,
// run inverse) with CTR and CBC, CCM with a 12-byte nonce, and the reversed
// byte order convention offered by aescli -r.
//
// Every convenience operation builds a fresh context, so no chaining state
// survives between calls, and wipes its keys before returning. Every
// operation accepts `out == in` (work in place).
#pragma once

#include <cstddef>
#include <cstdint>

#include "aes.h"

namespace aes {

inline constexpr size_t kKeySize = 16;
inline constexpr size_t kNonceSize = 12;

/// One block step of a mode: 16 bytes in, 16 bytes out (may alias).
using BlockStep = void (*)(Context* ctx, const uint8_t* in, uint8_t* out);

/// The forward and inverse steps of a mode.
struct ModeOps {
  BlockStep forward;
  BlockStep inverse;
};

extern const ModeOps kCtrOps;
extern const ModeOps kCbcOps;

/// Applies the forward step to each block in order. Returns false, with
/// nothing processed, when `size` is not a multiple of 16 or the context has
/// no mode operations.
bool RunForward(Context* ctx, const uint8_t* in, uint8_t* out, size_t size);
/// The same with the inverse step.
bool RunInverse(Context* ctx, const uint8_t* in, uint8_t* out, size_t size);

/// Adds one to bytes 15..1 of `block` taken as a big-endian number; the carry
/// stops at byte 1 and byte 0 never changes.
void IncrementCounter(uint8_t block[kBlockSize]);

/// CTR with the counter block `counter` as the first counter. A final
/// partial block is XORed with the start of its keystream block.
void CtrCrypt(const uint8_t key[kKeySize], const uint8_t counter[kBlockSize], const uint8_t* in, size_t size,
              uint8_t* out);

/// CBC without padding. Return false (nothing written) when `size` is not a
/// multiple of 16.
bool CbcEncrypt(const uint8_t key[kKeySize], const uint8_t iv[kBlockSize], const uint8_t* in, size_t size,
                uint8_t* out);
bool CbcDecrypt(const uint8_t key[kKeySize], const uint8_t iv[kBlockSize], const uint8_t* in, size_t size,
                uint8_t* out);

/// Largest payload the 3-byte length field of CCM's first block can hold.
inline constexpr size_t kCcmMaxPayload = (size_t{1} << 24) - 1;
/// Largest associated data the 6-byte length prefix can describe.
inline constexpr uint64_t kCcmMaxAdata = 0xFFFFFFFFu;

/// What the CCM operations report to a tracer, in this order:
/// encryption: kKey kNonce kAdata kPdata kTagLength, then the tag computation;
/// decryption: kKey kNonce kAdata kCdata kReceivedTag, the tag computation,
/// then kDecryptedTag and kComputedTag.
/// A tag computation is kFormattedBegin, kFormattedBytes (several pieces that
/// together are the whole formatted MAC input), kFormattedEnd, then kTag.
enum class CcmTracePoint {
  kKey,
  kNonce,
  kAdata,
  kPdata,
  kTagLength,  // size holds the tag length, data is null
  kCdata,
  kReceivedTag,
  kFormattedBegin,
  kFormattedBytes,
  kFormattedEnd,
  kTag,
  kDecryptedTag,
  kComputedTag,
};

/// Receives the values that enter a CCM computation (verbose output).
class CcmTracer {
 public:
  virtual ~CcmTracer() = default;
  virtual void Trace(CcmTracePoint point, const uint8_t* data, size_t size) = 0;
};

/// True when the `size` bytes at `a` and `b` are equal; the time taken does
/// not depend on where they differ.
bool EqualInConstantTime(const uint8_t* a, const uint8_t* b, size_t size);

/// Tag lengths CCM allows.
bool IsValidCcmTagLength(size_t tag_size);

/// Bytes of CCM's length field (15 - the nonce size).
inline constexpr uint8_t kCcmLengthFieldSize = 3;
/// The longest length prefix of the associated data.
inline constexpr size_t kCcmMaxPrefix = 6;

/// CCM's first MAC block B0: the flags, the nonce and the low 24 bits of
/// `payload_size`.
void CcmFirstBlock(const uint8_t nonce[kNonceSize], size_t adata_size, size_t payload_size, size_t tag_size,
                   uint8_t b0[kBlockSize]);

/// Writes the length prefix of the associated data (none, 2 or 6 bytes) to
/// `prefix` and returns its size.
size_t CcmAdataPrefix(size_t adata_size, bool omit_length_prefix, uint8_t prefix[kCcmMaxPrefix]);

/// The counter block A_index: the flags byte, the nonce, then `index` as 3
/// bytes big-endian.
void CcmCounterBlock(const uint8_t nonce[kNonceSize], size_t index, uint8_t counter[kBlockSize]);

enum class CcmStatus {
  kOk,
  kTagMismatch,   // decryption: the plaintext is written all the same
  kBadTagLength,  // nothing written
  kTooLong,       // payload or associated data too long; nothing written
};

/// Writes `payload_size` ciphertext bytes followed by the `tag_size`-byte
/// encrypted tag to `out` (room for payload_size + tag_size bytes; `out` may
/// be `payload`). With `omit_length_prefix` the associated data gets no
/// length prefix.
CcmStatus CcmEncrypt(const uint8_t key[kKeySize], const uint8_t nonce[kNonceSize], const uint8_t* adata,
                     size_t adata_size, const uint8_t* payload, size_t payload_size, size_t tag_size,
                     uint8_t* out, bool omit_length_prefix, CcmTracer* tracer);

/// Decrypts `cipher_size` bytes into `out` (may be `cipher`) and checks
/// `tag` (`tag_size` bytes) in constant time.
CcmStatus CcmDecrypt(const uint8_t key[kKeySize], const uint8_t nonce[kNonceSize], const uint8_t* adata,
                     size_t adata_size, const uint8_t* cipher, size_t cipher_size, const uint8_t* tag,
                     size_t tag_size, uint8_t* out, bool omit_length_prefix, CcmTracer* tracer);

/// Rounds up to a multiple of 16.
constexpr size_t Pad16(size_t size) { return (size + 15) & ~size_t{15}; }

/// Reverses every whole 16-byte block in place, then the remaining tail as
/// one unit.
void ReverseBlocks(uint8_t* data, size_t size);

// Steps the whole-buffer modes and the streams share.

/// out = a XOR b over `size` bytes (any of them may alias).
inline void XorBytes(const uint8_t* a, const uint8_t* b, size_t size, uint8_t* out) {
  for (size_t i = 0; i < size; ++i) out[i] = static_cast<uint8_t>(a[i] ^ b[i]);
}

/// Copies `size` bytes, in reverse order when `reversed` (`out` must not
/// overlap `in`).
void CopyMaybeReversed(const uint8_t* in, size_t size, bool reversed, uint8_t* out);

/// Runs the CBC-MAC chain of `ctx` over `blocks` whole blocks, on the
/// processor's AES instructions when they are there.
void CbcMacBlocks(Context* ctx, const uint8_t* data, size_t blocks);

// The reversed byte order convention. Key, IV/counter (16 bytes), nonce
// (12 bytes) and tag (its whole length) are byte-reversed, and each data
// buffer block by block, around the standard computation.

void CtrCryptReversed(const uint8_t key[kKeySize], const uint8_t counter[kBlockSize], uint8_t* data,
                      size_t size);
bool CbcEncryptReversed(const uint8_t key[kKeySize], const uint8_t iv[kBlockSize], uint8_t* data,
                        size_t size);
bool CbcDecryptReversed(const uint8_t key[kKeySize], const uint8_t iv[kBlockSize], uint8_t* data,
                        size_t size);

/// Encrypts `data` (payload_size bytes, room for Pad16(payload_size) +
/// tag_size) in place into payload_size + tag_size bytes. `adata` has room
/// for Pad16(adata_size) bytes and is overwritten.
CcmStatus CcmEncryptReversed(const uint8_t key[kKeySize], const uint8_t nonce[kNonceSize], uint8_t* adata,
                             size_t adata_size, uint8_t* data, size_t payload_size, size_t tag_size,
                             CcmTracer* tracer);

/// Decrypts `data` (cipher_size bytes, room for Pad16(cipher_size)) in place
/// into cipher_size plaintext bytes. `adata` has room for Pad16(adata_size)
/// bytes and is overwritten. `tag` may lie inside `data` past cipher_size.
CcmStatus CcmDecryptReversed(const uint8_t key[kKeySize], const uint8_t nonce[kNonceSize], uint8_t* adata,
                             size_t adata_size, uint8_t* data, size_t cipher_size, const uint8_t* tag,
                             size_t tag_size, CcmTracer* tracer);

}  // namespace aes
