// With TWINBOOK_OLDER_KERNEL set (ctest's *_older_kernel runs), the process meets a system
// without renameat2, O_TMPFILE and pidfd_open, as on older kernels and file systems, so that
// the same assertions prove the ways around them.
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <stdexcept>

namespace {

constexpr sock_filter Refuse(unsigned error) {
  return BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | error);
}
constexpr sock_filter Is(unsigned call, unsigned char skipIfNot) {
  return BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, call, 0, skipIfNot);
}
// clang-format off
constexpr sock_filter kFilter[] = {
    BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
    Is(SYS_renameat2, 1), Refuse(EINVAL),
    Is(SYS_pidfd_open, 1), Refuse(ENOSYS),
    Is(SYS_openat, 3), BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])),
    BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, O_TMPFILE & ~O_DIRECTORY, 0, 1), Refuse(EOPNOTSUPP),
    BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW)};
// clang-format on

const bool kInstalled = [] {
  const sock_fprog program{sizeof kFilter / sizeof kFilter[0], const_cast<sock_filter*>(kFilter)};
  if (std::getenv("TWINBOOK_OLDER_KERNEL") != nullptr &&
      (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
       ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0))
    throw std::runtime_error("cannot take the newer system calls away");
  return true;
}();

}  // namespace
