#include "aescli_cipher.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "aes_stream.h"

namespace aescli {
namespace {

using aes::CcmStatus;
using aes::kBlockSize;
using aes::Pad16;
using aes::SecureWipe;

CipherResult Ended(CipherStatus status, size_t text_size = 0) {
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

bool IsCcm(CipherMode mode) { return mode == CipherMode::kCcmEncrypt || mode == CipherMode::kCcmDecrypt; }

// CCM's checks on the text's length: the payload size (the text without a
// tag at its end) in `*data_size`, or the failure.
CipherStatus CheckCcmText(const CipherRequest& r, size_t text_size, size_t* data_size) {
  const size_t tag_size = static_cast<size_t>(r.mac_length);
  *data_size = text_size;
  if (r.mode == CipherMode::kCcmDecrypt && !r.has_tag_bytes) {
    // The received tag is the end of the input text.
    if (text_size < tag_size) return CipherStatus::kShorterThanMac;
    *data_size -= tag_size;
  }
  const size_t counted = r.reversed ? Pad16(*data_size) : *data_size;
  if (counted > aes::kCcmMaxPayload) return CipherStatus::kTextTooLong;
  const size_t counted_adata = r.reversed ? Pad16(r.adata.size()) : r.adata.size();
  if (counted_adata > aes::kCcmMaxAdata) return CipherStatus::kAdataTooLong;
  return CipherStatus::kOk;
}

CipherResult RunCtr(const CipherRequest& r, WorkBuffer* text) {
  if (r.reversed) {
    aes::CtrCryptReversed(r.key.bytes, r.counter.bytes, text->data(), text->size());
  } else {
    aes::CtrCrypt(r.key.bytes, r.counter.bytes, text->data(), text->size(), text->data());
  }
  return Output(text->data(), text->size());
}

CipherResult RunCbc(const CipherRequest& r, bool encrypt, WorkBuffer* text) {
  if (text->size() % kBlockSize != 0) return Ended(CipherStatus::kNotWholeBlocks);
  uint8_t* data = text->data();
  const size_t size = text->size();
  if (r.reversed) {
    encrypt ? aes::CbcEncryptReversed(r.key.bytes, r.iv.bytes, data, size)
            : aes::CbcDecryptReversed(r.key.bytes, r.iv.bytes, data, size);
  } else {
    encrypt ? aes::CbcEncrypt(r.key.bytes, r.iv.bytes, data, size, data)
            : aes::CbcDecrypt(r.key.bytes, r.iv.bytes, data, size, data);
  }
  return Output(data, size);
}

CipherResult RunCcm(const CipherRequest& r, bool encrypt, WorkBuffer* text, aes::CcmTracer* tracer) {
  const size_t tag_size = static_cast<size_t>(r.mac_length);
  uint8_t* data = text->data();
  size_t data_size = 0;
  const CipherStatus checked = CheckCcmText(r, text->size(), &data_size);
  if (checked != CipherStatus::kOk) return Ended(checked, data_size);
  const uint8_t* tag = r.has_tag_bytes ? r.tag_bytes.data() : data + data_size;
  // The reversed operations pad and reverse the associated data in place.
  std::vector<uint8_t> adata(Pad16(r.adata.size()));
  if (!r.adata.empty()) std::memcpy(adata.data(), r.adata.data(), r.adata.size());

  const uint8_t* key = r.key.bytes;
  const uint8_t* nonce = r.nonce.bytes;
  const size_t adata_size = r.adata.size();
  CcmStatus status;
  size_t out_size;
  if (encrypt) {
    status = r.reversed ? aes::CcmEncryptReversed(key, nonce, adata.data(), adata_size, data, data_size, tag_size,
                                                  tracer)
                        : aes::CcmEncrypt(key, nonce, adata.data(), adata_size, data, data_size, tag_size, data,
                                          false, tracer);
    out_size = data_size + tag_size;
  } else {
    status = r.reversed ? aes::CcmDecryptReversed(key, nonce, adata.data(), adata_size, data, data_size, tag,
                                                  tag_size, tracer)
                        : aes::CcmDecrypt(key, nonce, adata.data(), adata_size, data, data_size, tag, tag_size,
                                          data, false, tracer);
    out_size = data_size;
  }
  if (status == CcmStatus::kTagMismatch) return Output(data, out_size, CipherStatus::kTagMismatch);
  // Sizes and tag length were checked above; anything else cannot happen.
  if (status != CcmStatus::kOk) return Ended(CipherStatus::kCcmFailed);
  return Output(data, out_size);
}

// Reads exactly `size` bytes; false when the text ends first or fails.
bool ReadExactly(const TextSource& text, uint8_t* data, size_t size) {
  return size == 0 || text.read(data, size) == static_cast<long long>(size);
}

// CTR and CBC: piece after piece to the end of the text, whatever its
// length was said to be.
CipherStatus StreamCtrOrCbc(const CipherRequest& r, const TextSource& text, ResultSink* sink) {
  const bool ctr = r.mode == CipherMode::kCtr;
  if (!ctr && text.size >= 0 && text.size % kBlockSize != 0) return CipherStatus::kNotWholeBlocks;
  if (!sink->Open()) return CipherStatus::kCannotOpenOutput;
  aes::CtrStream ctr_stream(r.key.bytes, r.counter.bytes, r.reversed);
  aes::CbcStream cbc_stream(r.key.bytes, r.iv.bytes, r.mode == CipherMode::kCbcEncrypt, r.reversed);
  std::vector<uint8_t> piece(kPieceSize);
  for (;;) {
    const long long got = text.read(piece.data(), piece.size());
    if (got < 0) return CipherStatus::kReadFailed;
    const size_t size = static_cast<size_t>(got);
    if (ctr) {
      ctr_stream.Process(piece.data(), piece.data(), size);
    } else if (!cbc_stream.Process(piece.data(), piece.data(), size)) {
      return CipherStatus::kNotWholeBlocks;  // only a short last piece can be
    }
    if (size != 0 && !sink->Write(piece.data(), size)) return CipherStatus::kWriteFailed;
    if (size < piece.size()) break;
  }
  SecureWipe(piece.data(), piece.size());
  return CipherStatus::kOk;
}

CipherResult StreamCcm(const CipherRequest& r, const TextSource& text, aes::CcmTracer* tracer,
                       ResultSink* sink) {
  if (text.size < 0) return Ended(CipherStatus::kCcmFailed);
  size_t data_size = 0;
  const CipherStatus checked = CheckCcmText(r, static_cast<size_t>(text.size), &data_size);
  if (checked != CipherStatus::kOk) return Ended(checked, data_size);
  const bool encrypt = r.mode == CipherMode::kCcmEncrypt;
  if (tracer != nullptr) {
    // Room for the padding the work buffer adds, so that it need not move.
    std::vector<uint8_t> whole;
    whole.reserve(Pad16(static_cast<size_t>(text.size)) + kBlockSize);
    whole.resize(static_cast<size_t>(text.size));
    if (!ReadExactly(text, whole.data(), whole.size())) return Ended(CipherStatus::kReadFailed);
    WorkBuffer buffer(std::move(whole));
    const CipherResult result = RunCcm(r, encrypt, &buffer, tracer);
    if (result.status != CipherStatus::kOk && result.status != CipherStatus::kTagMismatch) return result;
    if (!sink->Open()) return Ended(CipherStatus::kCannotOpenOutput);
    if (result.size != 0 && !sink->Write(result.data, result.size)) return Ended(CipherStatus::kWriteFailed);
    return Ended(result.status);
  }

  if (!sink->Open()) return Ended(CipherStatus::kCannotOpenOutput);
  const size_t tag_size = static_cast<size_t>(r.mac_length);
  aes::CcmStream stream(r.key.bytes, r.nonce.bytes, r.adata.data(), r.adata.size(), data_size, tag_size, encrypt,
                        r.reversed);
  std::vector<uint8_t> piece(std::min(kPieceSize, Pad16(data_size) + kBlockSize));
  for (size_t done = 0; done < data_size;) {
    const size_t size = std::min(piece.size(), data_size - done);
    if (!ReadExactly(text, piece.data(), size)) return Ended(CipherStatus::kReadFailed);
    stream.Process(piece.data(), piece.data(), size);
    if (!sink->Write(piece.data(), size)) return Ended(CipherStatus::kWriteFailed);
    done += size;
  }
  SecureWipe(piece.data(), piece.size());
  uint8_t tag[kBlockSize];
  if (encrypt) {
    stream.FinishEncrypt(tag);
    return Ended(sink->Write(tag, tag_size) ? CipherStatus::kOk : CipherStatus::kWriteFailed);
  }
  if (r.has_tag_bytes) {
    std::memcpy(tag, r.tag_bytes.data(), tag_size);
  } else if (!ReadExactly(text, tag, tag_size)) {
    return Ended(CipherStatus::kReadFailed);
  }
  const bool match = stream.FinishDecrypt(tag);
  SecureWipe(tag, sizeof(tag));
  return Ended(match ? CipherStatus::kOk : CipherStatus::kTagMismatch);
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

CipherStatus CheckSettings(const CipherRequest& r) {
  if (r.mode == CipherMode::kNone) return CipherStatus::kNoMode;
  if (!r.key.present) return CipherStatus::kNoKey;
  switch (r.mode) {
    case CipherMode::kNone:
      break;
    case CipherMode::kCtr:
      if (!r.counter.present) return CipherStatus::kNoCounter;
      break;
    case CipherMode::kCbcEncrypt:
    case CipherMode::kCbcDecrypt:
      if (!r.iv.present) return CipherStatus::kNoIv;
      break;
    case CipherMode::kCcmEncrypt:
    case CipherMode::kCcmDecrypt:
      if (!r.nonce.present) return CipherStatus::kNoNonce;
      if (r.mac_length == 0) return CipherStatus::kNoMacLength;
      if (r.mac_length < 0 || !aes::IsValidCcmTagLength(static_cast<size_t>(r.mac_length))) {
        return CipherStatus::kBadMacLength;
      }
      break;
  }
  return CipherStatus::kOk;
}

CipherResult RunCipher(const CipherRequest& request, WorkBuffer* text, aes::CcmTracer* tracer) {
  const CipherStatus settings = CheckSettings(request);
  if (settings != CipherStatus::kOk) return Ended(settings);
  switch (request.mode) {
    case CipherMode::kNone:
    case CipherMode::kCtr:
      break;
    case CipherMode::kCbcEncrypt:
    case CipherMode::kCbcDecrypt:
      return RunCbc(request, request.mode == CipherMode::kCbcEncrypt, text);
    case CipherMode::kCcmEncrypt:
    case CipherMode::kCcmDecrypt:
      return RunCcm(request, request.mode == CipherMode::kCcmEncrypt, text, tracer);
  }
  return RunCtr(request, text);
}

CipherResult StreamCipher(const CipherRequest& request, const TextSource& text, aes::CcmTracer* tracer,
                          ResultSink* sink) {
  const CipherStatus settings = CheckSettings(request);
  if (settings != CipherStatus::kOk) return Ended(settings);
  if (IsCcm(request.mode)) return StreamCcm(request, text, tracer, sink);
  return Ended(StreamCtrOrCbc(request, text, sink));
}

}  // namespace aescli
