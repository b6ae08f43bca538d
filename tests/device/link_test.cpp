// Requests as the device expects them, byte by byte, and the checks on its untrusted replies.
#include <gtest/gtest.h>

#include <deque>
#include <numeric>

#include "link.h"

namespace zyvora {
namespace {

// Answers each request with the next scripted step and keeps every request it was given.
class ScriptedTransport : public Transport {
public:
    struct Step {
        int written = 65;
        int read = 65;
        Report reply{};
    };
    std::deque<Step> steps;
    std::vector<Report> requests;
    int reads = 0;

    int write(const Report& request) override {
        requests.push_back(request);
        return steps.empty() ? -1 : steps.front().written;
    }
    int read(Report& reply) override {
        ++reads;
        if (steps.empty()) return 0;
        const Step step = steps.front();
        steps.pop_front();
        reply = step.reply;
        return step.read;
    }
};

Report reply_to(Command command) { return make_request(command); }

std::array<std::uint8_t, kPageSize> counting_page(std::uint8_t first) {
    std::array<std::uint8_t, kPageSize> page;
    std::iota(page.begin(), page.end(), first);
    return page;
}

TEST(PageSum, AddsThe32BytesAsUnsignedBytes) {
    std::array<std::uint8_t, kPageSize> page;
    page.fill(0xFF);
    EXPECT_EQ(page_sum(page.data()), 8160);
    EXPECT_EQ(page_sum(counting_page(0).data()), 496);
    page.fill(0);
    EXPECT_EQ(page_sum(page.data()), 0);
}

TEST(LinkRequests, CarryTheCommandPageDataAndSumAtTheirPlaces) {
    ScriptedTransport transport;
    DeviceLink link(transport);
    const auto data = counting_page(0xF0);  // 0xF0..0x0F wraps, so the sum is not the plain count
    const std::uint16_t sum = page_sum(data.data());

    link.firmware_version();
    link.hardware_version();
    link.write_settings_page(0x01FF, data.data());
    std::array<std::uint8_t, kPageSize> into{};
    link.read_settings_page(0x0123, into.data());
    link.write_firmware_page(0x3CBF, data.data());

    auto page_write = [&](std::uint8_t command, std::uint16_t page) {
        Report r{};
        r[1] = command;
        r[2] = static_cast<std::uint8_t>(page);
        r[3] = static_cast<std::uint8_t>(page >> 8);
        std::copy(data.begin(), data.end(), r.begin() + 4);
        r[36] = static_cast<std::uint8_t>(sum);
        r[37] = static_cast<std::uint8_t>(sum >> 8);
        return r;
    };
    Report firmware_version{}, hardware_version{}, read_page{};
    firmware_version[1] = 0xFB;
    hardware_version[1] = 0xFA;
    read_page[1] = 0xFC;
    read_page[2] = 0x23;
    read_page[3] = 0x01;
    const std::vector<Report> expected{firmware_version, hardware_version, page_write(0xFD, 0x01FF), read_page,
                                       page_write(0xFE, 0x3CBF)};
    EXPECT_EQ(transport.requests, expected);
}

TEST(LinkExchange, NeedsWholeReportsBothWaysAndTheEcho) {
    Report right = reply_to(Command::FirmwareVersion);
    right[2] = 0x71;
    Report wrong_echo = right;
    wrong_echo[1] = 0xFC;
    const struct {
        const char* what;
        ScriptedTransport::Step step;
        bool ok;
        int reads;  // a failed write ends the exchange before any read
    } cases[] = {
        {"whole reply with echo", {65, 65, right}, true, 1},
        {"wrong echo, right counts", {65, 65, wrong_echo}, false, 1},
        {"short write", {64, 65, right}, false, 0},
        {"write error", {-1, 65, right}, false, 0},
        {"short read", {65, 64, right}, false, 1},
        {"no reply in time", {65, 0, right}, false, 1},
        {"device gone", {65, -1, right}, false, 1},
    };
    for (const auto& c : cases) {
        ScriptedTransport transport;
        transport.steps.push_back(c.step);
        DeviceLink link(transport);
        const std::optional<std::uint32_t> version = link.firmware_version();
        EXPECT_EQ(version.has_value(), c.ok) << c.what;
        if (c.ok) {
            EXPECT_EQ(*version, 113u) << c.what;
        }
        EXPECT_EQ(transport.reads, c.reads) << c.what;
    }
}

TEST(LinkReplies, FirmwareVersionIsLittleEndian32Bits) {
    ScriptedTransport transport;
    Report reply = reply_to(Command::FirmwareVersion);
    reply[2] = 0x78, reply[3] = 0x56, reply[4] = 0x34, reply[5] = 0x12, reply[6] = 0xFF;
    transport.steps.push_back({65, 65, reply});
    EXPECT_EQ(DeviceLink(transport).firmware_version(), 0x12345678u);
}

// As "%.2f" of the number in hundredths wrote them, exactly, for every 32-bit number.
TEST(FirmwareVersionText, IsTheNumberInHundredths) {
    const std::pair<std::uint32_t, const char*> cases[] = {
        {113, "1.13"}, {100, "1.00"}, {5, "0.05"}, {0, "0.00"}, {1210, "12.10"}, {4294967295u, "42949672.95"}};
    for (const auto& [hundredths, text] : cases) EXPECT_EQ(firmware_version_text(hundredths), text) << hundredths;
}

TEST(LinkReplies, HardwareVersionEndsAtItsNulOrAtTheEndOfTheReport) {
    auto hardware_reply = [](const std::string& bytes) {
        Report reply = reply_to(Command::HardwareVersion);
        std::copy(bytes.begin(), bytes.end(), reply.begin() + 2);
        return reply;
    };
    const std::string all_text(63, 'H');  // bytes 2..64 with no NUL among them
    const struct {
        std::string bytes;
        std::string text;
    } cases[] = {
        {std::string("Rev B\0junk", 10), "Rev B"},
        {std::string(), ""},
        {all_text, all_text},
    };
    for (const auto& c : cases) {
        ScriptedTransport transport;
        transport.steps.push_back({65, 65, hardware_reply(c.bytes)});
        EXPECT_EQ(DeviceLink(transport).hardware_version(), c.text);
    }
}

TEST(LinkReplies, ReadPageTakesTheDataOnlyWhenItsSumIsRight) {
    const auto data = counting_page(0xF0);
    Report good = reply_to(Command::ReadPage);
    good[2] = 0x44;  // the page number in a reply is not checked
    std::copy(data.begin(), data.end(), good.begin() + 4);
    const std::uint16_t sum = page_sum(data.data());
    good[36] = static_cast<std::uint8_t>(sum);
    good[37] = static_cast<std::uint8_t>(sum >> 8);
    Report high_byte_off = good;
    high_byte_off[37] ^= 0x01;
    Report data_off = good;
    data_off[35] ^= 0x80;

    const struct {
        const char* what;
        Report reply;
        bool ok;
    } cases[] = {{"right sum", good, true}, {"sum high byte off", high_byte_off, false}, {"data off", data_off, false}};
    for (const auto& c : cases) {
        ScriptedTransport transport;
        transport.steps.push_back({65, 65, c.reply});
        std::array<std::uint8_t, kPageSize> into;
        into.fill(0xAA);
        EXPECT_EQ(DeviceLink(transport).read_settings_page(3, into.data()), c.ok) << c.what;
        std::array<std::uint8_t, kPageSize> untouched;
        untouched.fill(0xAA);
        EXPECT_EQ(into, c.ok ? data : untouched) << c.what;
    }
}

}  // namespace
}  // namespace zyvora
