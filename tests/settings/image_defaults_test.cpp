// The whole used region of the image that the start-up defaults encode to.
#include <gtest/gtest.h>

#include "../support/area_fixture.h"

namespace zyvora {
namespace {

using WholeImage = test::AreaFixture;

// Every byte from the write nonce to the end marker, each region as the settings tables give
// it; only the checksum (0..3) is left to its own tests.
TEST_F(WholeImage, StartUpDefaultsFillEveryByteOfTheUsedRegion) {
    ASSERT_TRUE(encode_now().empty());
    const std::string expected = test::default_image_from_nonce();
    ASSERT_EQ(expected.size(), kUsedEnd - kNonceOffset);
    const std::string actual = bytes(kNonceOffset, expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(static_cast<unsigned char>(actual[i]), static_cast<unsigned char>(expected[i]))
            << "at byte " << kNonceOffset + i;
    }
    EXPECT_TRUE(verify(image_));
    EXPECT_EQ(bytes(kUsedEnd, kImageSize - kUsedEnd), std::string(kImageSize - kUsedEnd, '\0'));
}

// Encoding, decoding into a fresh store and encoding again gives the same image.
TEST_F(WholeImage, DecodeGivesBackEverySetting) {
    ASSERT_TRUE(encode_now().empty());
    const Image first = image_;
    ControlStore shown = registry_.make_store();
    ASSERT_FALSE(decode(registry_, shown, first));
    for (const char* clock : {"Rtcyear", "Rtcmonth", "Rtcday", "Rtchour", "Rtcmin"}) shown.set_text(clock, store_.text(clock));
    store_ = std::move(shown);
    ASSERT_TRUE(encode_now().empty());
    EXPECT_EQ(image_, first);
}

}  // namespace
}  // namespace zyvora
