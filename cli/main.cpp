#include <unistd.h>

#include <iostream>

#include "app.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const quavix::cli::Streams streams{std::cout, std::cerr, isatty(STDERR_FILENO) == 1,
                                         isatty(STDOUT_FILENO) == 1};
  return quavix::cli::RunQuavix(argc, argv, streams);
}
