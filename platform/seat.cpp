#include "seat.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace zyvora {

SeatAccess seat_access(const std::string& group_name) {
    SeatAccess access;
    const char* seat = std::getenv("XDG_SEAT");
    access.at_seat = seat && *seat;
    if (const passwd* entry = ::getpwuid(::geteuid())) access.user = entry->pw_name;
    if (const struct group* entry = ::getgrnam(group_name.c_str())) {
        const int count = ::getgroups(0, nullptr);
        std::vector<gid_t> groups(static_cast<std::size_t>(std::max(count, 0)));
        const int got = count > 0 ? ::getgroups(count, groups.data()) : 0;
        groups.resize(static_cast<std::size_t>(std::max(got, 0)));
        access.in_group = ::getegid() == entry->gr_gid ||
                          std::find(groups.begin(), groups.end(), entry->gr_gid) != groups.end();
    }
    return access;
}

}  // namespace zyvora
