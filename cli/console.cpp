#include "console.h"

#include <iostream>

#include "files.h"

namespace zyvora::cli {

namespace {

// The window's line breaks inside a message ("\r\n", or a lone "\r"); a terminal wants a
// plain newline.
std::string plain_lines(std::string text) {
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
    for (char& c : text) {
        if (c == '\r') c = '\n';
    }
    return text;
}

}  // namespace

std::string terminal_text(const std::string& text) {
    std::string out;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find('\n', from)) != std::string::npos; from = at + 1) {
        out += printable(std::string_view(text).substr(from, at - from)) + '\n';
    }
    return out + printable(std::string_view(text).substr(from));
}

void ConsoleFeedback::log(const std::string& line) { std::cout << terminal_text(line) << '\n' << std::flush; }

void ConsoleFeedback::show(const std::string& text) { std::cerr << terminal_text(plain_lines(text)) << '\n'; }

}  // namespace zyvora::cli
