#pragma once
// A start-up store and an image to encode it into, for the tests of one area's settings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "default_image.h"
#include "expected_defaults.h"
#include "passes.h"
#include "registry.h"

namespace zyvora::test {

class AreaFixture : public ::testing::Test {
protected:
    AreaFixture() : registry_(Registry::instance()), store_(startup_store(registry_)) {}

    std::vector<Failure> encode_now() {
        EncodeOptions options;
        options.nonce = 0;
        return encode(registry_, store_, image_, options);
    }
    // Encodes going on after each failure; every failure's message in pass order.
    std::vector<std::string> encode_all_messages() {
        EncodeOptions options;
        options.all = true;
        options.nonce = 0;
        std::vector<std::string> messages;
        for (const auto& f : encode(registry_, store_, image_, options)) messages.push_back(f.message);
        return messages;
    }
    std::string bytes(std::size_t offset, std::size_t count) const {
        return std::string(reinterpret_cast<const char*>(image_.data()) + offset, count);
    }
    // Encodes and expects exactly one failure, at `control`, with `message`.
    void expect_failure(const std::string& control, const std::string& message) {
        const auto failures = encode_now();
        ASSERT_EQ(failures.size(), 1u) << control;
        EXPECT_EQ(failures[0].control, control);
        EXPECT_EQ(failures[0].message, message);
        EXPECT_FALSE(failures[0].conversion);
    }

    // From the start-up settings, a choice left without a selection (an index past its list, as a
    // settings file may hold) fails the encode pass with `message`.
    void expect_no_selection_refused(const std::string& control, const std::string& message) {
        store_ = startup_store(registry_);
        store_.set_index(control, 99);
        expect_failure(control, message);
    }

    const Registry& registry_;
    ControlStore store_;
    Image image_{};
};

}  // namespace zyvora::test
