// Runs a command where every name lookup goes to a name server that takes
// the question and never answers, as a resolver behind a dead link does.
// Started by the tests under `unshare -rmn` (a user, mount and network
// namespace of their own): loopback is brought up there, a name server
// bound on 127.0.0.1:53 that never reads, and /etc/resolv.conf is covered
// by one naming it; nothing outside the namespaces changes.
//   silent_resolver COMMAND [ARG...]
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
int Fail(const char* what) {
  std::perror(what);
  return 77;  // the test skips: this machine cannot make the namespaces
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const int s = socket(AF_INET, SOCK_DGRAM, 0);
  ifreq lo{};
  std::strcpy(lo.ifr_name, "lo");
  if (s < 0 || ioctl(s, SIOCGIFFLAGS, &lo) != 0) return Fail("loopback");
  lo.ifr_flags |= IFF_UP | IFF_RUNNING;
  if (ioctl(s, SIOCSIFFLAGS, &lo) != 0) return Fail("loopback up");
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(53);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return Fail("name server");
  // Never read: the questions queue and go unanswered; the socket lives as
  // long as the command (it is inherited across the exec).
  char conf[] = "/tmp/varnel-resolv-XXXXXX";
  const int f = mkstemp(conf);
  const char text[] = "nameserver 127.0.0.1\noptions timeout:30 attempts:1\n";
  if (f < 0 || write(f, text, sizeof text - 1) != static_cast<ssize_t>(sizeof text - 1)) return Fail("resolv.conf");
  close(f);
  if (mount(conf, "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0) return Fail("bind resolv.conf");
  unlink(conf);  // the mount keeps it
  execvp(argv[1], argv + 1);
  return Fail(argv[1]);
}
