#include "aes_modes.h"

#include "aes_hw.h"

#include <algorithm>
#include <cstring>

namespace aes {
namespace {

void CtrStep(Context* ctx, const uint8_t* in, uint8_t* out) {
  uint8_t keystream[kBlockSize];
  EncryptBlock(*ctx, ctx->chain, keystream);
  XorBytes(in, keystream, kBlockSize, out);
  IncrementCounter(ctx->chain);
}

void CbcForwardStep(Context* ctx, const uint8_t* in, uint8_t* out) {
  uint8_t x[kBlockSize];
  XorBytes(in, ctx->chain, kBlockSize, x);
  EncryptBlock(*ctx, x, out);
  std::memcpy(ctx->chain, out, kBlockSize);
}

void CbcInverseStep(Context* ctx, const uint8_t* in, uint8_t* out) {
  uint8_t saved[kBlockSize];
  std::memcpy(saved, ctx->chain, kBlockSize);
  std::memcpy(ctx->chain, in, kBlockSize);
  uint8_t plain[kBlockSize];
  DecryptBlock(ctx, in, plain);
  XorBytes(plain, saved, kBlockSize, out);
}

bool Run(Context* ctx, const uint8_t* in, uint8_t* out, size_t size, bool forward) {
  if (size % kBlockSize != 0 || ctx->ops == nullptr) return false;
  if (hw::Enabled()) {
    // The modes' own loops, several blocks in flight where the mode allows.
    const size_t blocks = size / kBlockSize;
    if (ctx->ops == &kCtrOps) {
      hw::CtrBlocks(ctx, in, out, blocks);
      return true;
    }
    if (ctx->ops == &kCbcOps) {
      if (forward) {
        hw::CbcEncryptBlocks(ctx, in, out, blocks);
      } else {
        hw::CbcDecryptBlocks(ctx, in, out, blocks);
      }
      return true;
    }
  }
  const BlockStep step = forward ? ctx->ops->forward : ctx->ops->inverse;
  for (size_t offset = 0; offset < size; offset += kBlockSize) step(ctx, in + offset, out + offset);
  return true;
}

// Runs the CTR context over `size` bytes; a final partial block uses the
// start of one more keystream block.
void CtrRun(Context* ctx, const uint8_t* in, size_t size, uint8_t* out) {
  const size_t whole = size - size % kBlockSize;
  RunForward(ctx, in, out, whole);
  const size_t tail = size - whole;
  if (tail != 0) {
    uint8_t block[kBlockSize] = {};
    std::memcpy(block, in + whole, tail);
    CtrStep(ctx, block, block);
    std::memcpy(out + whole, block, tail);
    SecureWipe(block, sizeof(block));
  }
}

void ReverseBytes(uint8_t* data, size_t size) { std::reverse(data, data + size); }


void ZeroTail(uint8_t* data, size_t size, size_t padded) {
  if (padded > size) std::memset(data + size, 0, padded - size);
}

void Trace(CcmTracer* tracer, CcmTracePoint point, const uint8_t* data, size_t size) {
  if (tracer != nullptr) tracer->Trace(point, data, size);
}

// CBC-MAC with a zero IV over the formatted input, fed in pieces; the pieces
// are also shown to the tracer, so the trace is exactly what was MACed.
class CbcMac {
 public:
  CbcMac(const uint8_t key[kKeySize], CcmTracer* tracer) : tracer_(tracer) {
    const uint8_t zero_iv[kBlockSize] = {};
    KeySetup(&ctx_, key, kKeySize, zero_iv, &kCbcOps);
  }
  ~CbcMac() {
    WipeContext(&ctx_);
    SecureWipe(pending_, sizeof(pending_));
  }
  CbcMac(const CbcMac&) = delete;
  CbcMac& operator=(const CbcMac&) = delete;

  void Absorb(const uint8_t* data, size_t size) {
    if (size == 0) return;
    Trace(tracer_, CcmTracePoint::kFormattedBytes, data, size);
    while (size > 0) {
      if (fill_ == 0 && size >= kBlockSize) {
        const size_t blocks = size / kBlockSize;
        CbcMacBlocks(&ctx_, data, blocks);
        data += blocks * kBlockSize;
        size -= blocks * kBlockSize;
        continue;
      }
      const size_t take = std::min(size, kBlockSize - fill_);
      std::memcpy(pending_ + fill_, data, take);
      fill_ += take;
      data += take;
      size -= take;
      if (fill_ == kBlockSize) Flush();
    }
  }

  void PadWithZeros() {
    if (fill_ == 0) return;
    const uint8_t zeros[kBlockSize] = {};
    Absorb(zeros, kBlockSize - fill_);
  }

  /// The last CBC output block (call after the input is block aligned).
  const uint8_t* Result() const { return ctx_.chain; }

 private:
  void Flush() {
    uint8_t discard[kBlockSize];
    kCbcOps.forward(&ctx_, pending_, discard);
    fill_ = 0;
  }

  CcmTracer* tracer_;
  Context ctx_;
  uint8_t pending_[kBlockSize];
  size_t fill_ = 0;
};

// The tag T over the formatted MAC input; `tag` receives 16 bytes of which
// the first `tag_size` are the tag.
void ComputeTag(const uint8_t key[kKeySize], const uint8_t nonce[kNonceSize], const uint8_t* adata,
                size_t adata_size, const uint8_t* payload, size_t payload_size, size_t tag_size,
                bool omit_length_prefix, CcmTracer* tracer, uint8_t tag[kBlockSize]) {
  Trace(tracer, CcmTracePoint::kFormattedBegin, nullptr, 0);
  CbcMac mac(key, tracer);
  uint8_t b0[kBlockSize];
  CcmFirstBlock(nonce, adata_size, payload_size, tag_size, b0);
  mac.Absorb(b0, sizeof(b0));
  uint8_t prefix[kCcmMaxPrefix];
  mac.Absorb(prefix, CcmAdataPrefix(adata_size, omit_length_prefix, prefix));
  if (adata_size != 0) mac.Absorb(adata, adata_size);
  mac.PadWithZeros();
  if (payload_size != 0) mac.Absorb(payload, payload_size);
  mac.PadWithZeros();
  Trace(tracer, CcmTracePoint::kFormattedEnd, nullptr, 0);

  std::memcpy(tag, mac.Result(), kBlockSize);
  Trace(tracer, CcmTracePoint::kTag, tag, tag_size);
}

// The CTR pass of CCM: the 16-byte `tag_block` with counter 0, then the data
// with counters 1, 2, ...
void CcmCtrPass(const uint8_t key[kKeySize], const uint8_t nonce[kNonceSize], uint8_t tag_block[kBlockSize],
                const uint8_t* in, size_t size, uint8_t* out) {
  uint8_t counter[kBlockSize];
  CcmCounterBlock(nonce, 0, counter);
  Context ctx;
  KeySetup(&ctx, key, kKeySize, counter, &kCtrOps);
  kCtrOps.forward(&ctx, tag_block, tag_block);
  CtrRun(&ctx, in, size, out);
  WipeContext(&ctx);
}

CcmStatus CheckCcmSizes(size_t adata_size, size_t data_size, size_t tag_size) {
  if (!IsValidCcmTagLength(tag_size)) return CcmStatus::kBadTagLength;
  if (data_size > kCcmMaxPayload || static_cast<uint64_t>(adata_size) > kCcmMaxAdata) {
    return CcmStatus::kTooLong;
  }
  return CcmStatus::kOk;
}

}  // namespace

const ModeOps kCtrOps = {CtrStep, CtrStep};
const ModeOps kCbcOps = {CbcForwardStep, CbcInverseStep};

bool RunForward(Context* ctx, const uint8_t* in, uint8_t* out, size_t size) {
  return Run(ctx, in, out, size, true);
}

bool RunInverse(Context* ctx, const uint8_t* in, uint8_t* out, size_t size) {
  return Run(ctx, in, out, size, false);
}

void IncrementCounter(uint8_t block[kBlockSize]) {
  for (size_t i = kBlockSize - 1; i >= 1; --i) {
    if (++block[i] != 0) break;
  }
}

void CtrCrypt(const uint8_t key[kKeySize], const uint8_t counter[kBlockSize], const uint8_t* in, size_t size,
              uint8_t* out) {
  Context ctx;
  KeySetup(&ctx, key, kKeySize, counter, &kCtrOps);
  CtrRun(&ctx, in, size, out);
  WipeContext(&ctx);
}

namespace {

bool CbcRun(const uint8_t key[kKeySize], const uint8_t iv[kBlockSize], const uint8_t* in, size_t size,
            uint8_t* out, bool forward) {
  Context ctx;
  KeySetup(&ctx, key, kKeySize, iv, &kCbcOps);
  const bool ok = Run(&ctx, in, out, size, forward);
  WipeContext(&ctx);
  return ok;
}

}  // namespace

bool CbcEncrypt(const uint8_t key[kKeySize], const uint8_t iv[kBlockSize], const uint8_t* in, size_t size,
                uint8_t* out) {
  return CbcRun(key, iv, in, size, out, true);
}

bool CbcDecrypt(const uint8_t key[kKeySize], const uint8_t iv[kBlockSize], const uint8_t* in, size_t size,
                uint8_t* out) {
  return CbcRun(key, iv, in, size, out, false);
}

bool EqualInConstantTime(const uint8_t* a, const uint8_t* b, size_t size) {
  volatile uint8_t diff = 0;
  for (size_t i = 0; i < size; ++i) diff = static_cast<uint8_t>(diff | (a[i] ^ b[i]));
  return diff == 0;
}

bool IsValidCcmTagLength(size_t tag_size) { return tag_size >= 4 && tag_size <= 16 && tag_size % 2 == 0; }

void CcmFirstBlock(const uint8_t nonce[kNonceSize], size_t adata_size, size_t payload_size, size_t tag_size,
                   uint8_t b0[kBlockSize]) {
  b0[0] =
      static_cast<uint8_t>((adata_size != 0 ? 0x40 : 0) | ((tag_size - 2) / 2) << 3 | (kCcmLengthFieldSize - 1));
  std::memcpy(b0 + 1, nonce, kNonceSize);
  b0[13] = static_cast<uint8_t>(payload_size >> 16);
  b0[14] = static_cast<uint8_t>(payload_size >> 8);
  b0[15] = static_cast<uint8_t>(payload_size);
}

size_t CcmAdataPrefix(size_t adata_size, bool omit_length_prefix, uint8_t prefix[kCcmMaxPrefix]) {
  if (adata_size == 0 || omit_length_prefix) return 0;
  if (adata_size < 0xFF00) {
    prefix[0] = static_cast<uint8_t>(adata_size >> 8);
    prefix[1] = static_cast<uint8_t>(adata_size);
    return 2;
  }
  const uint64_t la = adata_size;
  prefix[0] = 0xFF;
  prefix[1] = 0xFE;
  prefix[2] = static_cast<uint8_t>(la >> 24);
  prefix[3] = static_cast<uint8_t>(la >> 16);
  prefix[4] = static_cast<uint8_t>(la >> 8);
  prefix[5] = static_cast<uint8_t>(la);
  return 6;
}

void CcmCounterBlock(const uint8_t nonce[kNonceSize], size_t index, uint8_t counter[kBlockSize]) {
  counter[0] = kCcmLengthFieldSize - 1;
  std::memcpy(counter + 1, nonce, kNonceSize);
  counter[13] = static_cast<uint8_t>(index >> 16);
  counter[14] = static_cast<uint8_t>(index >> 8);
  counter[15] = static_cast<uint8_t>(index);
}

CcmStatus CcmEncrypt(const uint8_t key[kKeySize], const uint8_t nonce[kNonceSize], const uint8_t* adata,
                     size_t adata_size, const uint8_t* payload, size_t payload_size, size_t tag_size,
                     uint8_t* out, bool omit_length_prefix, CcmTracer* tracer) {
  const CcmStatus sizes = CheckCcmSizes(adata_size, payload_size, tag_size);
  if (sizes != CcmStatus::kOk) return sizes;
  Trace(tracer, CcmTracePoint::kKey, key, kKeySize);
  Trace(tracer, CcmTracePoint::kNonce, nonce, kNonceSize);
  Trace(tracer, CcmTracePoint::kAdata, adata, adata_size);
  Trace(tracer, CcmTracePoint::kPdata, payload, payload_size);
  Trace(tracer, CcmTracePoint::kTagLength, nullptr, tag_size);

  uint8_t tag[kBlockSize];
  ComputeTag(key, nonce, adata, adata_size, payload, payload_size, tag_size, omit_length_prefix, tracer, tag);
  // T zero-padded to a block; the padding bytes of the result are unused.
  std::memset(tag + tag_size, 0, kBlockSize - tag_size);
  CcmCtrPass(key, nonce, tag, payload, payload_size, out);
  std::memcpy(out + payload_size, tag, tag_size);
  SecureWipe(tag, sizeof(tag));
  return CcmStatus::kOk;
}

CcmStatus CcmDecrypt(const uint8_t key[kKeySize], const uint8_t nonce[kNonceSize], const uint8_t* adata,
                     size_t adata_size, const uint8_t* cipher, size_t cipher_size, const uint8_t* tag,
                     size_t tag_size, uint8_t* out, bool omit_length_prefix, CcmTracer* tracer) {
  const CcmStatus sizes = CheckCcmSizes(adata_size, cipher_size, tag_size);
  if (sizes != CcmStatus::kOk) return sizes;
  Trace(tracer, CcmTracePoint::kKey, key, kKeySize);
  Trace(tracer, CcmTracePoint::kNonce, nonce, kNonceSize);
  Trace(tracer, CcmTracePoint::kAdata, adata, adata_size);
  Trace(tracer, CcmTracePoint::kCdata, cipher, cipher_size);
  Trace(tracer, CcmTracePoint::kReceivedTag, tag, tag_size);

  uint8_t received[kBlockSize] = {};
  std::memcpy(received, tag, tag_size);
  CcmCtrPass(key, nonce, received, cipher, cipher_size, out);

  uint8_t expected[kBlockSize];
  ComputeTag(key, nonce, adata, adata_size, out, cipher_size, tag_size, omit_length_prefix, tracer, expected);
  Trace(tracer, CcmTracePoint::kDecryptedTag, received, tag_size);
  Trace(tracer, CcmTracePoint::kComputedTag, expected, tag_size);
  const bool match = EqualInConstantTime(received, expected, tag_size);
  SecureWipe(received, sizeof(received));
  SecureWipe(expected, sizeof(expected));
  return match ? CcmStatus::kOk : CcmStatus::kTagMismatch;
}

void ReverseBlocks(uint8_t* data, size_t size) {
  const size_t whole = size - size % kBlockSize;
  for (size_t offset = 0; offset < whole; offset += kBlockSize) ReverseBytes(data + offset, kBlockSize);
  ReverseBytes(data + whole, size - whole);
}

void CopyMaybeReversed(const uint8_t* in, size_t size, bool reversed, uint8_t* out) {
  if (reversed) {
    std::reverse_copy(in, in + size, out);
  } else {
    std::memcpy(out, in, size);
  }
}

void CbcMacBlocks(Context* ctx, const uint8_t* data, size_t blocks) {
  if (hw::Enabled()) {
    hw::CbcMacBlocks(ctx, data, blocks);
    return;
  }
  for (size_t k = 0; k < blocks; ++k) {
    uint8_t x[kBlockSize];
    XorBytes(ctx->chain, data + k * kBlockSize, kBlockSize, x);
    EncryptBlock(*ctx, x, ctx->chain);
  }
}

void CtrCryptReversed(const uint8_t key[kKeySize], const uint8_t counter[kBlockSize], uint8_t* data,
                      size_t size) {
  uint8_t rkey[kKeySize];
  uint8_t rcounter[kBlockSize];
  CopyMaybeReversed(key, kKeySize, true, rkey);
  CopyMaybeReversed(counter, kBlockSize, true, rcounter);
  ReverseBlocks(data, size);
  CtrCrypt(rkey, rcounter, data, size, data);
  ReverseBlocks(data, size);
  SecureWipe(rkey, sizeof(rkey));
}

namespace {

bool CbcReversed(const uint8_t key[kKeySize], const uint8_t iv[kBlockSize], uint8_t* data, size_t size,
                 bool encrypt) {
  if (size % kBlockSize != 0) return false;
  uint8_t rkey[kKeySize];
  uint8_t riv[kBlockSize];
  CopyMaybeReversed(key, kKeySize, true, rkey);
  CopyMaybeReversed(iv, kBlockSize, true, riv);
  ReverseBlocks(data, size);
  if (encrypt) {
    CbcEncrypt(rkey, riv, data, size, data);
  } else {
    CbcDecrypt(rkey, riv, data, size, data);
  }
  ReverseBlocks(data, size);
  SecureWipe(rkey, sizeof(rkey));
  return true;
}

}  // namespace

bool CbcEncryptReversed(const uint8_t key[kKeySize], const uint8_t iv[kBlockSize], uint8_t* data,
                        size_t size) {
  return CbcReversed(key, iv, data, size, true);
}

bool CbcDecryptReversed(const uint8_t key[kKeySize], const uint8_t iv[kBlockSize], uint8_t* data,
                        size_t size) {
  return CbcReversed(key, iv, data, size, false);
}

CcmStatus CcmEncryptReversed(const uint8_t key[kKeySize], const uint8_t nonce[kNonceSize], uint8_t* adata,
                             size_t adata_size, uint8_t* data, size_t payload_size, size_t tag_size,
                             CcmTracer* tracer) {
  const size_t padded_adata = Pad16(adata_size);
  const size_t padded_payload = Pad16(payload_size);
  const CcmStatus sizes = CheckCcmSizes(padded_adata, padded_payload, tag_size);
  if (sizes != CcmStatus::kOk) return sizes;
  uint8_t rkey[kKeySize];
  uint8_t rnonce[kNonceSize];
  CopyMaybeReversed(key, kKeySize, true, rkey);
  CopyMaybeReversed(nonce, kNonceSize, true, rnonce);
  ZeroTail(data, payload_size, padded_payload);
  ReverseBlocks(data, padded_payload);
  ZeroTail(adata, adata_size, padded_adata);
  ReverseBlocks(adata, padded_adata);

  CcmEncrypt(rkey, rnonce, adata, padded_adata, data, padded_payload, tag_size, data, true, tracer);

  ReverseBlocks(data, padded_payload);
  ReverseBytes(data + padded_payload, tag_size);
  // The ciphertext bytes past the payload are dropped; decryption rebuilds
  // them from the keystream.
  std::memmove(data + payload_size, data + padded_payload, tag_size);
  SecureWipe(rkey, sizeof(rkey));
  return CcmStatus::kOk;
}

CcmStatus CcmDecryptReversed(const uint8_t key[kKeySize], const uint8_t nonce[kNonceSize], uint8_t* adata,
                             size_t adata_size, uint8_t* data, size_t cipher_size, const uint8_t* tag,
                             size_t tag_size, CcmTracer* tracer) {
  const size_t padded_adata = Pad16(adata_size);
  const size_t padded_cipher = Pad16(cipher_size);
  const CcmStatus sizes = CheckCcmSizes(padded_adata, padded_cipher, tag_size);
  if (sizes != CcmStatus::kOk) return sizes;
  uint8_t rtag[kBlockSize];
  CopyMaybeReversed(tag, tag_size, true, rtag);  // before the padding below may overwrite it
  uint8_t rkey[kKeySize];
  uint8_t rnonce[kNonceSize];
  CopyMaybeReversed(key, kKeySize, true, rkey);
  CopyMaybeReversed(nonce, kNonceSize, true, rnonce);

  if (padded_cipher != cipher_size) {
    // Rebuild the dropped ciphertext bytes: they are the end of the reversed
    // keystream block of the last counter, so they decrypt to the zero
    // padding that encryption authenticated.
    uint8_t counter[kBlockSize];
    CcmCounterBlock(rnonce, padded_cipher / kBlockSize, counter);
    uint8_t keystream[kBlockSize] = {};
    CtrCrypt(rkey, counter, keystream, kBlockSize, keystream);
    ReverseBytes(keystream, kBlockSize);
    const size_t dropped = padded_cipher - cipher_size;
    std::memcpy(data + cipher_size, keystream + kBlockSize - dropped, dropped);
    SecureWipe(keystream, sizeof(keystream));
  }
  ZeroTail(adata, adata_size, padded_adata);
  ReverseBlocks(adata, padded_adata);
  ReverseBlocks(data, padded_cipher);

  const CcmStatus status =
      CcmDecrypt(rkey, rnonce, adata, padded_adata, data, padded_cipher, rtag, tag_size, data, true, tracer);
  ReverseBlocks(data, padded_cipher);
  SecureWipe(rkey, sizeof(rkey));
  SecureWipe(rtag, sizeof(rtag));
  return status;
}

}  // namespace aes
