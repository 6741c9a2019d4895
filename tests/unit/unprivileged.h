#pragma once
// Tests run as root in containers and CI, where root's powers would hide what an ordinary user
// meets: a port barred by its permissions, a terminal another program holds for itself. These
// take the powers from the calling thread alone (Linux keeps them per thread) and give them
// back at the end of the scope; for an ordinary user they change nothing.
#include <linux/capability.h>
#include <sys/fsuid.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vadrelon::test {

// Opens files as the user "nobody" would: file permissions hold again.
class AsAnotherUser {
public:
    AsAnotherUser() : saved_(static_cast<uid_t>(::setfsuid(::geteuid() == 0 ? kNobody : ::geteuid()))) {}
    ~AsAnotherUser() { ::setfsuid(saved_); }
    AsAnotherUser(const AsAnotherUser &) = delete;
    AsAnotherUser &operator=(const AsAnotherUser &) = delete;

private:
    static constexpr uid_t kNobody = 65534;
    uid_t saved_;
};

// Without CAP_SYS_ADMIN, which lets root open a terminal held exclusively (TIOCEXCL).
class WithoutAdminPower {
public:
    WithoutAdminPower()
    {
        if (::syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct changed[2] = {saved_[0], saved_[1]};
        changed[CAP_TO_INDEX(CAP_SYS_ADMIN)].effective &= ~CAP_TO_MASK(CAP_SYS_ADMIN);
        restore_ = ::syscall(SYS_capset, &header_, changed) == 0;
    }
    ~WithoutAdminPower()
    {
        if (restore_)
            ::syscall(SYS_capset, &header_, saved_);
    }
    WithoutAdminPower(const WithoutAdminPower &) = delete;
    WithoutAdminPower &operator=(const WithoutAdminPower &) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2] = {};
    bool restore_ = false;
};

} // namespace vadrelon::test
