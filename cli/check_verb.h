#pragma once
// `check`: a settings file read and checked as "Write config" would, with warnings about what
// reads without an error but not as a hand edit meant.
#include <optional>
#include <string>

#include "command_line.h"
#include "console.h"
#include "controls.h"

namespace zyvora::cli {

// Reads `o.in` into `store` (the start-up settings), warns about the file's surprises, then runs
// the encode pass: the exit status (1 for a failed read or check, and with --strict for a
// warning). With --json the outcome is one JSON document on standard output instead.
int check_verb(const Options& o, ControlStore& store, ConsoleFeedback& console);

// "FILE:LINE: " as compilers and grep -n start a line, so that an editor can go there; the line
// left out where the file does not give it.
std::string place(const std::string& file, std::optional<std::size_t> line);

}  // namespace zyvora::cli
