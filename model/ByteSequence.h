#pragma once
// The byte sequence every dump reader and writer works on.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <vector>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

class ByteSequence {
public:
    ByteSequence() = default;
    ByteSequence(std::initializer_list<uint8_t> raw) : data_(raw) {}
    explicit ByteSequence(std::vector<uint8_t> raw) : data_(std::move(raw)) {}

    // The rule every data byte written into a dump passes: a byte with the
    // top bit set is written as 0x00. Only the first and last byte of a dump
    // (0xF0, 0xF7) carry the top bit; they are written with appendRaw.
    static constexpr uint8_t dumpByte(uint8_t b) { return b < 0x80 ? b : 0x00; }
    // Applies dumpByte to n bytes in place.
    static void clearTopBitBytes(uint8_t* p, size_t n) {
        // A dump seldom has a byte to clear: look first.
        if (!hasTopBitByte(p, n)) return;
        for (size_t i = 0; i < n; ++i) p[i] = dumpByte(p[i]);
    }

    // True when one of n bytes has its top bit set.
    static bool hasTopBitByte(const uint8_t* p, size_t n) {
#ifdef __SSE2__
        if (n >= 16) {
            // 16 bytes at a time (64 a turn while they last); the last 16 may
            // overlap those before.
            __m128i any = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 16));
            size_t i = 0;
            for (; i + 64 < n; i += 64) {
                const __m128i* q = reinterpret_cast<const __m128i*>(p + i);
                any = _mm_or_si128(any, _mm_or_si128(_mm_or_si128(_mm_loadu_si128(q), _mm_loadu_si128(q + 1)),
                                                     _mm_or_si128(_mm_loadu_si128(q + 2), _mm_loadu_si128(q + 3))));
            }
            for (; i + 16 < n; i += 16)
                any = _mm_or_si128(any, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
            return _mm_movemask_epi8(any) != 0;
        }
#endif
        uint8_t any = 0;
        for (size_t i = 0; i < n; ++i) any |= p[i];
        return any & 0x80;
    }

    // out := a XOR b over n bytes; true when some byte of out is not 0.
    static bool xorBytes(uint8_t* out, const uint8_t* a, const uint8_t* b, size_t n) {
        size_t i = 0;
        uint8_t any = 0;
#ifdef __SSE2__
        __m128i anyVector = _mm_setzero_si128();
        // Called on whole dumps: 64 bytes a turn keeps the loop's own work small.
        for (; i + 64 <= n; i += 64) {
            __m128i x[4];
            for (size_t k = 0; k < 4; ++k) {
                x[k] = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i + 16 * k)),
                                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i + 16 * k)));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 16 * k), x[k]);
            }
            anyVector = _mm_or_si128(anyVector, _mm_or_si128(_mm_or_si128(x[0], x[1]), _mm_or_si128(x[2], x[3])));
        }
        for (; i + 16 <= n; i += 16) {
            const __m128i x = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i)),
                                            _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), x);
            anyVector = _mm_or_si128(anyVector, x);
        }
        any = _mm_movemask_epi8(_mm_cmpeq_epi8(anyVector, _mm_setzero_si128())) != 0xFFFF;
#endif
        for (; i < n; ++i) {
            out[i] = a[i] ^ b[i];
            any |= out[i];
        }
        return any != 0;
    }

    // Whether n bytes at a and b are equal (for short runs whose length the
    // compiler knows, where a library call would cost more than the compare).
    static bool sameBytes(const uint8_t* a, const uint8_t* b, size_t n) {
        size_t i = 0;
#ifdef __SSE2__
        if (n >= 16) {
            __m128i diff = _mm_setzero_si128();
            for (; i + 16 <= n; i += 16)
                diff = _mm_or_si128(diff, _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i)),
                                                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i))));
            if (i < n) {  // the last 16 bytes, overlapping those compared
                i = n - 16;
                diff = _mm_or_si128(diff, _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i)),
                                                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i))));
            }
            return _mm_movemask_epi8(_mm_cmpeq_epi8(diff, _mm_setzero_si128())) == 0xFFFF;
        }
#endif
        uint8_t diff = 0;
        for (; i < n; ++i) diff |= a[i] ^ b[i];
        return diff == 0;
    }

    // The first index in [from, to) whose byte is not 0, else `to`.
    static size_t nextSetByte(const uint8_t* p, size_t from, size_t to) {
        size_t i = from;
#ifdef __SSE2__
        // Masks are mostly zero: skip them 64 bytes at a time.
        const __m128i zero = _mm_setzero_si128();
        for (; i + 64 <= to; i += 64) {
            __m128i any = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            for (size_t k = 16; k < 64; k += 16)
                any = _mm_or_si128(any, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + k)));
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(any, zero)) != 0xFFFF) break;
        }
#endif
        for (; i < to; ++i)
            if (p[i]) return i;
        return to;
    }

    void append(uint8_t b) { data_.push_back(dumpByte(b)); }
    // Appends n zero bytes and returns where they start, for writers that fill
    // a whole record at once (each byte still through dumpByte).
    uint8_t* extend(size_t n) {
        const size_t at = data_.size();
        data_.resize(at + n);
        return data_.data() + at;
    }
    void appendFill(size_t n) { data_.insert(data_.end(), n, 0x00); }
    void appendAll(const ByteSequence& other) {
        uint8_t* to = extend(other.size());
        for (uint8_t b : other.data_) *to++ = dumpByte(b);
    }
    // Stores a byte exactly as given (bytes read from files, framing bytes).
    void appendRaw(uint8_t b) { data_.push_back(b); }
    void append14(int value) {
        append(static_cast<uint8_t>((value >> 7) & 0x7F));
        append(static_cast<uint8_t>(value & 0x7F));
    }

    bool hasAnySetByte() const {
        for (uint8_t b : data_)
            if (b) return true;
        return false;
    }
    size_t countSetBytes() const {
        size_t n = 0;
        for (uint8_t b : data_) n += (b != 0);
        return n;
    }

    uint8_t operator[](size_t i) const {
        if (i >= data_.size()) throw std::out_of_range("ByteSequence index out of range");
        return data_[i];
    }
    uint8_t& operator[](size_t i) {
        if (i >= data_.size()) throw std::out_of_range("ByteSequence index out of range");
        return data_[i];
    }

    size_t size() const { return data_.size(); }
    bool empty() const { return data_.empty(); }
    void clear() { data_.clear(); }
    void reserve(size_t n) { data_.reserve(n); }
    void resize(size_t n) { data_.resize(n); }
    const uint8_t* data() const { return data_.data(); }
    uint8_t* data() { return data_.data(); }
    const std::vector<uint8_t>& vector() const { return data_; }
    std::vector<uint8_t>::const_iterator begin() const { return data_.begin(); }
    std::vector<uint8_t>::const_iterator end() const { return data_.end(); }

    bool operator==(const ByteSequence&) const = default;

private:
    std::vector<uint8_t> data_;
};
