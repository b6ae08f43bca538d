#pragma once
// Who the user is to the device's udev rule: at the seat (which "uaccess" serves) or not (SSH,
// cron, a service, which only the rule's group serves).
#include <string>

namespace zyvora {

struct SeatAccess {
    bool at_seat = true;    // in a login session with a seat
    bool in_group = false;  // already a member of the rule's group
    std::string user;       // the login name, for the command that adds it to the group
};

// This process's access, by XDG_SEAT (set by logind for seat sessions only) and its groups.
SeatAccess seat_access(const std::string& group);

}  // namespace zyvora
