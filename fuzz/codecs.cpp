// The coordinate and call-sign codecs of the image. Coordinates must survive text -> number ->
// text -> number, and a decoded number that is a valid coordinate must encode again; the
// call-sign writers must touch their own bytes only.
//
// Input: the first byte picks the codec (modulo 6), the rest is its input: a text; a 32-bit
// number (little-endian); a 16-bit offset and the call; or, for the encode pass's codecs, a byte
// that picks a callsign pair of the settings tables, a length byte, the call, and the SSID text
// to the end.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "image.h"
#include "passes.h"
#include "registry.h"
#include "reference_int.h"

using namespace zyvora;

namespace {

struct Coordinate {
    const char* name;
    std::optional<std::int32_t> (*pack)(std::string_view);
    std::string (*text)(std::int32_t);
    std::size_t length;  // DDMM.MMH or DDDMM.MMH
    std::int32_t max;
    char negative_letter;
};

const Coordinate kLatitude{"latitude", pack_latitude, latitude_text, 8, 895999, 'S'};
const Coordinate kLongitude{"longitude", pack_longitude, longitude_text, 9, 1795999, 'E'};

// A text that packs gives back a text that packs to the same number: the same text, except
// that zero has no sign and so comes back with the positive letter.
void text_round_trip(const Coordinate& c, const std::string& text) {
    const auto packed = c.pack(text);
    if (!packed) return;
    FUZZ_EXPECT(text.size() == c.length, std::string(c.name) + " of the wrong length packs: " + fuzz::escaped(text));
    FUZZ_EXPECT(*packed >= -c.max && *packed <= c.max,
                std::string(c.name) + " packs out of range: " + fuzz::escaped(text));
    const std::string back = c.text(*packed);
    FUZZ_EXPECT(c.pack(back) == packed, std::string(c.name) + " " + fuzz::escaped(text) + " comes back as " +
                                            fuzz::escaped(back) + ", which packs to another number");
    FUZZ_EXPECT(back == text || (*packed == 0 && text.back() == c.negative_letter),
                std::string(c.name) + " " + fuzz::escaped(text) + " comes back as " + fuzz::escaped(back));
}

// Any stored number shows as a text; a valid coordinate (minutes below 60, within range) packs
// back to that number, and no text packs to another number.
void number_round_trip(const Coordinate& c, std::int32_t packed) {
    const std::string text = c.text(packed);
    const auto again = c.pack(text);
    FUZZ_EXPECT(!again || *again == packed, std::string(c.name) + " " + std::to_string(packed) + " shows as " + text +
                                                ", packing to another number");
    const std::int64_t magnitude = packed < 0 ? -static_cast<std::int64_t>(packed) : packed;
    if (magnitude <= c.max && magnitude % 10000 < 6000) {
        FUZZ_EXPECT(again.has_value(),
                    std::string(c.name) + " " + std::to_string(packed) + " shows as " + text + ", which does not pack");
    }
}

// An image whose every byte differs from its neighbours, so a stray write shows.
const Image& canary() {
    static const Image image = [] {
        Image i;
        for (std::size_t n = 0; n < i.size(); ++n) i[n] = static_cast<std::uint8_t>(n * 7 + 3);
        return i;
    }();
    return image;
}

std::uint8_t upper(char c) { return static_cast<std::uint8_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c); }

// The six call bytes: the call upper-cased, cut to six, padded with spaces.
std::array<std::uint8_t, 6> call_bytes(std::string_view call) {
    std::array<std::uint8_t, 6> out;
    for (std::size_t i = 0; i < 6; ++i) out[i] = i < call.size() ? upper(call[i]) : ' ';
    return out;
}

void expect_untouched_outside(const Image& image, const Image& before, std::size_t offset, std::size_t count,
                              const std::string& what) {
    // Compared whole first: a byte-by-byte loop would be traced by the fuzzer and slow it down.
    const std::size_t end = offset + count;
    if (std::memcmp(image.data(), before.data(), offset) == 0 &&
        std::memcmp(image.data() + end, before.data() + end, image.size() - end) == 0) {
        return;
    }
    for (std::size_t i = 0; i < image.size(); ++i) {
        if ((i < offset || i >= end) && image[i] != before[i]) {
            fuzz::fail(what + " at " + std::to_string(offset) + " wrote byte " + std::to_string(i));
        }
    }
}

// The callsign pairs of the settings tables: call rows and the SSID rows that skip their check
// while the call is empty.
struct CallsignPair {
    int call;
    int ssid;
};

const std::vector<CallsignPair>& callsign_pairs() {
    static const std::vector<CallsignPair> pairs = [] {
        const Registry& registry = Registry::instance();
        const ControlStore store = registry.make_store();
        std::vector<CallsignPair> out;
        for (int id = 0; id < static_cast<int>(registry.settings().size()); ++id) {
            const Field& f = registry.settings()[id].field;
            if (f.codec == Codec::CallSsid && !f.companion.empty()) out.push_back({store.require(f.companion), id});
        }
        return out;
    }();
    return pairs;
}

void call_field(fuzz::Cursor& input) {
    const auto& pairs = callsign_pairs();
    const CallsignPair pair = pairs[input.byte() % pairs.size()];
    const std::string call = input.text(input.byte());
    const std::string ssid = input.rest();

    const Registry& registry = Registry::instance();
    static ControlStore store = registry.make_store();
    const Setting& call_row = registry.settings()[pair.call];
    const Setting& ssid_row = registry.settings()[pair.ssid];
    const std::size_t offset = call_row.field.offset;
    const std::string what =
        call_row.control.name + "/" + ssid_row.control.name + " = " + fuzz::escaped(call) + ", " + fuzz::escaped(ssid);
    FUZZ_EXPECT(ssid_row.field.offset == offset + 6, what + ": the SSID is not byte 6 of its call's field");

    const auto number = parse_ssid(ssid);
    const auto rule = fuzz::reference_int(ssid);
    FUZZ_EXPECT(number == (rule && *rule >= 0 && *rule <= 15 ? rule : std::nullopt),
                "parse_ssid(" + fuzz::escaped(ssid) + ") disagrees with the integer rule");

    // Call, then SSID: they write bytes of their own, and the SSID looks only at the call's text,
    // so the order a pass takes them in makes no difference.
    const Image& before = canary();
    Image image = before;
    store.set_text(pair.call, call);
    store.set_text(pair.ssid, ssid);
    FUZZ_EXPECT(!encode_field(call_row, store, pair.call, image), what + ": the call was refused");
    const bool wildcard = ssid_row.field.wildcard && ssid == "*";
    const auto refused = encode_field(ssid_row, store, pair.ssid, image);
    expect_untouched_outside(image, before, offset, 7, what);
    const auto call6 = call_bytes(call);
    FUZZ_EXPECT(std::equal(call6.begin(), call6.end(), image.begin() + offset), what + " wrote other call bytes");
    if (refused) {
        FUZZ_EXPECT(!call.empty() && !number && !wildcard, what + " refused a good field");
        FUZZ_EXPECT(*refused == ssid_row.field.message, what + " refused with " + fuzz::escaped(*refused));
        FUZZ_EXPECT(image[offset + 6] == before[offset + 6], what + " refused, yet wrote the SSID byte");
        return;
    }
    FUZZ_EXPECT(call.empty() || number || wildcard, what + " took a bad SSID");
    const int ssid_number = call.empty() || wildcard ? 0 : *number;
    const int ssid_byte = wildcard && !call.empty() ? '*' : '0' + ssid_number;
    FUZZ_EXPECT(image[offset + 6] == ssid_byte, what + " wrote another SSID byte");

    // Read back: the call up to a NUL, its trailing spaces gone; the SSID in decimal.
    decode_field(call_row, store, pair.call, image);
    decode_field(ssid_row, store, pair.ssid, image);
    std::string expected(call6.begin(), std::find(call6.begin(), call6.end(), 0));
    while (!expected.empty() && expected.back() == ' ') expected.pop_back();
    const std::string expected_ssid = ssid_byte == '*' ? "*" : std::to_string(ssid_number);
    FUZZ_EXPECT(store.text(pair.call) == expected, what + " reads back the call " + fuzz::escaped(store.text(pair.call)));
    FUZZ_EXPECT(store.text(pair.ssid) == expected_ssid, what + " reads back the SSID " + store.text(pair.ssid));
}

void call_only(fuzz::Cursor& input) {
    const std::size_t offset = input.u16() % (kImageSize - 5);
    const std::string call = input.rest();
    const Image& before = canary();
    Image image = before;
    put_call(image, offset, call);
    const std::string what = "put_call(" + fuzz::escaped(call) + ")";
    expect_untouched_outside(image, before, offset, 6, what);
    const auto call6 = call_bytes(call);
    FUZZ_EXPECT(std::equal(call6.begin(), call6.end(), image.begin() + offset), what + " wrote other bytes");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Cursor input(data, size);
    switch (input.byte() % 6) {
        case 0: text_round_trip(kLatitude, input.rest()); break;
        case 1: text_round_trip(kLongitude, input.rest()); break;
        case 2: number_round_trip(kLatitude, input.i32()); break;
        case 3: number_round_trip(kLongitude, input.i32()); break;
        case 4: call_only(input); break;
        case 5: call_field(input); break;
    }
    return 0;
}
