#include "common/array.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "common/exception.h"

namespace qx {

namespace {

constexpr const char* kUnit = "common/Array";
constexpr uint64_t kMaxCapacity = std::numeric_limits<uint32_t>::max();

}  // namespace

template <typename T>
Array<T>::~Array() {
  std::free(data_);
}

template <typename T>
void Array<T>::Reserve(uint32_t n) {
  if (n <= capacity_) return;
  void* block = std::realloc(data_, static_cast<size_t>(n) * sizeof(T));
  if (block == nullptr) ThrowException(kUnit, "Out of memory");
  data_ = static_cast<T*>(block);
  capacity_ = n;
}

template <typename T>
void Array<T>::Grow(uint32_t at_least) {
  uint64_t next = 0;
  if (growth_mode_ == kAdd) {
    next = uint64_t{capacity_} + growth_amount_;
  } else if (growth_mode_ == kMultiply) {
    next = uint64_t{capacity_} * growth_amount_;
  }
  // A capacity past 32 bits cannot be held, let alone allocated.
  next = std::min(std::max<uint64_t>(next, at_least), kMaxCapacity);
  if (next <= capacity_) {
    ThrowException(kUnit,
                   "Reallocation attempt resulted in smaller capacity; reallocation mode and "
                   "factor invalid");
  }
  Reserve(static_cast<uint32_t>(next));
}

template <typename T>
void Array<T>::Append(const T* elements, uint32_t count) {
  if (count == 0) return;
  uint64_t needed = uint64_t{length_} + count;
  if (needed > kMaxCapacity) ThrowException(kUnit, "Out of memory");
  if (needed > capacity_) Grow(static_cast<uint32_t>(needed));
  std::memcpy(data_ + length_, elements, static_cast<size_t>(count) * sizeof(T));
  length_ = static_cast<uint32_t>(needed);
}

template class Array<unsigned char>;

}  // namespace qx
