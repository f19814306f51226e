#include "aescli_cipher.h"

#include <cstring>
#include <utility>

namespace aes {
namespace {

CipherResult Fail(CipherStatus status, size_t text_size = 0) {
  CipherResult result;
  result.status = status;
  result.text_size = text_size;
  return result;
}

CipherResult Output(uint8_t* data, size_t size, CipherStatus status = CipherStatus::kOk) {
  CipherResult result;
  result.status = status;
  result.data = data;
  result.size = size;
  return result;
}

CipherResult RunCtr(const CipherRequest& r, WorkBuffer* text) {
  if (!r.key.present) return Fail(CipherStatus::kNoKey);
  if (!r.counter.present) return Fail(CipherStatus::kNoCounter);
  if (r.reversed) {
    CtrCryptReversed(r.key.bytes, r.counter.bytes, text->data(), text->size());
  } else {
    CtrCrypt(r.key.bytes, r.counter.bytes, text->data(), text->size(), text->data());
  }
  return Output(text->data(), text->size());
}

CipherResult RunCbc(const CipherRequest& r, bool encrypt, WorkBuffer* text) {
  if (!r.key.present) return Fail(CipherStatus::kNoKey);
  if (!r.iv.present) return Fail(CipherStatus::kNoIv);
  if (text->size() % kBlockSize != 0) return Fail(CipherStatus::kNotWholeBlocks);
  uint8_t* data = text->data();
  const size_t size = text->size();
  if (r.reversed) {
    encrypt ? CbcEncryptReversed(r.key.bytes, r.iv.bytes, data, size)
            : CbcDecryptReversed(r.key.bytes, r.iv.bytes, data, size);
  } else {
    encrypt ? CbcEncrypt(r.key.bytes, r.iv.bytes, data, size, data)
            : CbcDecrypt(r.key.bytes, r.iv.bytes, data, size, data);
  }
  return Output(data, size);
}

CipherResult RunCcm(const CipherRequest& r, bool encrypt, WorkBuffer* text, CcmTracer* tracer) {
  if (!r.key.present) return Fail(CipherStatus::kNoKey);
  if (!r.nonce.present) return Fail(CipherStatus::kNoNonce);
  if (r.mac_length == 0) return Fail(CipherStatus::kNoMacLength);
  if (r.mac_length < 0 || !IsValidCcmTagLength(static_cast<size_t>(r.mac_length))) {
    return Fail(CipherStatus::kBadMacLength);
  }
  const size_t tag_size = static_cast<size_t>(r.mac_length);
  uint8_t* data = text->data();
  size_t data_size = text->size();
  const uint8_t* tag = r.tag_bytes.data();
  if (!encrypt && !r.has_tag_bytes) {
    // The received tag is the end of the input text.
    if (data_size < tag_size) return Fail(CipherStatus::kShorterThanMac);
    data_size -= tag_size;
    tag = data + data_size;
  }
  const size_t counted = r.reversed ? Pad16(data_size) : data_size;
  if (counted > kCcmMaxPayload) return Fail(CipherStatus::kTextTooLong, data_size);
  const size_t counted_adata = r.reversed ? Pad16(r.adata.size()) : r.adata.size();
  if (counted_adata > kCcmMaxAdata) return Fail(CipherStatus::kAdataTooLong);
  // The reversed operations pad and reverse the associated data in place.
  std::vector<uint8_t> adata(Pad16(r.adata.size()));
  if (!r.adata.empty()) std::memcpy(adata.data(), r.adata.data(), r.adata.size());

  const uint8_t* key = r.key.bytes;
  const uint8_t* nonce = r.nonce.bytes;
  const size_t adata_size = r.adata.size();
  CcmStatus status;
  size_t out_size;
  if (encrypt) {
    status = r.reversed
                 ? CcmEncryptReversed(key, nonce, adata.data(), adata_size, data, data_size, tag_size, tracer)
                 : CcmEncrypt(key, nonce, adata.data(), adata_size, data, data_size, tag_size, data, false, tracer);
    out_size = data_size + tag_size;
  } else {
    status =
        r.reversed
            ? CcmDecryptReversed(key, nonce, adata.data(), adata_size, data, data_size, tag, tag_size, tracer)
            : CcmDecrypt(key, nonce, adata.data(), adata_size, data, data_size, tag, tag_size, data, false, tracer);
    out_size = data_size;
  }
  if (status == CcmStatus::kTagMismatch) return Output(data, out_size, CipherStatus::kTagMismatch);
  // Sizes and tag length were checked above; anything else cannot happen.
  if (status != CcmStatus::kOk) return Fail(CipherStatus::kCcmFailed);
  return Output(data, out_size);
}

}  // namespace

bool ParseCipherMode(const char* name, CipherMode* mode) {
  static const struct {
    const char* name;
    CipherMode mode;
  } kModes[] = {
      {"ctr", CipherMode::kCtr},
      {"cbc", CipherMode::kCbcEncrypt},
      {"cbc_encrypt", CipherMode::kCbcEncrypt},
      {"cbc_decrypt", CipherMode::kCbcDecrypt},
      {"ccm", CipherMode::kCcmEncrypt},
      {"ccm_encrypt", CipherMode::kCcmEncrypt},
      {"ccm_decrypt", CipherMode::kCcmDecrypt},
  };
  for (const auto& entry : kModes) {
    if (std::strcmp(name, entry.name) == 0) {
      *mode = entry.mode;
      return true;
    }
  }
  return false;
}

CipherRequest::~CipherRequest() {
  SecureWipe(&key, sizeof(key));
  SecureWipe(&nonce, sizeof(nonce));
  SecureWipe(&iv, sizeof(iv));
  SecureWipe(&counter, sizeof(counter));
  if (!tag_bytes.empty()) SecureWipe(tag_bytes.data(), tag_bytes.size());
}

WorkBuffer::WorkBuffer(std::vector<uint8_t> text) : bytes_(std::move(text)), size_(bytes_.size()) {
  bytes_.resize(Pad16(size_) + kBlockSize);
}

CipherResult RunCipher(const CipherRequest& request, WorkBuffer* text, CcmTracer* tracer) {
  switch (request.mode) {
    case CipherMode::kNone:
      break;
    case CipherMode::kCtr:
      return RunCtr(request, text);
    case CipherMode::kCbcEncrypt:
    case CipherMode::kCbcDecrypt:
      return RunCbc(request, request.mode == CipherMode::kCbcEncrypt, text);
    case CipherMode::kCcmEncrypt:
    case CipherMode::kCcmDecrypt:
      return RunCcm(request, request.mode == CipherMode::kCcmEncrypt, text, tracer);
  }
  return Fail(CipherStatus::kNoMode);
}

}  // namespace aes
