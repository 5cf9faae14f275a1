#include "usernamespace.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool s_entered = false;

bool writeFile(const char *path, const QByteArray &text)
{
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, text.constData(), size_t(text.size())) == text.size();
    ::close(fd);
    return ok;
}

QString failure(const char *step)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(step), QString::fromLocal8Bit(std::strerror(errno)));
}

// A new network namespace starts with its loopback down.
bool bringLoopbackUp()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags |= IFF_UP;
    ok = ok && ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    ::close(fd);
    return ok;
}

} // namespace

namespace UserNamespace {

QString enterIfUnprivileged()
{
    if (geteuid() == 0)
        return {};
    if (qEnvironmentVariableIsSet("TARVIX_TESTS_NO_USER_NAMESPACE"))
        return QStringLiteral("TARVIX_TESTS_NO_USER_NAMESPACE is set");
    const uid_t uid = getuid();
    const gid_t gid = getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS | CLONE_NEWNET) != 0)
        return failure("no user namespace of our own (unshare)");
    // Our uid and gid become 0 inside; every other id stays unmapped.
    if (!writeFile("/proc/self/setgroups", "deny")
        || !writeFile("/proc/self/uid_map", QByteArray("0 ") + QByteArray::number(uid) + " 1")
        || !writeFile("/proc/self/gid_map", QByteArray("0 ") + QByteArray::number(gid) + " 1"))
        return failure("mapping our ids into the user namespace");
    // Mounts from here on stay in our mount namespace. `ip netns` keeps its
    // namespaces under /run/netns, which a private /run gives us room for.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
        || ::mount("tarvix-tests", "/run", "tmpfs", MS_NOSUID | MS_NODEV, "mode=0755") != 0
        || ::mkdir("/run/netns", 0755) != 0)
        return failure("a private /run for the test network");
    // `ip netns exec` puts /etc/netns/NAME/ over /etc where it exists.
    struct stat info{};
    if (::stat("/etc/netns", &info) == 0)
        ::mount("tarvix-tests", "/etc/netns", "tmpfs", MS_NOSUID | MS_NODEV, "mode=0755");
    if (!bringLoopbackUp())
        return failure("bringing up loopback");
    s_entered = true;
    qputenv("TARVIX_TESTS_IN_USER_NAMESPACE", "1");
    return {};
}

bool entered()
{
    return s_entered;
}

} // namespace UserNamespace
