#pragma once
// A growable block of elements, used for the bytes a file is written from.
// Failures throw Exception from "common/Array". Only Array<unsigned char> is
// instantiated.

#include <cstdint>

namespace qx {

template <typename T>
class Array {
 public:
  enum GrowthMode : uint32_t { kAdd = 0, kMultiply = 1 };

  Array() = default;
  virtual ~Array();
  Array(const Array&) = delete;
  Array& operator=(const Array&) = delete;

  // When n exceeds the capacity the block becomes exactly n elements;
  // throws "Out of memory" when that fails.
  void Reserve(uint32_t n);
  // Grows to the larger of the next capacity (capacity + amount in mode 0,
  // capacity * amount in mode 1, 0 in any other mode) and n. Throws
  // "Reallocation attempt resulted in smaller capacity; reallocation mode
  // and factor invalid" when that is not above the current capacity.
  void Grow(uint32_t at_least);
  // Grows when needed and copies count elements to the end.
  void Append(const T* elements, uint32_t count);

  void SetGrowth(uint32_t amount, uint32_t mode) {
    growth_amount_ = amount;
    growth_mode_ = mode;
  }

  const T* data() const { return data_; }
  uint32_t length() const { return length_; }
  uint32_t capacity() const { return capacity_; }
  uint32_t growth_amount() const { return growth_amount_; }
  uint32_t growth_mode() const { return growth_mode_; }

 private:
  T* data_ = nullptr;
  uint32_t capacity_ = 0;
  uint32_t length_ = 0;
  uint32_t growth_amount_ = 1024;
  uint32_t growth_mode_ = kAdd;
};

extern template class Array<unsigned char>;

}  // namespace qx
