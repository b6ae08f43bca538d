#pragma once
// Where the program keeps its data, and interrupts held while a device is being written.
#include <string>

namespace zyvora {

// $XDG_DATA_HOME, or .local/share in the user's home folder ($HOME, else the user database's)
// when it is unset or not an absolute path. Empty when the user has no home folder but `/`.
std::string data_home();

// Makes `folder` and any missing folders above it, new ones readable by their owner only.
// False with `why` set when that fails.
bool make_folders(const std::string& folder, std::string* why);

// While one lives, SIGINT, SIGTERM and SIGHUP are counted instead of ending the program, so that
// a transfer can finish, or stop at a page boundary, rather than leave a device half-written.
// A signal the program was started to ignore stays ignored.
class HeldInterrupts {
public:
    HeldInterrupts();
    ~HeldInterrupts();  // the previous handlers come back
    HeldInterrupts(const HeldInterrupts&) = delete;
    HeldInterrupts& operator=(const HeldInterrupts&) = delete;

    // How many arrived since this object was made.
    int count() const;
};

}  // namespace zyvora
