// zel serve: browse a catalogue in a web browser.
#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <thread>

#include "commands.h"
#include "web/server.h"

namespace zel::cli {
namespace {

// The password from `file` (its first line, without the line break) or else from the environment;
// empty when neither gives one. An empty password file is refused: it would open the door.
std::string ReadPassword(const std::string& file) {
  if (!file.empty()) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line)) {
      throw CLI::ValidationError("--password-file", "cannot read " + file);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) throw CLI::ValidationError("--password-file", file + " holds no password");
    return line;
  }
  const char* variable = std::getenv("ZEL_SERVE_PASSWORD");
  return variable ? std::string(variable) : std::string();
}

void RunServe(web::ServerOptions& options) {
  // SIGINT and SIGTERM are taken by one waiting thread, which stops the server so that it ends
  // normally; every other thread (the workers included) inherits the blocked mask.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  web::ServerOptions with_progress = options;
  with_progress.progress = IndexProgress(options.catalogue);
  web::Server server(with_progress);
  for (std::string* password : {&options.password, &with_progress.password}) {
    std::fill(password->begin(), password->end(), '\0');
    password->clear();
  }
  const int port = server.Bind();
  const std::string host =
      options.bind.find(':') != std::string::npos ? "[" + options.bind + "]" : options.bind;
  std::cout << "Serving " << options.catalogue << " at http://" << host << ':' << port << "/ ("
            << (options.edit ? "editing" : "read-only")
            << (options.private_reading ? ", private" : "") << "; Ctrl+C stops)" << std::endl;
  // Once in a run: who browses a server bound for others must know by which name.
  if (options.bind != "127.0.0.1" && options.bind != "::1" && options.bind != "localhost" &&
      options.allowed_hosts.empty()) {
    std::cout << "Browsers must reach it by its address; add --allowed-host NAME for a host name."
              << std::endl;
  }

  std::thread waiter([&server, stop_signals] {
    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
    server.Stop();
  });
  server.Run();
  // Run may also end on its own (a failed accept); wake the waiter so it can be joined.
  kill(getpid(), SIGTERM);
  waiter.join();
  std::cout << "Stopped." << std::endl;
}

}  // namespace

void AddServeCommands(CLI::App& app) {
  auto options = std::make_shared<web::ServerOptions>();
  CLI::App* serve = app.add_subcommand(
      "serve", "Browse the catalogue in a web browser (read-only unless --edit; Ctrl+C stops)");
  serve->add_option("file", options->catalogue, "Catalogue file")->required();
  serve
      ->add_option("--images", options->images,
                   "The desktop program's images folder: covers named ID + f or b (.jpg, .jpeg, "
                   ".png), smaller copies in its thumbnails folder")
      ->check(CLI::ExistingDirectory);
  serve->add_option("--port", options->port, "Port to listen on (0: any free port)")
      ->default_val(8080)
      ->check(CLI::Range(0, 65535));
  serve
      ->add_option("--bind", options->bind,
                   "Address to listen on; other machines can reach the catalogue only when this "
                   "is not a loopback address")
      ->default_val("127.0.0.1");
  serve->add_option("--allowed-host", options->allowed_hosts,
                    "A host name browsers may reach the server by, besides the bound address (and "
                    "localhost on loopback); repeat for more");
  serve->add_option("--threads", options->threads, "Threads answering requests")
      ->default_val(8)
      ->check(CLI::Range(1, 64));
  auto read_timeout = std::make_shared<int>(10), idle_timeout = std::make_shared<int>(15);
  serve
      ->add_option("--read-timeout", *read_timeout,
                   "Seconds a client has to send a whole request once it began")
      ->default_val(10)
      ->check(CLI::Range(1, 3600));
  serve
      ->add_option("--idle-timeout", *idle_timeout,
                   "Seconds a connection may wait without a request before it is closed")
      ->default_val(15)
      ->check(CLI::Range(1, 3600));
  // Editing: the password is never a command-line value, where other users of the machine see it.
  serve->add_flag("--edit", options->edit,
                  "Allow lending, tags, events, collection type and notes to be changed (on an "
                  "address other machines can reach only with a password)");
  auto password_file = std::make_shared<std::string>();
  serve
      ->add_option("--password-file", *password_file,
                   "File whose first line is the password for logging in (or set the environment "
                   "variable ZEL_SERVE_PASSWORD)")
      ->check(CLI::ExistingFile);
  serve->add_flag("--private", options->private_reading,
                  "Every page needs a login (needs a password)");
  auto session_seconds = std::make_shared<int>(1800);
  serve
      ->add_option("--session-timeout", *session_seconds,
                   "Seconds a session lasts without being used (at most 12 hours in all)")
      ->default_val(1800)
      ->check(CLI::Range(1, 43200));
  serve->callback([options, read_timeout, idle_timeout, password_file, session_seconds] {
    options->read_timeout = std::chrono::seconds(*read_timeout);
    options->idle_timeout = std::chrono::seconds(*idle_timeout);
    options->session_idle = std::chrono::seconds(*session_seconds);
    options->password = ReadPassword(*password_file);
    RunServe(*options);
  });
}

}  // namespace zel::cli
