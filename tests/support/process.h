// Starting the project's programs from tests and benchmarks.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace ms::testing {

struct Finished {
  int status = -1;  // exit status, or -1 when killed by a signal
  std::string out;
  std::string err;
};

// Runs a program to its end, with stdout and stderr captured.
Finished RunProgram(const std::vector<std::string>& argv);

// A program running in the background, stopped with SIGINT on destruction.
class Background {
 public:
  // Starts argv and waits (up to 5 s) for a stdout line containing ready.
  Background(const std::vector<std::string>& argv, const std::string& ready);
  ~Background();
  Background(const Background&) = delete;
  Background& operator=(const Background&) = delete;

  bool started() const { return started_; }
  const std::string& first_output() const { return output_; }
  // Stops it (SIGINT) and answers its exit status.
  int Stop();

 private:
  pid_t pid_ = -1;
  int out_fd_ = -1;
  bool started_ = false;
  std::string output_;
};

}  // namespace ms::testing
