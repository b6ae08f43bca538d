#include "fault.h"

#include <array>
#include <charconv>
#include <utility>

namespace zyvora {

namespace {

constexpr std::array<std::pair<std::string_view, Command>, 5> kCommands{{
    {"hwversion", Command::HardwareVersion},
    {"fwversion", Command::FirmwareVersion},
    {"read", Command::ReadPage},
    {"write", Command::WritePage},
    {"firmware", Command::FirmwarePage},
}};

constexpr std::array<std::pair<std::string_view, SimFaultKind>, 6> kKinds{{
    {"wrong-sum", SimFaultKind::WrongSum},
    {"wrong-echo", SimFaultKind::WrongEcho},
    {"short-reply", SimFaultKind::ShortReply},
    {"no-reply", SimFaultKind::NoReply},
    {"gone", SimFaultKind::Gone},
    {"corrupt", SimFaultKind::Corrupt},
}};

bool has_pages(Command command) { return command != Command::HardwareVersion && command != Command::FirmwareVersion; }

}  // namespace

std::optional<SimFault> parse_sim_fault(std::string_view text, std::string* error) {
    const auto fail = [&](const std::string& why) -> std::optional<SimFault> {
        if (error) *error = "fault \"" + std::string(text) + "\": " + why;
        return std::nullopt;
    };
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) return fail("expected COMMAND[@PAGE]=KIND, for example read@3=wrong-sum");
    std::string_view target = text.substr(0, equals);
    const std::string_view kind_name = text.substr(equals + 1);
    std::optional<std::string_view> page_text;
    if (const std::size_t at = target.find('@'); at != std::string_view::npos) {
        page_text = target.substr(at + 1);
        target = target.substr(0, at);
    }

    SimFault fault{};
    bool known = false;
    for (const auto& [name, command] : kCommands) {
        if (name == target) fault.command = command, known = true;
    }
    if (!known) {
        return fail("unknown command \"" + std::string(target) + "\" (hwversion, fwversion, read, write or firmware)");
    }
    known = false;
    for (const auto& [name, kind] : kKinds) {
        if (name == kind_name) fault.kind = kind, known = true;
    }
    if (!known) {
        return fail("unknown kind \"" + std::string(kind_name) +
                    "\" (wrong-sum, wrong-echo, short-reply, no-reply, gone or corrupt)");
    }
    if (fault.kind == SimFaultKind::WrongSum && fault.command != Command::ReadPage) {
        return fail("wrong-sum applies to read only, the one reply that carries a page sum");
    }
    if (fault.kind == SimFaultKind::Corrupt && fault.command != Command::WritePage) {
        return fail("corrupt applies to write only, the one command that stores a settings page");
    }
    if (page_text) {
        if (!has_pages(fault.command)) return fail(std::string(target) + " has no pages");
        const unsigned limit = fault.command == Command::FirmwarePage ? 65535 : kSettingsPages - 1;
        unsigned page = 0;
        const auto [end, ec] = std::from_chars(page_text->data(), page_text->data() + page_text->size(), page);
        if (page_text->empty() || ec != std::errc() || end != page_text->data() + page_text->size() || page > limit) {
            return fail("page \"" + std::string(*page_text) + "\" is not a page number 0-" + std::to_string(limit));
        }
        fault.page = static_cast<std::uint16_t>(page);
    }
    return fault;
}

std::string to_string(const SimFault& fault) {
    std::string text;
    for (const auto& [name, command] : kCommands) {
        if (command == fault.command) text = name;
    }
    if (fault.page) text += "@" + std::to_string(*fault.page);
    for (const auto& [name, kind] : kKinds) {
        if (kind == fault.kind) text += "=" + std::string(name);
    }
    return text;
}

}  // namespace zyvora
