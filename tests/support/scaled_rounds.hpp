// How much a random or exhaustive test covers: less under the sanitizers,
// whose checks make every call many times slower, so that the sanitized run
// of the suite stays short while the plain run keeps its full depth.
#pragma once

namespace brelt::testing {

// gcc says __SANITIZE_ADDRESS__, clang __has_feature(address_sanitizer).
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BRELT_TESTS_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(BRELT_TESTS_SANITIZED)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif

inline constexpr int scaled_rounds(int rounds) {
    return kSanitized ? rounds / 8 + 1 : rounds;
}

}  // namespace brelt::testing
