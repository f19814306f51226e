#include "aes_stream.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "aes_hw.h"

namespace aes {
namespace {

void ReverseBlock(uint8_t* block) { std::reverse(block, block + kBlockSize); }

// Key setup in the stream's convention: the key and the chaining block are
// reversed first in the reversed one.
void SetUp(Context* ctx, const uint8_t key[kKeySize], const uint8_t block[kBlockSize], bool reversed,
           const ModeOps* ops) {
  uint8_t k[kKeySize];
  uint8_t chain[kBlockSize];
  CopyMaybeReversed(key, kKeySize, reversed, k);
  CopyMaybeReversed(block, kBlockSize, reversed, chain);
  KeySetup(ctx, k, kKeySize, chain, ops);
  SecureWipe(k, sizeof(k));
}

// The next keystream block of a CTR context.
void NextKeystream(Context* ctx, uint8_t keystream[kBlockSize]) {
  EncryptBlock(*ctx, ctx->chain, keystream);
  IncrementCounter(ctx->chain);
}

}  // namespace

CtrStream::CtrStream(const uint8_t key[kKeySize], const uint8_t counter[kBlockSize], bool reversed)
    : reversed_(reversed) {
  SetUp(&ctx_, key, counter, reversed, &kCtrOps);
}

CtrStream::~CtrStream() { WipeContext(&ctx_); }

void CtrStream::Process(const uint8_t* in, uint8_t* out, size_t size) {
  const size_t blocks = size / kBlockSize;
  if (blocks != 0 && hw::Enabled()) {
    reversed_ ? hw::CtrBlocksReversed(&ctx_, in, out, blocks) : hw::CtrBlocks(&ctx_, in, out, blocks);
  } else {
    // Reversing a data block around CTR is reversing its keystream block.
    for (size_t k = 0; k < blocks; ++k) {
      uint8_t keystream[kBlockSize];
      NextKeystream(&ctx_, keystream);
      if (reversed_) ReverseBlock(keystream);
      XorBytes(in + k * kBlockSize, keystream, kBlockSize, out + k * kBlockSize);
    }
  }
  const size_t tail = size % kBlockSize;
  if (tail != 0) {
    // The tail is reversed as one unit: its byte i meets keystream byte
    // tail - 1 - i.
    uint8_t keystream[kBlockSize];
    NextKeystream(&ctx_, keystream);
    if (reversed_) std::reverse(keystream, keystream + tail);
    const size_t at = blocks * kBlockSize;
    XorBytes(in + at, keystream, tail, out + at);
    SecureWipe(keystream, sizeof(keystream));
  }
}

CbcStream::CbcStream(const uint8_t key[kKeySize], const uint8_t iv[kBlockSize], bool encrypt, bool reversed)
    : encrypt_(encrypt), reversed_(reversed) {
  SetUp(&ctx_, key, iv, reversed, &kCbcOps);
}

CbcStream::~CbcStream() { WipeContext(&ctx_); }

bool CbcStream::Process(const uint8_t* in, uint8_t* out, size_t size) {
  if (size % kBlockSize != 0) return false;
  const size_t blocks = size / kBlockSize;
  if (hw::Enabled()) {
    if (encrypt_) {
      reversed_ ? hw::CbcEncryptBlocksReversed(&ctx_, in, out, blocks) : hw::CbcEncryptBlocks(&ctx_, in, out, blocks);
    } else {
      reversed_ ? hw::CbcDecryptBlocksReversed(&ctx_, in, out, blocks) : hw::CbcDecryptBlocks(&ctx_, in, out, blocks);
    }
    return true;
  }
  const BlockStep step = encrypt_ ? kCbcOps.forward : kCbcOps.inverse;
  for (size_t k = 0; k < blocks; ++k) {
    uint8_t block[kBlockSize];
    CopyMaybeReversed(in + k * kBlockSize, kBlockSize, reversed_, block);
    step(&ctx_, block, block);
    CopyMaybeReversed(block, kBlockSize, reversed_, out + k * kBlockSize);
  }
  return true;
}

CcmStream::CcmStream(const uint8_t key[kKeySize], const uint8_t nonce[kNonceSize], const uint8_t* adata,
                     size_t adata_size, size_t text_size, size_t tag_size, bool encrypt, bool reversed)
    : tag_size_(tag_size), encrypt_(encrypt), reversed_(reversed) {
  uint8_t k[kKeySize];
  CopyMaybeReversed(key, kKeySize, reversed, k);
  CopyMaybeReversed(nonce, kNonceSize, reversed, nonce_);
  uint8_t first_counter[kBlockSize];
  CcmCounterBlock(nonce_, 1, first_counter);
  KeySetup(&ctr_, k, kKeySize, first_counter, &kCtrOps);
  const uint8_t zero[kBlockSize] = {};
  KeySetup(&mac_, k, kKeySize, zero, &kCbcOps);
  SecureWipe(k, sizeof(k));

  // The reversed convention pads the data to whole blocks, counts it padded
  // and gives the associated data no length prefix.
  const size_t counted_text = reversed ? Pad16(text_size) : text_size;
  const size_t counted_adata = reversed ? Pad16(adata_size) : adata_size;
  std::vector<uint8_t> header(kBlockSize + kCcmMaxPrefix + Pad16(counted_adata) + kBlockSize, 0);
  CcmFirstBlock(nonce_, counted_adata, counted_text, tag_size, header.data());
  const size_t prefix = CcmAdataPrefix(counted_adata, reversed, header.data() + kBlockSize);
  if (adata_size != 0) std::memcpy(header.data() + kBlockSize + prefix, adata, adata_size);
  if (reversed) ReverseBlocks(header.data() + kBlockSize, counted_adata);
  CbcMacBlocks(&mac_, header.data(), 1 + Pad16(prefix + counted_adata) / kBlockSize);

  if (reversed && !encrypt && text_size % kBlockSize != 0) {
    // The ciphertext bytes that encryption dropped are the end of the
    // reversed keystream block of the last counter; they decrypt to the
    // zero padding that was authenticated.
    uint8_t counter[kBlockSize];
    CcmCounterBlock(nonce_, counted_text / kBlockSize, counter);
    EncryptBlock(ctr_, counter, rebuilt_);
    ReverseBlock(rebuilt_);
  }
}

CcmStream::~CcmStream() {
  WipeContext(&ctr_);
  WipeContext(&mac_);
  SecureWipe(rebuilt_, sizeof(rebuilt_));
}

void CcmStream::Blocks(const uint8_t* in, uint8_t* out, size_t blocks) {
  if (hw::Enabled()) {
    hw::CcmBlocks(&ctr_, &mac_, in, out, blocks, encrypt_, reversed_);
    return;
  }
  for (size_t k = 0; k < blocks; ++k) {
    uint8_t data[kBlockSize];
    uint8_t keystream[kBlockSize];
    uint8_t result[kBlockSize];
    CopyMaybeReversed(in + k * kBlockSize, kBlockSize, reversed_, data);
    NextKeystream(&ctr_, keystream);
    XorBytes(data, keystream, kBlockSize, result);
    CbcMacBlocks(&mac_, encrypt_ ? data : result, 1);
    CopyMaybeReversed(result, kBlockSize, reversed_, out + k * kBlockSize);
    SecureWipe(keystream, sizeof(keystream));
  }
}

void CcmStream::Tail(const uint8_t* in, uint8_t* out, size_t size) {
  uint8_t block[kBlockSize] = {};
  std::memcpy(block, in, size);
  if (reversed_) {
    // The padded block goes through whole, reversed with its padding.
    if (!encrypt_) std::memcpy(block + size, rebuilt_ + size, kBlockSize - size);
    Blocks(block, block, 1);
  } else {
    // The MAC takes the plaintext padded with zeros.
    uint8_t keystream[kBlockSize];
    NextKeystream(&ctr_, keystream);
    uint8_t result[kBlockSize] = {};
    XorBytes(block, keystream, size, result);
    CbcMacBlocks(&mac_, encrypt_ ? block : result, 1);
    std::memcpy(block, result, kBlockSize);
    SecureWipe(keystream, sizeof(keystream));
    SecureWipe(result, sizeof(result));
  }
  std::memcpy(out, block, size);
  SecureWipe(block, sizeof(block));
}

void CcmStream::Process(const uint8_t* in, uint8_t* out, size_t size) {
  const size_t blocks = size / kBlockSize;
  if (blocks != 0) Blocks(in, out, blocks);
  const size_t tail = size % kBlockSize;
  if (tail != 0) Tail(in + blocks * kBlockSize, out + blocks * kBlockSize, tail);
}

void CcmStream::MaskTag(const uint8_t* in, uint8_t* out) {
  uint8_t counter[kBlockSize];
  CcmCounterBlock(nonce_, 0, counter);
  uint8_t mask[kBlockSize];
  EncryptBlock(ctr_, counter, mask);
  XorBytes(in, mask, tag_size_, out);
  SecureWipe(mask, sizeof(mask));
}

void CcmStream::FinishEncrypt(uint8_t* tag) {
  uint8_t sealed[kBlockSize];
  MaskTag(mac_.chain, sealed);
  CopyMaybeReversed(sealed, tag_size_, reversed_, tag);
  SecureWipe(sealed, sizeof(sealed));
}

bool CcmStream::FinishDecrypt(const uint8_t* tag) {
  uint8_t received[kBlockSize];
  CopyMaybeReversed(tag, tag_size_, reversed_, received);
  MaskTag(received, received);
  const bool match = EqualInConstantTime(received, mac_.chain, tag_size_);
  SecureWipe(received, sizeof(received));
  return match;
}

}  // namespace aes
