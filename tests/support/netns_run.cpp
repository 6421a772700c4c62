// netns_run COMMAND [ARGS...]: runs COMMAND in a network namespace of its
// own with loopback up (as root; otherwise in the shared network), so that
// everything it starts, Wine's server included, shares one private network.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "support/loopback.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: netns_run COMMAND [ARGS...]\n");
    return 2;
  }
  if (ms::testing::EnterPrivateNetwork())
    ::setenv("MS_TESTS_NETWORK_READY", "1", 1);
  ::execvp(argv[1], argv + 1);
  std::perror(argv[1]);
  return 127;
}
