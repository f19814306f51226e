// The block modes over a stream: the data arrives in pieces and each piece
// is processed as it comes, so that data of any length needs no more memory
// than one piece. The results are those of the whole-buffer operations of
// aes_modes.h, byte for byte, in both byte order conventions.
//
// Every piece but the last must be a whole number of blocks; `in` may be
// `out`. Each object wipes its keys when it goes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "aes.h"
#include "aes_modes.h"

namespace aes {

/// CTR with the counter block `counter` as the first counter; a final
/// partial block is XORed with the start of its keystream block (in the
/// reversed convention, with the start of the reversed tail).
class CtrStream {
 public:
  CtrStream(const uint8_t key[kKeySize], const uint8_t counter[kBlockSize], bool reversed);
  ~CtrStream();
  CtrStream(const CtrStream&) = delete;
  CtrStream& operator=(const CtrStream&) = delete;

  void Process(const uint8_t* in, uint8_t* out, size_t size);

 private:
  Context ctx_;
  bool reversed_;
};

/// CBC without padding.
class CbcStream {
 public:
  CbcStream(const uint8_t key[kKeySize], const uint8_t iv[kBlockSize], bool encrypt, bool reversed);
  ~CbcStream();
  CbcStream(const CbcStream&) = delete;
  CbcStream& operator=(const CbcStream&) = delete;

  /// False, with nothing processed, when `size` is not a multiple of 16.
  bool Process(const uint8_t* in, uint8_t* out, size_t size);

 private:
  Context ctx_;
  bool encrypt_;
  bool reversed_;
};

/// CCM with a 12-byte nonce over a text whose length is known from the
/// start (the first MAC block holds it): the associated data whole at
/// construction, then the text in pieces, then the tag. The caller has
/// checked the tag length and the sizes (IsValidCcmTagLength, kCcmMaxPayload
/// and kCcmMaxAdata, counted padded to whole blocks in the reversed
/// convention).
class CcmStream {
 public:
  /// `text_size` is the payload's length (encryption) or the ciphertext's
  /// (decryption), without the tag.
  CcmStream(const uint8_t key[kKeySize], const uint8_t nonce[kNonceSize], const uint8_t* adata,
            size_t adata_size, size_t text_size, size_t tag_size, bool encrypt, bool reversed);
  ~CcmStream();
  CcmStream(const CcmStream&) = delete;
  CcmStream& operator=(const CcmStream&) = delete;

  /// The next `size` bytes of the text in, as many out.
  void Process(const uint8_t* in, uint8_t* out, size_t size);
  /// Encryption, once the whole text has been processed: the `tag_size`
  /// bytes of the encrypted tag that follow the ciphertext.
  void FinishEncrypt(uint8_t* tag);
  /// Decryption, once the whole text has been processed: true when the
  /// received tag (`tag_size` bytes) matches, compared in constant time.
  bool FinishDecrypt(const uint8_t* tag);

 private:
  void Blocks(const uint8_t* in, uint8_t* out, size_t blocks);
  void Tail(const uint8_t* in, uint8_t* out, size_t size);
  /// `tag_size_` bytes of `in` XORed with the keystream of counter 0: the
  /// tag encrypted, or the received tag decrypted.
  void MaskTag(const uint8_t* in, uint8_t* out);

  Context ctr_;
  Context mac_;
  uint8_t nonce_[kNonceSize];
  /// Reversed decryption: the dropped ciphertext bytes that pad the last
  /// block, rebuilt from its keystream.
  uint8_t rebuilt_[kBlockSize] = {};
  size_t tag_size_;
  bool encrypt_;
  bool reversed_;
};

}  // namespace aes
