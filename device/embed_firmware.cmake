# Writes OUTPUT, a C++ source that carries the bytes of INPUT as the embedded firmware image.
# Run as: cmake -DINPUT=image.bin -DOUTPUT=firmware_embedded.cpp -P embed_firmware.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
# Sixteen bytes (32 hex digits) a line keeps the generated file readable in an editor.
string(REGEX REPLACE "(................................)" "\\1\n" hex "${hex}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE "${OUTPUT}.new"
"// Generated from ${INPUT}; do not edit.
#include \"firmware_embedded.h\"

namespace zyvora {
namespace {
// The trailing 0 keeps the array valid for an empty image; the size below does not count it.
const std::uint8_t kImage[] = {
${bytes}0};
}  // namespace

std::optional<EmbeddedFirmware> embedded_firmware() { return EmbeddedFirmware{kImage, ${size}}; }

}  // namespace zyvora
")
file(RENAME "${OUTPUT}.new" "${OUTPUT}")
