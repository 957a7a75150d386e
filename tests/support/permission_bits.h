#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace twinbook::testing {

// While alive, file permission bits bind the calling thread even when it runs
// as root: the capabilities that let root past them leave its effective set.
class PermissionBitsBind {
 public:
  PermissionBitsBind() {
    ::syscall(SYS_capget, &header_, saved_);
    __user_cap_data_struct dropped[2] = {saved_[0], saved_[1]};
    for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
      dropped[CAP_TO_INDEX(cap)].effective &= ~CAP_TO_MASK(cap);
    }
    ::syscall(SYS_capset, &header_, dropped);
  }
  ~PermissionBitsBind() { ::syscall(SYS_capset, &header_, saved_); }
  PermissionBitsBind(const PermissionBitsBind&) = delete;
  PermissionBitsBind& operator=(const PermissionBitsBind&) = delete;

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
};

}  // namespace twinbook::testing
