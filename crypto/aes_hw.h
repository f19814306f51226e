// The AES rounds on the processor's AES instructions, for the block modes'
// hot loops. Chosen at run time: only when the processor has them and
// AESCLI_NO_HW is not set to a non-empty value other than "0"; the table core
// stays the fallback and the reference. Each function works on the round
// keys of a Context set up by KeySetup, so both paths share one key schedule.
#pragma once

#include <cstddef>
#include <cstdint>

#include "aes.h"

namespace aes::hw {

/// True when the instructions are present and allowed.
bool Enabled();

/// Tests and benchmarks: forces the table core (false) or allows the
/// instructions again (true, still only when present).
void SetAllowed(bool allowed);

/// One block with the encryption round keys; `in` may be `out`.
void EncryptBlock(const Context &ctx, const uint8_t *in, uint8_t *out);
/// One block with the decryption round keys (derived when needed).
void DecryptBlock(Context *ctx, const uint8_t *in, uint8_t *out);

/// CTR over `blocks` whole blocks, counter in ctx->chain, advanced per block
/// as IncrementCounter does (bytes 15 down to 1, byte 0 never changes).
void CtrBlocks(Context *ctx, const uint8_t *in, uint8_t *out, size_t blocks);
/// CBC encryption of `blocks` blocks, the chaining block in ctx->chain.
void CbcEncryptBlocks(Context *ctx, const uint8_t *in, uint8_t *out, size_t blocks);
/// The CBC-MAC chain over `blocks` blocks: ctx->chain becomes the last
/// cipher block; nothing else is written.
void CbcMacBlocks(Context *ctx, const uint8_t *in, size_t blocks);
/// CBC decryption of `blocks` blocks, several in flight; `in` may be `out`.
void CbcDecryptBlocks(Context *ctx, const uint8_t *in, uint8_t *out, size_t blocks);

// The same loops in the reversed byte order convention: each block is
// byte-reversed as it is loaded and again as it is stored, with a vector
// shuffle beside the rounds rather than a pass of its own.

/// CTR with each keystream block byte-reversed (which is what reversing the
/// data block around CTR amounts to).
void CtrBlocksReversed(Context *ctx, const uint8_t *in, uint8_t *out, size_t blocks);
void CbcEncryptBlocksReversed(Context *ctx, const uint8_t *in, uint8_t *out, size_t blocks);
void CbcDecryptBlocksReversed(Context *ctx, const uint8_t *in, uint8_t *out, size_t blocks);

/// CCM's two passes over `blocks` whole blocks at once, their rounds
/// interleaved: the CTR pass (counter in ctr->chain, advanced per block) and
/// the CBC-MAC (chain in mac->chain) over the plaintext, which is the input
/// when `encrypt` and the output otherwise. With `reversed` each block is
/// byte-reversed on its way in and out. `in` may be `out`.
void CcmBlocks(Context *ctr, Context *mac, const uint8_t *in, uint8_t *out, size_t blocks, bool encrypt,
               bool reversed);

}  // namespace aes::hw
