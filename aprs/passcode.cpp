#include "passcode.h"

#include <cctype>

namespace zyvora::aprs {

std::string base_call(std::string_view login) {
    std::string call;
    for (const char c : login.substr(0, login.find('-'))) call += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return call;
}

int passcode(std::string_view login) {
    const std::string call = base_call(login);
    unsigned hash = 0x73e2;
    for (std::size_t i = 0; i < call.size(); i += 2) {
        hash ^= static_cast<unsigned char>(call[i]) << 8;
        if (i + 1 < call.size()) hash ^= static_cast<unsigned char>(call[i + 1]);
    }
    return static_cast<int>(hash & 0x7fff);
}

}  // namespace zyvora::aprs
