#pragma once
// A dark palette, as dark desktop themes give, to see the window under one where the desktop has
// none (ZYVORA_PALETTE=dark) and for the tests that check what stays readable on it.
#include <QPalette>

namespace zyvora_app {

QPalette dark_palette();

// Applies the palette ZYVORA_PALETTE names ("dark"); any other value or none keeps the desktop's.
void apply_palette_from_environment();

}  // namespace zyvora_app
