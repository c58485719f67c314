// The client scenarios of serve_bench: how a zel serve process holds up under many, idle, slow and
// hostile clients. They talk to a server in another process, so that its memory is its own.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace zel::bench {

struct ClientTarget {
  int port = 0;
  pid_t pid = 0;                    // the server's process, for its memory
  std::vector<std::string> pages;   // pages of single titles
  std::vector<std::string> visits;  // what a browser asks for to show them, in order
  std::string cover;                // a cover image
  std::string big_page;             // a large page
};

// Runs every scenario against the server and prints the figures beside the targets; returns 0
// when every target was met.
int RunClientScenarios(const ClientTarget& target);

// Serves `catalogue` (covers in `images`) from a child process and runs the scenarios against it,
// asking for the pages of the titles `title_ids` and, as a browser does, their stylesheet and
// covers.
int ServeAndRunClientScenarios(const std::string& catalogue, const std::string& images,
                               const std::vector<std::string>& title_ids);

// `serve_bench --clients --port P --pid PID [PATH...]`: the scenarios against a server already
// running; the pages default to "/".
int ClientsMain(int argc, char** argv);

}  // namespace zel::bench
