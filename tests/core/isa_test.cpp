#include "common/isa.hpp"

#include <gtest/gtest.h>

namespace brelt {
namespace {

TEST(Isa, ScalarIsAlwaysSupportedAndListedFirst) {
    auto isas = supported_isas();
    ASSERT_FALSE(isas.empty());
    EXPECT_EQ(isas.front(), Isa::Scalar);
    EXPECT_TRUE(isa_supported(Isa::Scalar));
}

TEST(Isa, ActiveIsaIsSupported) {
    EXPECT_TRUE(isa_supported(active_isa()));
}

#if defined(__x86_64__)
TEST(Isa, X86HasSse2AndNoNeon) {
    EXPECT_TRUE(isa_supported(Isa::Sse2));
    EXPECT_FALSE(isa_supported(Isa::Neon));
}
#endif

}  // namespace
}  // namespace brelt
