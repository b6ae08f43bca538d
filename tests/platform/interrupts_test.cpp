// Where the program keeps its data: the environment first, then the user's own home folder, and
// never the root folder for want of both.
#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "data_folders.h"
#include "interrupts.h"

namespace zyvora {
namespace {

// Sets or unsets a variable for the test's life, and puts it back after.
class Variable {
public:
    Variable(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* was = std::getenv(name)) was_ = was;
        if (value) ::setenv(name, value->c_str(), 1);
        else ::unsetenv(name);
    }
    ~Variable() {
        if (was_) ::setenv(name_, was_->c_str(), 1);
        else ::unsetenv(name_);
    }
    Variable(const Variable&) = delete;
    Variable& operator=(const Variable&) = delete;

private:
    const char* name_;
    std::optional<std::string> was_;
};

TEST(DataHome, ComesFromTheEnvironmentOrTheUsersHomeFolder) {
    const passwd* user = ::getpwuid(::getuid());
    ASSERT_NE(user, nullptr);
    const std::string own = user->pw_dir;
    ASSERT_EQ(own.front(), '/');
    ASSERT_NE(own, "/");  // the test wants a user with a home folder
    const struct {
        std::optional<std::string> xdg, home;
        std::string folder;
    } cases[] = {
        {"/x/data", "/h", "/x/data"},
        {"relative", "/h", "/h/.local/share"},
        {std::nullopt, "/h", "/h/.local/share"},
        {std::nullopt, std::nullopt, own + "/.local/share"},
        {"", "", own + "/.local/share"},
        {std::nullopt, "relative", own + "/.local/share"},
        {std::nullopt, "/", own + "/.local/share"},
    };
    for (const auto& c : cases) {
        Variable xdg("XDG_DATA_HOME", c.xdg), home("HOME", c.home);
        EXPECT_EQ(data_home(), c.folder) << c.xdg.value_or("(unset)") << ' ' << c.home.value_or("(unset)");
    }
}

}  // namespace
}  // namespace zyvora
