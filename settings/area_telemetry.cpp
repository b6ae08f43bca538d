// The "Telemetry reports" pages: where and how often the telemetry data and parameter
// messages go, five analog and eight digital channels, the Brisel output states; and the two
// RS-485 module switches whose bytes sit among the report settings.
#include <array>

#include "groups.h"
#include "registry.h"
#include "telemetry.h"

namespace zyvora {

namespace {

constexpr std::uint16_t kAnalogBase = 2116;
constexpr std::uint16_t kAnalogStride = 45;
constexpr std::uint16_t kDigitalBase = 2341;
constexpr std::uint16_t kDigitalStride = 16;

// The image fields are the same for every channel; the later channels take shorter texts.
constexpr std::array<int, kAnalogChannels> kAnalogLength = {7, 7, 6, 6, 5};
constexpr std::array<int, kDigitalChannels> kDigitalLength = {6, 5, 4, 4, 4, 3, 3, 3};
constexpr std::array<int, kAnalogChannels> kAnalogSource = {13, 14, 16, 19, 0};

const std::vector<std::string> kAnalogSources = {
    "Not used",
    "(M) Current1 (5A fullscale)",
    "(M) Current1 (2.5A fullscale)",
    "(M) Current1 (1.25A fullscale)",
    "(M) Current2 (5A fullscale)",
    "(M) Current2 (2.5A fullscale)",
    "(M) Current2 (1.25A fullscale)",
    "(M) Voltage1",
    "(M) Voltage2",
    "(M) Temperature (DS18B20)",
    "(M) Temperature (DS18S20)",
    "(E) Temperature (DS18B20)",
    "(E) Temperature (DS18S20)",
    "(I) Input voltage",
    "(I) RX'ed packets (1 hour)",
    "(I) RX'ed packets (10 min)",
    "(I) DIGI'ed packets (1 hour)",
    "(I) DIGI'ed packets (10 min)",
    "(I) Decode efficiency (total)",
    "(I) Decode efficiency (1 hour)",
    "(I) DIGI'ed/RX'ed (1 hour)",
    "(I) DIGI'ed/RX'ed (total)",
    "(I) DIGI'ed/pkt starts (1 hour)",
    "(I) DIGI'ed/pkt starts (total)",
};

const std::vector<std::string> kDigitalSources = {
    "Not used",     "(M) Output 1", "(M) Output 2", "(M) Output 3", "(M) Output 4",
    "(M) Input 1",  "(M) Input 2",  "(M) Input 3",  "(M) Input 4",
};

// Name (empty: A and the channel digit), unit and coefficients by analog source index.
struct AnalogPreset {
    const char* name;
    const char* unit;
    const char* a;
    const char* b;
    const char* c;
};
constexpr AnalogPreset kAnalogPresets[] = {
    {"", "None", "0", "0", "0"},
    {"I1", "mA", "0", "19.5", "0"},     {"I1", "mA", "0", "9.76", "0"},    {"I1", "mA", "0", "4.88", "0"},
    {"I2", "mA", "0", "19.5", "0"},     {"I2", "mA", "0", "9.76", "0"},    {"I2", "mA", "0", "4.88", "0"},
    {"U1", "Volt", "0", "0.1", "0"},    {"U2", "Volt", "0", "0.1", "0"},
    {"Temp", "C", "0", "0.5", "-64"},   {"Temp", "C", "0", "0.5", "-64"},  {"Temp", "C", "0", "0.5", "-64"},
    {"Temp", "C", "0", "0.5", "-64"},
    {"Vin", "Volt", "0", "0.075", "0"},
    {"Rx1h", "Pkt", "0", "10", "0"},    {"Rx10m", "Pkt", "0", "1", "0"},
    {"Dg1h", "Pkt", "0", "10", "0"},    {"Dg10m", "Pkt", "0", "1", "0"},
    {"Eff", "Pcnt", "0", "1", "0"},     {"Eff1h", "Pcnt", "0", "1", "0"},
    {"DgR1h", "Pcnt", "0", "0.001", "0"}, {"DgR", "Pcnt", "0", "0.001", "0"},
    {"DgS1h", "Pcnt", "0", "0.001", "0"}, {"DgS", "Pcnt", "0", "0.001", "0"},
};
static_assert(std::size(kAnalogPresets) == 24);

// A letter and a number: "A1", "O4".
std::string lettered(char letter, std::size_t n) {
    std::string text(1, letter);
    text += std::to_string(n);
    return text;
}

// What a channel holds when its source is "Not used", and what a missing key reads as.
std::string unused_analog_name(int n) { return lettered('A', static_cast<std::size_t>(n)); }
std::string unused_digital_name(int n) { return lettered('B', static_cast<std::size_t>(n)); }
std::string unused_digital_label(int n) { return n >= 6 ? "Non" : "None"; }

// The destination and path of one kind of telemetry message, and its two rates.
struct Report {
    const char* prefix;  // "Teledata_"
    const char* what;    // "Telemetry data"
    std::uint16_t base;  // the destination's callsign field; path and rates follow it
    std::uint16_t rates;
    const char* rf;
    const char* is;
};

void add_report(AreaBuilder& a, const Report& r, std::string saved_after = {}) {
    ReportGroup g;
    g.prefix = r.prefix;
    g.callsigns = r.base;
    g.rates = r.rates;
    g.rf_default = r.rf;
    g.is_default = r.is;
    g.name = r.what;
    g.call_hints = false;  // the telemetry tables show the destination and path without hints
    g.path_ssid_first = false;
    g.saved_after = std::move(saved_after);
    a.member(r.what);
    add_report_group(a, g);
    a.member("");
}

void add_analog(AreaBuilder& a, int n) {
    const std::string d = std::to_string(n);
    const std::string p = analog_prefix(n);
    const std::string channel = "Analog channel " + d;
    const auto base = static_cast<std::uint16_t>(kAnalogBase + kAnalogStride * (n - 1));
    const int length = kAnalogLength[static_cast<std::size_t>(n - 1)];
    a.member("Analog " + d);

    a.choice(p + "source", kAnalogSources, kAnalogSource[static_cast<std::size_t>(n - 1)])
        .caption("Source:").hint(channel + " measurement source.")
        .no_selection("Analog " + d + " - Source: no item selected.")
        .index8(base)
        .key(p + "source", KeyKind::Index)
        .missing(0)
        .saved_after(p + "units");  // the file names a channel before its source
    // Start-up replaces these with the preset of the channel's source; a missing key reads as
    // the "Not used" preset.
    a.edit(p + "name", length, unused_analog_name(n))
        .caption("Name:").hint(channel + " report name.")
        .text(base + 1, 8)
        .key(p + "name", KeyKind::Text);
    a.edit(p + "units", length, "None")
        .caption("Units:").hint(channel + " report units.")
        .text(base + 9, 8)
        .key(p + "units", KeyKind::Text);
    const struct {
        const char* suffix;
        const char* caption;
        const char* letter;
        std::uint16_t offset;
    } coefficients[] = {{"coefa", "Coeff A:", "A", 17}, {"coefb", "Coeff B:", "B", 26}, {"coefc", "Coeff C:", "C", 35}};
    // Kept as typed: the device reads the numbers from the text.
    for (const auto& c : coefficients) {
        a.edit(p + c.suffix, 8, "0")
            .caption(c.caption)
            .hint(channel + " telemetry calculation coefficient " + c.letter +
                  ". Equation: A*x*x+B*x+C (where x is the measurement sample).")
            .text(base + c.offset, 9)
            .key(p + c.suffix, KeyKind::Text);
    }
    // Two lines, so that the column is no wider than its choices.
    a.choice(p + "average", {"Off", "On"}, 0)
        .caption("1 min\naverage:").hint("If selected, the device will calculate 1 minute average of measured samples.")
        .no_selection("Analog " + d + " - 1 min average: no item selected.")
        .index8(base + 44)
        .key(p + "average", KeyKind::Index);
}

void add_digital(AreaBuilder& a, int n) {
    const std::string d = std::to_string(n);
    const std::string p = digital_prefix(n);
    const std::string channel = "Digital channel " + d;
    const auto base = static_cast<std::uint16_t>(kDigitalBase + kDigitalStride * (n - 1));
    const int length = kDigitalLength[static_cast<std::size_t>(n - 1)];
    a.member("Digital " + d);

    a.choice(p + "source", kDigitalSources, n)
        .caption("Source").hint(channel + " source.")
        .no_selection("Digital " + d + " - Source: no item selected.")
        .index8(base)
        .key(p + "source", KeyKind::Index)
        .missing(0)
        .saved_after(p + "units");
    a.edit(p + "name", length, unused_digital_name(n))
        .caption("Name:").hint(channel + " report name.")
        .text(base + 1, 7)
        .key(p + "name", KeyKind::Text);
    // The label's control keeps the older name "units".
    a.edit(p + "units", length, unused_digital_label(n))
        .caption("Label").hint(channel + " report label.")
        .text(base + 8, 7)
        .key(p + "label", KeyKind::Text);
    a.choice(p + "inverted", {"No", "Yes"}, 0)
        .caption("Inverted:").hint("Select if digital channel is active-low.")
        .no_selection("Digital " + d + " - Inverted: no item selected.")
        .index8(base + 15)
        .key(p + "inverted", KeyKind::Index);
}

// The selected source of a channel, if it has one in the list.
std::optional<std::size_t> selected_source(const ControlStore& store, const std::string& prefix, std::size_t count) {
    const int index = store.index(prefix + "source");
    if (index < 0 || static_cast<std::size_t>(index) >= count) return std::nullopt;
    return static_cast<std::size_t>(index);
}

}  // namespace

std::string analog_prefix(int n) { return "Teleanalog" + std::to_string(n) + "_"; }
std::string digital_prefix(int n) { return "Teledigital" + std::to_string(n) + "_"; }

void run_analog_preset(ControlStore& store, int channel) {
    const std::string p = analog_prefix(channel);
    const auto source = selected_source(store, p, std::size(kAnalogPresets));
    if (!source) return;
    const AnalogPreset& preset = kAnalogPresets[*source];
    store.set_text(p + "name", *source == 0 ? unused_analog_name(channel) : preset.name);
    store.set_text(p + "units", preset.unit);
    store.set_text(p + "coefa", preset.a);
    store.set_text(p + "coefb", preset.b);
    store.set_text(p + "coefc", preset.c);
}

void run_digital_preset(ControlStore& store, int channel) {
    const std::string p = digital_prefix(channel);
    const auto source = selected_source(store, p, kDigitalSources.size());
    if (!source) return;
    if (*source == 0) {
        store.set_text(p + "name", unused_digital_name(channel));
        store.set_text(p + "units", unused_digital_label(channel));
    } else if (*source <= 4) {
        store.set_text(p + "name", lettered('O', *source));
        store.set_text(p + "units", "On");
    } else {
        store.set_text(p + "name", lettered('I', *source - 4));
        store.set_text(p + "units", "Hi");
    }
    store.set_index(p + "inverted", 0);
}

Area telemetry_area() {
    AreaBuilder a("telemetry");
    a.section("Telemetry");
    a.page("TabSheet_report_settings");
    // The data checks come first; the file holds the parameters first.
    // Byte 2093, between the data path and the data rates, belongs to no setting.
    add_report(a, {"Teledata_", "Telemetry data", 2079, 2094, "10", "5"}, "Teleparams_txrate_aprsis");
    add_report(a, {"Teleparams_", "Telemetry parameters", 2098, 2112, "60", "10"});
    a.edit("Teletitle", 23, "ZyvoraPlus20 Telemetry")
        .caption("Telemetry project title:").hint("Title for telemetry sent in BITS message.")
        .text(2052, 24)
        .key("Tele_title", KeyKind::Text);
    a.choice("Tele_enable", {"Disabled", "Enabled"}, 0)
        .caption("Telemetry reports:").hint("Enables or disables telemetry reports.")
        .index8(2076)
        .key("Tele_enable", KeyKind::Index);
    a.edit("Tele_holdoff", 3, "60")
        .caption("First telemetry data packet delay [min]:")
        .hint("Delay for first telemetry data packet. Allows to gather data after device power-up.")
        .number(2473, 1, 0, 250, "First telemetry data packet delay range error (0 - 250).")
        .key("Tele_holdoff", KeyKind::Integer);

    a.page("TabSheet_analog_channels");
    for (int n = 1; n <= kAnalogChannels; ++n) add_analog(a, n);
    for (int n = 1; n <= kDigitalChannels; ++n) {
        a.page(n <= 4 ? "TabSheet_digital_channels14" : "TabSheet_digital_channels58");
        add_digital(a, n);
    }
    a.member("");

    a.page("TabSheet_brisel_outputs");
    for (int n = 1; n <= 4; ++n) {
        const std::string name = "Brisel_output" + std::to_string(n);
        a.choice(name, {"Off", "On"}, 0)
            .caption("Output " + std::to_string(n) + " default state:")
            .quiet_hint("State of output " + std::to_string(n) + " after the device starts.")
            .index8(static_cast<std::uint16_t>(2468 + n))
            .key(name, KeyKind::Index);
    }

    a.after_defaults([](ControlStore& store) {
        for (int n = 1; n <= kAnalogChannels; ++n) run_analog_preset(store, n);
        for (int n = 1; n <= kDigitalChannels; ++n) run_digital_preset(store, n);
    });
    return a.take();
}

Area telemetry_modules_area() {
    AreaBuilder a("telemetry_modules");
    a.page("TabSheet_rs485_ports");
    a.section("Telemetry");
    a.choice("Telemodule_enable", {"Disabled", "Enabled"}, 0)
        .caption("Ovlantarium module (RS-485):").hint("Enables or disables Ovlantarium module support.")
        .index8(2077)
        .key("Telemodule_enable", KeyKind::Index);
    a.choice("Bitsmodule_enable", {"Disabled", "Enabled"}, 0)
        .caption("Brisel module (RS-485):").hint("Enables or disables Brisel module support.")
        .index8(2078)
        .key("Bitsmodule_enable", KeyKind::Index);
    return a.take();
}

}  // namespace zyvora
