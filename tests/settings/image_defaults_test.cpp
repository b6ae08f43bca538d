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

// Every control holding something other than what the image holds: each edit's text changed,
// each choice on another item (or none), each check box flipped.
ControlStore everything_changed(const ControlStore& from) {
    ControlStore store = from;
    for (int id = 0; id < static_cast<int>(store.size()); ++id) {
        const ControlDecl& d = store.decl(id);
        switch (d.kind) {
            case ControlKind::Edit: store.set_text(id, store.text(id) + "~"); break;
            case ControlKind::Choice: {
                const int count = static_cast<int>(d.items.size());
                store.set_index(id, count > 1 ? (store.index(id) + 1) % count : -1);
                break;
            }
            case ControlKind::Check: store.set_checked(id, !store.checked(id)); break;
        }
    }
    return store;
}

// Decoding into a store where every control is different sets each control the image holds to
// what was encoded, and leaves alone the ones it does not hold (the date and time edits); the
// decoded store then encodes to the same image.
TEST_F(WholeImage, DecodeGivesBackEverySetting) {
    ASSERT_TRUE(encode_now().empty());
    const Image first = image_;
    // The image cannot tell an empty path from SSID 0, and keeps the login upper-cased.
    ControlStore expected = store_;
    expected.set_text("Position_ssid3", "0");
    expected.set_text("Aprsis_user", "NOCALL");

    const ControlStore before = everything_changed(store_);
    ControlStore shown = before;
    ASSERT_FALSE(decode(registry_, shown, first));
    for (int id = 0; id < static_cast<int>(shown.size()); ++id) {
        const Field& field = registry_.settings()[id].field;
        const bool held = field.codec != Codec::None && field.decoded;
        const ControlStore& want = held ? expected : before;
        const std::string& name = shown.decl(id).name;
        ASSERT_TRUE(before.text(id) != expected.text(id) || before.index(id) != expected.index(id) ||
                    before.checked(id) != expected.checked(id))
            << name << " was not changed before the decode";
        EXPECT_EQ(shown.text(id), want.text(id)) << name;
        EXPECT_EQ(shown.index(id), want.index(id)) << name;
        EXPECT_EQ(shown.checked(id), want.checked(id)) << name;
    }

    for (const char* clock : {"Rtcyear", "Rtcmonth", "Rtcday", "Rtchour", "Rtcmin"}) shown.set_text(clock, store_.text(clock));
    store_ = std::move(shown);
    ASSERT_TRUE(encode_now().empty());
    EXPECT_EQ(image_, first);
}

}  // namespace
}  // namespace zyvora
