#pragma once
// A folder of a test's own under the system's temporary folder, removed with all it holds when
// the test ends, so that no run sees what another left behind.
#include <stdlib.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>

namespace zyvora::test {

class TempFolder {
public:
    // `prefix` names the folder ("zyvora-ops-" and six random characters), to tell whose it is.
    explicit TempFolder(const std::string& prefix = "zyvora") {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
        }
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;  // a test that failed half-way must still end cleanly
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string path(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace zyvora::test
