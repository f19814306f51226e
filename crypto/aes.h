// The AES block cipher (FIPS-197), table-driven: one 256-entry table of
// 32-bit words per direction, applied with byte rotations for the four
// columns, plus the S-box and inverse S-box for the last round and the key
// expansion. Keys of 16, 24 and 32 bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace aes {

inline constexpr size_t kBlockSize = 16;

struct ModeOps;

/// Flag bit: the decryption round keys have not been derived yet.
inline constexpr uint8_t kNeedDecryptKeys = 0x01;

/// One cipher operation's state; created, used and wiped inside one call.
struct Context {
  /// CBC: the IV, then the last ciphertext block; CTR: the current counter.
  uint8_t chain[kBlockSize];
  /// Key schedule, one little-endian word per column (byte 0 of the column
  /// in the low bits).
  uint32_t enc_keys[60];
  /// Equivalent inverse cipher round keys, derived on the first decryption.
  uint32_t dec_keys[60];
  /// 10, 12 or 14.
  uint8_t rounds;
  uint8_t flags;
  const ModeOps* ops;
};

/// Copies the chaining block, expands `key` and stores `ops`. Returns false
/// (and sets nothing up) when `key_size` is not 16, 24 or 32.
bool KeySetup(Context* ctx, const uint8_t* key, size_t key_size, const uint8_t chain[kBlockSize],
              const ModeOps* ops);

/// Encrypts one block; `in` and `out` may be the same buffer.
void EncryptBlock(const Context& ctx, const uint8_t in[kBlockSize], uint8_t out[kBlockSize]);

/// Decrypts one block; `in` and `out` may be the same buffer. Derives the
/// decryption round keys on first use.
void DecryptBlock(Context* ctx, const uint8_t in[kBlockSize], uint8_t out[kBlockSize]);

/// Derives the decryption round keys now, when they have not been yet.
void PrepareDecryptKeys(Context* ctx);

/// Overwrites `size` bytes with zeros in a way the compiler may not drop.
void SecureWipe(void* data, size_t size);

/// Wipes the whole context (keys, chaining block).
inline void WipeContext(Context* ctx) { SecureWipe(ctx, sizeof(*ctx)); }

}  // namespace aes
