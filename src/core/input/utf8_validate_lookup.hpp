// Tables of the lookup-based vector kernels (AVX2, NEON). Data only, so the
// header is safe to include from files compiled for any instruction set.
//
// Each byte is checked together with the byte before it: three 16-entry
// tables, indexed by the previous byte's high nibble, its low nibble and the
// current byte's high nibble, give the error kinds that nibble is consistent
// with; the AND of the three lookups is the set of errors the pair forms. Every
// kind below is exactly such a product of three nibble sets.
#pragma once

#include <cstdint>

namespace brelt::utf8::lookup {

// One bit per kind of malformed byte pair (previous byte, current byte).
inline constexpr std::uint8_t kTooShort = 1 << 0;   // lead C0..FF, then no continuation
inline constexpr std::uint8_t kTooLong = 1 << 1;    // ASCII, then a continuation
inline constexpr std::uint8_t kOverlong3 = 1 << 2;  // E0, then 80..9F
inline constexpr std::uint8_t kTooLarge = 1 << 3;   // F4..FF, then 90..BF
inline constexpr std::uint8_t kSurrogate = 1 << 4;  // ED, then A0..BF
inline constexpr std::uint8_t kOverlong2 = 1 << 5;  // C0 or C1, then a continuation
inline constexpr std::uint8_t kOverlong4 = 1 << 6;  // F0, then 80..8F
inline constexpr std::uint8_t kTooLarge8 = 1 << 6;  // F5..FF, then 80..8F (shares F_ then 8_)
// Continuation, then a continuation. It is the top bit so that the kernels
// can cancel it with a 0x80 mask where a third or fourth byte is required.
inline constexpr std::uint8_t kTwoConts = 1 << 7;

// Bits whose condition does not involve the previous byte's low nibble.
inline constexpr std::uint8_t kAnyLow = kTooShort | kTooLong | kTwoConts;
// Bits that any continuation byte is consistent with.
inline constexpr std::uint8_t kContinuation = kTooLong | kOverlong2 | kTwoConts;

// clang-format off
// Indexed by the previous byte's high nibble.
alignas(16) inline constexpr std::uint8_t kPrevHigh[16] = {
    kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong,  // 0_..7_
    kTwoConts, kTwoConts, kTwoConts, kTwoConts,                                      // 8_..B_
    kTooShort | kOverlong2,                                                          // C_
    kTooShort,                                                                       // D_
    kTooShort | kOverlong3 | kSurrogate,                                             // E_
    kTooShort | kTooLarge | kTooLarge8 | kOverlong4,                                 // F_
};

// Indexed by the previous byte's low nibble.
alignas(16) inline constexpr std::uint8_t kPrevLow[16] = {
    kAnyLow | kOverlong2 | kOverlong3 | kOverlong4,  // _0
    kAnyLow | kOverlong2,                            // _1
    kAnyLow, kAnyLow,                                // _2.._3
    kAnyLow | kTooLarge,                             // _4
    kAnyLow | kTooLarge | kTooLarge8,                // _5.._C
    kAnyLow | kTooLarge | kTooLarge8,
    kAnyLow | kTooLarge | kTooLarge8,
    kAnyLow | kTooLarge | kTooLarge8,
    kAnyLow | kTooLarge | kTooLarge8,
    kAnyLow | kTooLarge | kTooLarge8,
    kAnyLow | kTooLarge | kTooLarge8,
    kAnyLow | kTooLarge | kTooLarge8,
    kAnyLow | kTooLarge | kTooLarge8 | kSurrogate,   // _D
    kAnyLow | kTooLarge | kTooLarge8,                // _E.._F
    kAnyLow | kTooLarge | kTooLarge8,
};

// Indexed by the current byte's high nibble.
alignas(16) inline constexpr std::uint8_t kCurHigh[16] = {
    kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,  // 0_..7_
    kContinuation | kOverlong3 | kOverlong4 | kTooLarge8,                                    // 8_
    kContinuation | kOverlong3 | kTooLarge,                                                  // 9_
    kContinuation | kSurrogate | kTooLarge,                                                  // A_
    kContinuation | kSurrogate | kTooLarge,                                                  // B_
    kTooShort, kTooShort, kTooShort, kTooShort,                                              // C_..F_
};
// clang-format on

// Per position of a 32-byte vector, the largest byte that needs no more bytes
// than the vector still holds after it: the last three positions cannot take
// a lead of a 4-, 3- or 2-byte sequence (F0.., E0.., C0..). A 16-byte kernel
// uses the last 16 entries.
alignas(32) inline constexpr std::uint8_t kIncompleteMax[32] = {
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xEF, 0xDF, 0xBF,
};

}  // namespace brelt::utf8::lookup
