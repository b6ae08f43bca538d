#pragma once
// Interrupts held while a device is being written.

namespace zyvora {

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
