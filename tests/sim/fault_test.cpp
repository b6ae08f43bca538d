// The fault syntax of the simulated device: COMMAND[@PAGE]=KIND.
#include <gtest/gtest.h>

#include "fault.h"

namespace zyvora {
namespace {

TEST(SimFaultSyntax, ReadsEveryCommandAndKind) {
    const struct {
        const char* text;
        SimFault fault;
    } cases[] = {
        {"read@3=wrong-sum", {Command::ReadPage, 3, SimFaultKind::WrongSum}},
        {"read=wrong-sum", {Command::ReadPage, std::nullopt, SimFaultKind::WrongSum}},
        {"write@7=no-reply", {Command::WritePage, 7, SimFaultKind::NoReply}},
        {"write@511=short-reply", {Command::WritePage, 511, SimFaultKind::ShortReply}},
        {"fwversion=wrong-echo", {Command::FirmwareVersion, std::nullopt, SimFaultKind::WrongEcho}},
        {"hwversion=short-reply", {Command::HardwareVersion, std::nullopt, SimFaultKind::ShortReply}},
        {"firmware@0=gone", {Command::FirmwarePage, 0, SimFaultKind::Gone}},
        {"firmware@65535=wrong-echo", {Command::FirmwarePage, 65535, SimFaultKind::WrongEcho}},
        {"firmware=no-reply", {Command::FirmwarePage, std::nullopt, SimFaultKind::NoReply}},
        {"write@100=corrupt", {Command::WritePage, 100, SimFaultKind::Corrupt}},
    };
    for (const auto& c : cases) {
        std::string error = "untouched";
        EXPECT_EQ(parse_sim_fault(c.text, &error), c.fault) << c.text;
        EXPECT_EQ(error, "untouched") << c.text;
        EXPECT_EQ(to_string(c.fault), c.text);
    }
}

TEST(SimFaultSyntax, RefusesWithAReason) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"", "fault \"\": expected COMMAND[@PAGE]=KIND, for example read@3=wrong-sum"},
        {"read@3", "fault \"read@3\": expected COMMAND[@PAGE]=KIND, for example read@3=wrong-sum"},
        {"erase=gone", "fault \"erase=gone\": unknown command \"erase\" (hwversion, fwversion, read, write or firmware)"},
        {"READ=gone", "fault \"READ=gone\": unknown command \"READ\" (hwversion, fwversion, read, write or firmware)"},
        {"read=slow", "fault \"read=slow\": unknown kind \"slow\" (wrong-sum, wrong-echo, short-reply, no-reply, gone or corrupt)"},
        {"read@3=", "fault \"read@3=\": unknown kind \"\" (wrong-sum, wrong-echo, short-reply, no-reply, gone or corrupt)"},
        {"write@2=wrong-sum",
         "fault \"write@2=wrong-sum\": wrong-sum applies to read only, the one reply that carries a page sum"},
        {"read@2=corrupt",
         "fault \"read@2=corrupt\": corrupt applies to write only, the one command that stores a settings page"},
        {"fwversion@1=gone", "fault \"fwversion@1=gone\": fwversion has no pages"},
        {"read@512=gone", "fault \"read@512=gone\": page \"512\" is not a page number 0-511"},
        {"write@-1=gone", "fault \"write@-1=gone\": page \"-1\" is not a page number 0-511"},
        {"read@=gone", "fault \"read@=gone\": page \"\" is not a page number 0-511"},
        {"read@3x=gone", "fault \"read@3x=gone\": page \"3x\" is not a page number 0-511"},
        {"firmware@65536=gone", "fault \"firmware@65536=gone\": page \"65536\" is not a page number 0-65535"},
        {"firmware@99999999999=gone",
         "fault \"firmware@99999999999=gone\": page \"99999999999\" is not a page number 0-65535"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(parse_sim_fault(c.text, &error), std::nullopt) << c.text;
        EXPECT_EQ(error, c.error);
    }
    EXPECT_EQ(parse_sim_fault("nonsense", nullptr), std::nullopt);
}

}  // namespace
}  // namespace zyvora
