#pragma once
// Everything the program shows goes through this port: the window shows it in widgets and
// boxes, the CLI prints it, tests record it.
#include <string>

namespace zyvora {

class Feedback {
public:
    virtual ~Feedback() = default;
    virtual void info(const std::string& text) = 0;     // information box with OK
    // An information box whose caption is not the application's title; a front end without
    // captions shows the text alone.
    virtual void captioned_info(const std::string& /*caption*/, const std::string& text) { info(text); }
    virtual void message(const std::string& text) = 0;  // plain message box
    virtual void error(const std::string& text) = 0;    // the application's error display
    virtual void log(const std::string& line) = 0;      // a new last line of the status log
    // Something the user should know although the operation went on: a status log line in the
    // window, standard error in the CLI.
    virtual void warning(const std::string& text) { log(text); }
    // A status log line that tells how an operation ended, or what it left behind (a backup);
    // the window also shows it where a screen reader reads it out.
    virtual void outcome(const std::string& line) { log(line); }
    virtual void progress_range(int minimum, int maximum) = 0;
    virtual void progress_position(int position) = 0;
    virtual int progress() const = 0;
    // How often the user asked to stop (Ctrl+C or a signal) since the operation began; long
    // transfers look at it between pages.
    virtual int interrupts() const { return 0; }
    // The control whose check failed, told after its message: a window takes the user to it.
    virtual void failed_setting(const std::string& /*control*/) {}
};

// Shows nothing: for work whose own lines would only get in the way (listing devices, say).
class SilentFeedback : public Feedback {
public:
    void info(const std::string&) override {}
    void message(const std::string&) override {}
    void error(const std::string&) override {}
    void log(const std::string&) override {}
    void progress_range(int, int) override {}
    void progress_position(int) override {}
    int progress() const override { return 0; }
};

}  // namespace zyvora
