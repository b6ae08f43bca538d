// The device link and the transfers over a device whose every answer comes from the input: the
// write count, the read count and the 65 reply bytes. A device is untrusted; whatever it sends,
// a page is only taken when its sum is right, nothing is retried, and the log says what happened.
//
// Input, read from the front: a sequence of at most 8 operations, each one byte (which, modulo 8)
// and the bytes it needs; each exchange then takes one control byte and, when its bit 5 is set,
// 65 reply bytes:
//   bits 0..2  read count: 0..3 whole (65), 4 none (0), 5 device gone (-1), 6 short (a byte after
//              the reply bytes, % 65), 7 the write fails (-1)
//   bit 3      byte 1 echoes the request's command
//   bit 4      the page sum is made right for the 32 bytes at 4
//   bit 5      the reply bytes follow in the input (otherwise all zero)
// When the input runs out the device stays silent: writes go out, no reply comes.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "files.h"
#include "fuzz_support.h"
#include "link.h"
#include "report.h"
#include "transfers.h"
#include "transport.h"

using namespace zyvora;

namespace {

struct Exchange {
    Report request{};
    int written = 0;
    bool was_read = false;
    int read = 0;
    Report reply{};
};

class FuzzedTransport : public Transport {
public:
    explicit FuzzedTransport(fuzz::Cursor& input) : input_(input) {}

    int write(const Report& request) override {
        Exchange e;
        e.request = request;
        control_ = input_.empty() ? kSilent : input_.byte();
        e.written = (control_ & 7) == 7 ? -1 : 65;
        exchanges.push_back(e);
        return e.written;
    }

    int read(Report& reply) override {
        FUZZ_EXPECT(!exchanges.empty() && !exchanges.back().was_read, "a reply read with no request written");
        Exchange& e = exchanges.back();
        e.was_read = true;
        const std::uint16_t c = control_;
        if (c == kSilent) return e.read = 0;
        Report r{};
        if (c & 0x20) {
            const std::string bytes = input_.text(kReportSize);
            std::copy(bytes.begin(), bytes.end(), r.begin());
        }
        if (c & 0x08) r[1] = e.request[1];
        if (c & 0x10) put_le16(r, kPageSumAt, page_sum(r.data() + kPageDataAt));
        switch (c & 7) {
            case 4: e.read = 0; break;
            case 5: e.read = -1; break;
            case 6: e.read = input_.byte() % 65; break;
            default: e.read = 65; break;
        }
        e.reply = r;
        reply = r;
        return e.read;
    }

    std::vector<Exchange> exchanges;

private:
    static constexpr std::uint16_t kSilent = 0x100;
    fuzz::Cursor& input_;
    std::uint16_t control_ = kSilent;
};

// One exchange, checked for no retry and no read after a failed write; true when the link
// should take it: everything went out, a whole reply came back, and it echoes the command.
bool whole_and_echoed(const Exchange& e) {
    FUZZ_EXPECT(e.written == 65 || !e.was_read, "a reply was read after a failed write");
    return e.written == 65 && e.was_read && e.read == 65 && e.reply[1] == e.request[1];
}

bool sum_right(const Report& reply) { return page_sum(reply.data() + kPageDataAt) == le16(reply, kPageSumAt); }

void expect_request(const Report& request, Command command, std::uint16_t page, const std::uint8_t* data,
                    const std::string& what) {
    Report expected = make_request(command);
    put_le16(expected, kPageNumberAt, page);
    if (data) {
        std::memcpy(expected.data() + kPageDataAt, data, kPageSize);
        put_le16(expected, kPageSumAt, page_sum(data));
    }
    FUZZ_EXPECT(request == expected,
                what + ": the request for page " + std::to_string(page) + " is not as the device expects");
}

std::string counted(const char* what, int number, int total) {
    return what + std::to_string(number) + "/" + std::to_string(total);
}

// "Page read: 1/512" .. for every page that went through, then the error line of the one that
// did not, or the success line when there is one.
void expect_page_lines(const fuzz::RecordingFeedback& feedback, int done, bool failed, int total, const char* ok_line,
                       const char* error_line, const char* success_line, const std::string& what) {
    std::vector<std::string> expected;
    for (int p = 1; p <= done; ++p) expected.push_back(counted(ok_line, p, total));
    if (failed) {
        expected.push_back(counted(error_line, done + 1, total));
    } else if (success_line) {
        expected.push_back(success_line);
    }
    FUZZ_EXPECT(feedback.lines == expected, what + ": the log lines do not tell the pages done");
}

void read_page(DeviceLink& link, FuzzedTransport& transport, fuzz::Cursor& input) {
    const auto page = input.u16();
    std::uint8_t data[kPageSize];
    std::memset(data, 0xA5, sizeof data);
    const std::size_t before = transport.exchanges.size();
    const bool ok = link.read_settings_page(page, data);
    FUZZ_EXPECT(transport.exchanges.size() == before + 1, "a page read made other than one exchange");
    const Exchange& e = transport.exchanges.back();
    expect_request(e.request, Command::ReadPage, page, nullptr, "page read");
    const bool should = whole_and_echoed(e) && sum_right(e.reply);
    FUZZ_EXPECT(ok == should, ok ? "a page read took a reply it should refuse" : "a page read refused a good reply");
    if (ok) {
        FUZZ_EXPECT(std::memcmp(data, e.reply.data() + kPageDataAt, kPageSize) == 0, "a page read gave other bytes");
    } else {
        for (std::uint8_t b : data) FUZZ_EXPECT(b == 0xA5, "a failed page read changed the page");
    }
}

void write_page(DeviceLink& link, FuzzedTransport& transport, fuzz::Cursor& input, Command command) {
    const auto page = input.u16();
    std::uint8_t data[kPageSize] = {};
    const std::string bytes = input.text(kPageSize);
    std::copy(bytes.begin(), bytes.end(), data);
    const std::size_t before = transport.exchanges.size();
    const bool ok =
        command == Command::WritePage ? link.write_settings_page(page, data) : link.write_firmware_page(page, data);
    FUZZ_EXPECT(transport.exchanges.size() == before + 1, "a page write made other than one exchange");
    const Exchange& e = transport.exchanges.back();
    expect_request(e.request, command, page, data, "page write");
    FUZZ_EXPECT(ok == whole_and_echoed(e), ok ? "a page write took a bad reply" : "a page write refused a good reply");
}

void queries(DeviceLink& link, FuzzedTransport& transport) {
    const std::size_t before = transport.exchanges.size();
    const auto firmware = link.firmware_version();
    const Exchange& f = transport.exchanges.at(before);
    FUZZ_EXPECT(f.request == make_request(Command::FirmwareVersion), "the firmware version request is wrong");
    FUZZ_EXPECT(firmware.has_value() == whole_and_echoed(f), "the firmware version taken from a bad reply, or refused");
    if (firmware) FUZZ_EXPECT(*firmware == le32(f.reply, kPayloadAt), "the firmware version is not the reply's number");

    const auto hardware = link.hardware_version();
    const Exchange& h = transport.exchanges.at(before + 1);
    FUZZ_EXPECT(transport.exchanges.size() == before + 2, "a version query made other than one exchange");
    FUZZ_EXPECT(h.request == make_request(Command::HardwareVersion), "the hardware version request is wrong");
    FUZZ_EXPECT(hardware.has_value() == whole_and_echoed(h), "the hardware version taken from a bad reply, or refused");
    if (hardware) {
        const auto* text = reinterpret_cast<const char*>(h.reply.data() + kPayloadAt);
        FUZZ_EXPECT(*hardware == std::string(text, strnlen(text, kReportSize - kPayloadAt)),
                    "the hardware version is not the reply's text up to its NUL");
    }
}

void versions(DeviceLink& link, FuzzedTransport& transport) {
    fuzz::RecordingFeedback feedback;
    const std::size_t before = transport.exchanges.size();
    const bool shown = show_versions(link, feedback);
    const std::size_t made = transport.exchanges.size() - before;
    const Exchange& f = transport.exchanges.at(before);
    if (!whole_and_echoed(f)) {
        FUZZ_EXPECT(!shown && made == 1 && feedback.boxes.empty(), "versions went on after a bad firmware reply");
        return;
    }
    FUZZ_EXPECT(made == 2, "the versions took other than two exchanges");
    const Exchange& h = transport.exchanges.at(before + 1);
    if (!whole_and_echoed(h)) {
        FUZZ_EXPECT(!shown && feedback.boxes.empty(), "versions shown after a bad hardware reply");
        return;
    }
    // Hundredths in integer arithmetic, so the text does not depend on floating-point rounding.
    const std::uint32_t v = le32(f.reply, kPayloadAt);
    char number[32];
    std::snprintf(number, sizeof number, "%u.%02u", v / 100, v % 100);
    const auto* text = reinterpret_cast<const char*>(h.reply.data() + kPayloadAt);
    const std::string expected = "message: Firmware version: " + std::string(number) +
                                 "\r\nHardware version: " +
                                 printable(std::string(text, strnlen(text, kReportSize - kPayloadAt)));
    FUZZ_EXPECT(shown && feedback.boxes == std::vector<std::string>{expected},
                "the versions message reads " + fuzz::escaped(feedback.boxes.empty() ? "" : feedback.boxes[0]) +
                    ", not " + fuzz::escaped(expected));
}

// Every page in order until one fails; the pages after it keep what the image held.
void read_all(DeviceLink& link, FuzzedTransport& transport) {
    fuzz::RecordingFeedback feedback;
    Image image;
    image.fill(0x5A);
    const std::size_t before = transport.exchanges.size();
    int failed_page = -1;
    const bool ok = read_settings(link, image, feedback, &failed_page);
    const int made = static_cast<int>(transport.exchanges.size() - before);
    int done = 0;
    for (; done < made; ++done) {
        const Exchange& e = transport.exchanges[before + done];
        expect_request(e.request, Command::ReadPage, static_cast<std::uint16_t>(done), nullptr, "Read config");
        if (!whole_and_echoed(e) || !sum_right(e.reply)) break;
        FUZZ_EXPECT(std::memcmp(image.data() + done * kPageSize, e.reply.data() + kPageDataAt, kPageSize) == 0,
                    "Read config stored other bytes for page " + std::to_string(done));
    }
    const bool failed = done < made;
    FUZZ_EXPECT(made == (failed ? done + 1 : static_cast<int>(kSettingsPages)),
                "Read config went on after a failed page, or stopped early");
    FUZZ_EXPECT(ok == !failed, "Read config reports the wrong outcome");
    FUZZ_EXPECT(failed_page == (failed ? done : -1),
                "Read config names page " + std::to_string(failed_page) + " as failed, not " + std::to_string(done));
    for (std::size_t i = done * kPageSize; i < image.size(); ++i) {
        FUZZ_EXPECT(image[i] == 0x5A, "Read config changed byte " + std::to_string(i) + " of a page it did not read");
    }
    expect_page_lines(feedback, done, failed, kSettingsPages, "Page read: ", "Page read error: ", nullptr,
                      "Read config");
    FUZZ_EXPECT(feedback.boxes.empty(), "Read config showed a box");
    FUZZ_EXPECT(feedback.range_min == 0 && feedback.range_max == static_cast<int>(kSettingsPages),
                "Read config set another progress range");
    FUZZ_EXPECT(ok ? feedback.progress() == 0 : feedback.progress() == done, "Read config left the progress bar wrong");
}

void write_all(DeviceLink& link, FuzzedTransport& transport, fuzz::Cursor& input) {
    fuzz::RecordingFeedback feedback;
    Image image;
    const std::uint8_t fill = input.byte();
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i + fill);
    const std::size_t before = transport.exchanges.size();
    const bool ok = write_settings(link, image, feedback);
    const int made = static_cast<int>(transport.exchanges.size() - before);
    int done = 0;
    for (; done < made; ++done) {
        const Exchange& e = transport.exchanges[before + done];
        expect_request(e.request, Command::WritePage, static_cast<std::uint16_t>(done), image.data() + done * kPageSize,
                       "Write config");
        if (!whole_and_echoed(e)) break;
    }
    const bool failed = done < made;
    FUZZ_EXPECT(made == (failed ? done + 1 : static_cast<int>(kSettingsPages)),
                "Write config went on after a failed page, or stopped early");
    FUZZ_EXPECT(ok == !failed, "Write config reports the wrong outcome");
    FUZZ_EXPECT(feedback.range_min == 0 && feedback.range_max == static_cast<int>(kSettingsPages),
                "Write config set another progress range");
    FUZZ_EXPECT(feedback.progress() == (ok ? 0 : done), "Write config left the progress bar wrong");
    expect_page_lines(feedback, done, failed, kSettingsPages,
                      "Page written: ", "Page write error: ", "Eeprom write success", "Write config");
}

void upload(DeviceLink& link, FuzzedTransport& transport, fuzz::Cursor& input) {
    fuzz::RecordingFeedback feedback;
    const std::string bytes = input.text(input.byte() % (4 * kPageSize + 1));
    const std::vector<std::uint8_t> firmware(bytes.begin(), bytes.end());
    const int pages = static_cast<int>((firmware.size() + kPageSize - 1) / kPageSize);
    const std::size_t before = transport.exchanges.size();
    const bool ok = upload_firmware(link, firmware, feedback);
    const int made = static_cast<int>(transport.exchanges.size() - before);
    int done = 0;
    for (; done < made; ++done) {
        const Exchange& e = transport.exchanges[before + done];
        std::uint8_t page[kPageSize] = {};
        const std::size_t from = done * kPageSize;
        std::copy(firmware.begin() + from, firmware.begin() + std::min(from + kPageSize, firmware.size()), page);
        expect_request(e.request, Command::FirmwarePage, static_cast<std::uint16_t>(done), page, "Upload firmware");
        if (!whole_and_echoed(e)) break;
    }
    const bool failed = done < made;
    FUZZ_EXPECT(made == (failed ? done + 1 : pages), "Upload firmware went on after a failed page, or stopped early");
    FUZZ_EXPECT(ok == !failed, "Upload firmware reports the wrong outcome");
    FUZZ_EXPECT(feedback.range_min == 0 && feedback.range_max == pages, "Upload firmware set another progress range");
    expect_page_lines(feedback, done, failed, pages, "Page written: ", "Page write error: ", "Firmware upgrade success",
                      "Upload firmware");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Cursor input(data, size);
    FuzzedTransport transport(input);
    DeviceLink link(transport);
    // A handful of operations at most, so a long input cannot make one run slow.
    for (int step = 0; step < 8 && !input.empty(); ++step) {
        switch (input.byte() % 8) {
            case 0: read_all(link, transport); break;
            case 1: versions(link, transport); break;
            case 2: queries(link, transport); break;
            case 3: read_page(link, transport, input); break;
            case 4: write_page(link, transport, input, Command::WritePage); break;
            case 5: write_page(link, transport, input, Command::FirmwarePage); break;
            case 6: write_all(link, transport, input); break;
            case 7: upload(link, transport, input); break;
        }
    }
    return 0;
}
