// Channel containers: CData and CByteData.
#include <cstdint>
#include <cstring>
#include <new>

#include "kelvane/kelvane.h"
#include "kelvane_sort.h"

namespace Kelvane {

namespace {

unsigned char* AllocateBytes(uint64_t size) {
  if (size == 0) return nullptr;
  // A size that does not fit the 32-bit byte count cannot be held at all.
  if (size > UINT32_MAX) throw std::bad_alloc();
  return new unsigned char[size];
}

// Below this many elements the plain selection sort is the quicker one.
constexpr unsigned int kShortSortRange = 48;

}  // namespace

CData::CData() : available_(false), byte_size_(0), data_(nullptr) {}

CData::CData(const CData& other)
    : available_(other.available_), byte_size_(other.byte_size_), data_(nullptr) {
  if (byte_size_ != 0) {
    data_ = AllocateBytes(byte_size_);
    std::memcpy(data_, other.data_, byte_size_);
  }
}

CData& CData::operator=(const CData& other) {
  if (this == &other) return *this;
  Clear();
  byte_size_ = other.byte_size_;
  if (byte_size_ != 0) {
    available_ = other.available_;
    data_ = AllocateBytes(byte_size_);
    std::memcpy(data_, other.data_, byte_size_);
  }
  return *this;
}

CData::~CData() { delete[] data_; }

void CData::Create(unsigned int count, unsigned char fill) {
  Clear();
  available_ = true;
  data_ = AllocateBytes(count);
  byte_size_ = count;
  if (count != 0) std::memset(data_, fill, count);
}

void CData::Clear() {
  available_ = false;
  byte_size_ = 0;
  delete[] data_;
  data_ = nullptr;
}

void CData::ChangeNumber(unsigned int size) {
  if (size < byte_size_) {
    // The storage is kept; the cut bytes are zeroed so that growing again
    // brings zeros.
    std::memset(data_ + size, 0, byte_size_ - size);
    byte_size_ = size;
    return;
  }
  unsigned char* grown = AllocateBytes(size);
  if (byte_size_ != 0) std::memcpy(grown, data_, byte_size_);
  if (size > byte_size_) std::memset(grown + byte_size_, 0, size - byte_size_);
  delete[] data_;
  data_ = grown;
  byte_size_ = size;
}

void CData::QuickSortTopDown(unsigned int* index, unsigned int first, unsigned int last, bool descending) {
  if (first >= last) return;
  if (last - first < kShortSortRange) {
    internal::SelectionSortBytes(data_, index, first, last, descending);
  } else {
    internal::FastSelectionSortBytes(data_, index, first, last, descending);
  }
}

CByteData::CByteData() : available_(false), byte_size_(0), byte_count_(0), number_(0), data_(nullptr) {}

CByteData::CByteData(const CByteData& other)
    : available_(other.available_),
      byte_size_(other.byte_size_),
      byte_count_(other.byte_count_),
      number_(other.number_),
      data_(nullptr) {
  if (byte_size_ != 0) {
    data_ = AllocateBytes(byte_size_);
    std::memcpy(data_, other.data_, byte_size_);
  }
}

CByteData& CByteData::operator=(const CByteData& other) {
  if (this == &other) return *this;
  delete[] data_;
  data_ = nullptr;
  available_ = other.available_;
  byte_size_ = other.byte_size_;
  byte_count_ = other.byte_count_;
  number_ = other.number_;
  if (byte_size_ != 0) {
    data_ = AllocateBytes(byte_size_);
    std::memcpy(data_, other.data_, byte_size_);
  }
  return *this;
}

CByteData::~CByteData() { delete[] data_; }

void CByteData::Create(unsigned char byte_count, unsigned int number, unsigned int fill) {
  Clear();
  const uint64_t size = uint64_t{byte_count} * number;
  data_ = AllocateBytes(size);
  available_ = true;
  byte_size_ = static_cast<unsigned int>(size);
  byte_count_ = byte_count;
  number_ = number;
  if (size == 0) return;
  if (byte_count == 1 || fill == 0) {
    std::memset(data_, static_cast<unsigned char>(fill), size);
  } else if (byte_count == 2) {
    const auto value = static_cast<uint16_t>(fill);
    for (unsigned int i = 0; i < number; ++i) std::memcpy(data_ + 2 * uint64_t{i}, &value, 2);
  } else if (byte_count == 4) {
    const auto value = static_cast<uint32_t>(fill);
    for (unsigned int i = 0; i < number; ++i) std::memcpy(data_ + 4 * uint64_t{i}, &value, 4);
  } else {
    std::memset(data_, 0, size);
  }
}

void CByteData::Clear() {
  delete[] data_;
  data_ = nullptr;
  available_ = false;
  byte_size_ = 0;
  byte_count_ = 0;
  number_ = 0;
}

void CByteData::GetValue(unsigned int* out, unsigned int index) const {
  switch (byte_count_) {
    case 1:
      *out = data_[index];
      break;
    case 2: {
      uint16_t value;
      std::memcpy(&value, data_ + 2 * uint64_t{index}, 2);
      *out = value;
      break;
    }
    case 4: {
      uint32_t value;
      std::memcpy(&value, data_ + 4 * uint64_t{index}, 4);
      *out = value;
      break;
    }
    default:
      break;
  }
}

void CByteData::SetValue(unsigned int value, unsigned int index) {
  switch (byte_count_) {
    case 1:
      data_[index] = static_cast<unsigned char>(value);
      break;
    case 2: {
      const auto narrow = static_cast<uint16_t>(value);
      std::memcpy(data_ + 2 * uint64_t{index}, &narrow, 2);
      break;
    }
    case 4: {
      const auto wide = static_cast<uint32_t>(value);
      std::memcpy(data_ + 4 * uint64_t{index}, &wide, 4);
      break;
    }
    default:
      break;
  }
}

}  // namespace Kelvane
