#pragma once
// The operations both front ends call: straight sequences of steps that report through the
// feedback port and return whether they succeeded.
#include <string>

#include "clock.h"
#include "controls.h"
#include "feedback.h"
#include "files.h"
#include "image.h"
#include "passes.h"
#include "registry.h"

namespace zyvora {

// "Save to file": every key is converted first, then the file is replaced whole. The keys of
// `left_out` whose values are what reading them missing gives are not written: a file partial
// on purpose stays so.
bool save_settings_file(const Registry& registry, const ControlStore& store, const std::string& path,
                        Feedback& feedback, const std::vector<const FileKey*>& left_out = {});

// Settings files are small text; a larger file is no settings file, and refusing it keeps a
// stray multi-gigabyte file from filling the memory.
constexpr std::size_t kSettingsFileLimit = std::size_t{1} << 20;

// "Read from file": the header checks, every key into the controls, then the interlock step.

bool read_settings_file(const Registry& registry, ControlStore& store, const std::string& path,
                        Feedback& feedback, std::string* text_read = nullptr);
// The same, from what was already read of `path` with read_file(path, kSettingsFileLimit): a
// caller that looked at standard input first cannot read it again.
bool read_settings_file(const Registry& registry, ControlStore& store, const std::string& path, FileRead content,
                        Feedback& feedback, std::string* text_read = nullptr);

// The encode pass with its messages, after the PC time fill when the user asked for it. With
// `all`, every failing check is shown, in pass order. The first failing control is then told
// to Feedback::failed_setting.
bool encode_settings(const Registry& registry, ControlStore& store, Image& image, Feedback& feedback,
                     bool all = false, const Clock& clock = system_local_time);

// The same pass, its failures given back unshown (for a caller that reports them with their controls).
std::vector<Failure> encode_failures(const Registry& registry, ControlStore& store, Image& image, bool all = false,
                                     const Clock& clock = system_local_time);

// Verify, then decode, with the status log lines of "Read config" for a failure.
bool verify_and_decode(const Registry& registry, ControlStore& store, const Image& image, Feedback& feedback);

// The image as stored in a file by `zyvora-cli encode`; nullopt (with the error shown) when the
// file cannot be read or is not an image.
std::optional<Image> read_image_file(const std::string& path, Feedback& feedback);
bool write_image_file(const Image& image, const std::string& path, Feedback& feedback);

// Start-up: the defaults of every area, the settle step, then the PC time fill.
ControlStore start_up_store(const Registry& registry, Feedback& feedback, const Clock& clock = system_local_time);

}  // namespace zyvora
