// What every fuzz entry point shares: taking typed values off the input, and the invariant
// check that ends the run (libFuzzer and the corpus replay both report the abort).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(cond)                                        \
    do {                                                        \
        if (!(cond)) kevofuzz::fail(#cond, __FILE__, __LINE__); \
    } while (0)

namespace kevofuzz {

// Run by fail() before it aborts, which skips the exit handlers: what an entry point must undo
// even then (a temporary folder it made).
inline void (*atFailure)() = nullptr;

[[noreturn]] inline void fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "invariant failed: %s (%s:%d)\n", what, file, line);
    if (atFailure) atFailure();
    std::abort();
}

// True for about one input in n, picked by a hash of all its bytes: for checks too slow to run
// on every input while fuzzing. The input that failed takes the same checks again when it is
// run once more; the corpus replay (KEVO_FUZZ_REPLAY) takes every check on every input.
inline bool oneIn(const std::uint8_t* data, std::size_t size, unsigned n) {
#ifdef KEVO_FUZZ_REPLAY
    (void)data, (void)size, (void)n;
    return true;
#else
    std::uint32_t h = 2166136261u;  // FNV-1a
    for (std::size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 16777619u;
    return h % n == 0;
#endif
}

// Takes values from the front of the input; past its end every value is 0 or empty.
class FuzzInput {
  public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return pos_ >= size_; }
    std::size_t left() const { return size_ - pos_; }

    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint16_t u16() { return static_cast<std::uint16_t>(byte() | byte() << 8); }
    std::uint32_t u32() { return u16() | static_cast<std::uint32_t>(u16()) << 16; }

    // The next n bytes (fewer at the end).
    std::string bytes(std::size_t n) {
        if (n > left()) n = left();
        std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return s;
    }
    // A length byte, then that many bytes.
    std::string shortString() { return bytes(byte()); }
    std::string rest() { return bytes(left()); }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

}  // namespace kevofuzz
