/* Null-modem pairs for the Windows tests under Wine: for each pair two
 * pseudo-terminals whose masters are joined, so that what a program writes to
 * one slave it reads from the other. Links each slave as DIR/comN. Unlike a
 * relay that ends when a side closes, a pair lives until we are killed: the
 * ports can be closed and opened again as often as a test likes.
 * It ends with the script that started it, however that ends (a SIGKILL too).
 * Usage: null-modem DIR FIRST PAIRS; prints "ready" once the links exist. */
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

enum { kMaxPairs = 8 };

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: null-modem DIR FIRST PAIRS\n");
    return 2;
  }
  const pid_t parent = getppid();
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != parent) return 0; /* it ended before we asked */
  const int first = atoi(argv[2]), pairs = atoi(argv[3]);
  if (pairs < 1 || pairs > kMaxPairs) return 2;
  int master[2 * kMaxPairs];

  for (int i = 0; i < 2 * pairs; ++i) {
    int slave = -1;
    char name[128];
    struct termios raw;
    cfmakeraw(&raw);
    if (openpty(&master[i], &slave, name, &raw, NULL) != 0) {
      perror("null-modem: openpty");
      return 1;
    }
    close(slave); /* the slave is the program's alone */

    fcntl(master[i], F_SETFL, fcntl(master[i], F_GETFL) | O_NONBLOCK);
    char link[4096];
    snprintf(link, sizeof link, "%s/com%d", argv[1], first + i);
    unlink(link);
    if (symlink(name, link) != 0) {
      perror("null-modem: symlink");
      return 1;
    }
  }
  printf("ready\n");
  fflush(stdout);
  for (;;) {
    struct pollfd p[2 * kMaxPairs];
    for (int i = 0; i < 2 * pairs; ++i) p[i] = (struct pollfd){master[i], POLLIN, 0};
    /* A master whose slave nobody holds reports a hang-up at once, again and
     * again: look again every 10 ms instead of spinning. */
    if (poll(p, 2 * pairs, 10) < 0 && errno != EINTR) return 1;
    int hung = 0;
    for (int i = 0; i < 2 * pairs; ++i) {
      if (p[i].revents & POLLHUP) hung = 1;
      if (!(p[i].revents & POLLIN)) continue;
      unsigned char buf[4096];
      const ssize_t got = read(master[i], buf, sizeof buf);
      if (got <= 0) continue;
      /* Nobody on the other port: the bytes are lost, as on a cable. */
      ssize_t done = 0;
      for (int tries = 0; done < got && tries < 200; ++tries) {
        const ssize_t w = write(master[i ^ 1], buf + done, (size_t)(got - done));
        if (w > 0) done += w;
        else if (w < 0 && errno != EAGAIN) break;
        else usleep(1000);
      }
    }
    if (hung) usleep(10000);
  }
}
