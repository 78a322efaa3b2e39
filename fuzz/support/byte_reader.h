// Takes typed values off the front of a fuzzer's input; past the end every
// read yields zero, so a harness never needs to check the length first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzzing {

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    size_t Left() const { return size_ - offset_; }
    bool Empty() const { return offset_ == size_; }

    uint8_t U8() { return offset_ < size_ ? data_[offset_++] : 0; }
    uint16_t U16() {
        uint8_t low = U8();
        return static_cast<uint16_t>(low | U8() << 8);
    }
    uint32_t U32() {
        uint16_t low = U16();
        return low | static_cast<uint32_t>(U16()) << 16;
    }

    // Up to count bytes (fewer at the end).
    std::vector<uint8_t> Bytes(size_t count) {
        size_t take = count < Left() ? count : Left();
        std::vector<uint8_t> bytes(data_ + offset_, data_ + offset_ + take);
        offset_ += take;
        return bytes;
    }
    std::vector<uint8_t> Rest() { return Bytes(Left()); }

private:
    const uint8_t* data_;
    size_t size_;
    size_t offset_ = 0;
};

} // namespace fuzzing
