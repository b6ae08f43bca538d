// zyvora-cli: the configurator's operations for scripts and service work.
#include <CLI/CLI.hpp>

#include <iostream>

#include "operations.h"
#include "passes.h"
#include "settingsfile.h"

namespace {

using namespace zyvora;

// Log lines to standard output; boxes and errors to standard error, with the window's texts.
class ConsoleFeedback : public Feedback {
public:
    void info(const std::string& text) override { std::cerr << text << '\n'; }
    void message(const std::string& text) override { std::cerr << text << '\n'; }
    void error(const std::string& text) override { std::cerr << text << '\n'; }
    void log(const std::string& line) override { std::cout << line << '\n' << std::flush; }
    void progress_range(int, int maximum) override { maximum_ = maximum; }
    void progress_position(int position) override { position_ = position; }
    int progress() const override { return position_; }
    void process_events() override {}

private:
    int maximum_ = 0;
    int position_ = 0;
};

int status(bool ok) { return ok ? 0 : 1; }

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Zyvora Plus 2.0 Configurator, command line: settings files and settings images.",
                 "zyvora-cli"};
    app.set_version_flag("--version", std::string(kApplicationName) + " " + std::string(kVersionTag));
    app.require_subcommand(1);

    std::string in, out;
    bool all = false;

    auto* defaults = app.add_subcommand("defaults", "Save the start-up settings to a settings file.");
    defaults->add_option("OUT.cfg", out, "Settings file to write")->required();

    auto* check = app.add_subcommand("check", "Read a settings file and check every setting as \"Write config\" does.");
    check->add_option("IN.cfg", in, "Settings file to check")->required();
    check->add_flag("--all", all, "Go on after a failing check and print every failing check's message");

    auto* encode = app.add_subcommand("encode", "Check a settings file and write its 16384-byte settings image.");
    encode->add_option("IN.cfg", in, "Settings file to read")->required();
    encode->add_option("OUT.bin", out, "Settings image to write")->required();

    auto* decode = app.add_subcommand("decode", "Verify and decode a settings image, then save it as a settings file.");
    decode->add_option("IN.bin", in, "Settings image to read")->required();
    decode->add_option("OUT.cfg", out, "Settings file to write")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : 2;
    }

    const Registry& registry = Registry::instance();
    ConsoleFeedback feedback;
    ControlStore store = start_up_store(registry, feedback);
    Image image{};

    if (*defaults) return status(save_settings_file(registry, store, out, feedback));
    if (*check) {
        return status(read_settings_file(registry, store, in, feedback) &&
                      encode_settings(registry, store, image, feedback, all));
    }
    if (*encode) {
        return status(read_settings_file(registry, store, in, feedback) &&
                      encode_settings(registry, store, image, feedback) &&
                      write_image_file(image, out, feedback));
    }
    if (*decode) {
        const auto read = read_image_file(in, feedback);
        return status(read && verify_and_decode(registry, store, *read, feedback) &&
                      save_settings_file(registry, store, out, feedback));
    }
    return 2;
}
