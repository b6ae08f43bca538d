#pragma once
// What the fuzz targets share: images made from raw input, a feedback that records, and a
// failed property that names itself before it stops the fuzzer.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "controls.h"
#include "feedback.h"
#include "image.h"

namespace zyvora::fuzz {

// Stops the run with a readable reason; libFuzzer keeps the input that led here.
[[noreturn]] inline void fail(const std::string& what) {
    std::fprintf(stderr, "property failed: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

}  // namespace zyvora::fuzz

// Checks a property; the text that names the failure is only made when it fails, so checks
// can sit in loops over every byte of an image without slowing the fuzzer.
#define FUZZ_EXPECT(holds, what)                  \
    do {                                          \
        if (!(holds)) ::zyvora::fuzz::fail(what); \
    } while (0)

namespace zyvora::fuzz {

// Bytes as C string escapes, so a failure shows control bytes and high bytes legibly.
inline std::string escaped(std::string_view bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return '"' + out + '"';
}

// Reads the input from the front, field by field; past its end every byte reads as zero.
class Cursor {
public:
    Cursor(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return at_ == size_; }
    std::uint8_t byte() { return empty() ? 0 : data_[at_++]; }
    std::uint16_t u16() {
        const std::uint16_t low = byte();
        return static_cast<std::uint16_t>(low | byte() << 8);
    }
    std::int32_t i32() {
        std::uint32_t v = u16();
        v |= static_cast<std::uint32_t>(u16()) << 16;
        return static_cast<std::int32_t>(v);
    }
    // Up to `count` bytes, fewer when the input ends.
    std::string text(std::size_t count) {
        const std::size_t n = std::min(count, size_ - at_);
        std::string out(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return out;
    }
    std::string rest() { return text(size_ - at_); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// Any input as an image: cut to the image size, the rest zero.
inline Image image_from(const std::uint8_t* data, std::size_t size) {
    Image image{};
    std::copy_n(data, std::min(size, image.size()), image.begin());
    return image;
}

// The value a control holds, as one text: what a failure shows and what stores compare by.
inline std::string value_of(const ControlStore& store, int id) {
    switch (store.decl(id).kind) {
        case ControlKind::Edit: return "text " + escaped(store.text(id));
        case ControlKind::Choice: return "index " + std::to_string(store.index(id));
        case ControlKind::Check: return store.checked(id) ? "checked" : "unchecked";
    }
    return {};
}

inline bool same_value(const ControlStore& a, const ControlStore& b, int id) {
    switch (a.decl(id).kind) {
        case ControlKind::Edit: return a.text(id) == b.text(id);
        case ControlKind::Choice: return a.index(id) == b.index(id);
        case ControlKind::Check: return a.checked(id) == b.checked(id);
    }
    return false;
}

class RecordingFeedback : public Feedback {
public:
    void info(const std::string& text) override { boxes.push_back("info: " + text); }
    void message(const std::string& text) override { boxes.push_back("message: " + text); }
    void error(const std::string& text) override { boxes.push_back("error: " + text); }
    void log(const std::string& line) override { lines.push_back(line); }
    void progress_range(int minimum, int maximum) override {
        range_min = minimum;
        range_max = maximum;
    }
    void progress_position(int position) override { position_ = position; }
    int progress() const override { return position_; }

    std::vector<std::string> boxes;
    std::vector<std::string> lines;
    int range_min = -1, range_max = -1;

private:
    int position_ = -1;
};

}  // namespace zyvora::fuzz
