// The client scenarios of serve_bench (serve_clients.h). Each prints what it measured beside its
// target:
//   - liveness: 1,000 idle connections and 200 clients sending a header byte a second are held
//     open (reopened as the server drops them) while another client asks for pages on new
//     connections; its median answer time, target under 100 ms;
//   - keep-alive: 16 clients on reused connections open title pages as a browser does (the page,
//     the stylesheet, the cover and its thumbnail) for a few seconds; requests a second (target
//     2,000) and the 99th percentile (target under 50 ms); beside them the same clients opening a
//     connection for every request, and asking for the pages alone;
//   - memory: hostile requests below 64 KB (ranges, header floods, chunked and compressed bodies,
//     long queries, pipelined requests nobody reads); how far each raised the server's peak
//     resident memory, target 10 MB; then large floods, for information.
#include "serve_clients.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "web/html.h"
#include "web/server.h"

namespace zel::bench {
namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

double Percentile(std::vector<double> times, double part) {
  if (times.empty()) return 0;
  std::sort(times.begin(), times.end());
  return times[std::min(times.size() - 1, static_cast<size_t>(times.size() * part))];
}

// A line of /proc/PID/status in kilobytes (VmRSS, VmHWM), or -1.
long StatusKb(pid_t pid, const char* field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field) + 1);
  }
  return -1;
}

// Makes VmHWM start again from the present resident size, so that it shows what comes next.
void ResetPeak(pid_t pid) { std::ofstream("/proc/" + std::to_string(pid) + "/clear_refs") << "5"; }

long OpenDescriptors(pid_t pid) {
  long count = 0;
  std::error_code error;
  for (std::filesystem::directory_iterator it("/proc/" + std::to_string(pid) + "/fd", error), end;
       !error && it != end; it.increment(error)) {
    ++count;
  }
  return count;
}

// A connected loopback socket, or -1. Connecting gives up after `timeout_ms`.
int Connect(int port, int timeout_ms = 1000) {
  const int sock = socket(AF_INET, SOCK_STREAM, 0);
  if (sock < 0) return -1;
  timeval timeout{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
  setsockopt(sock, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
  if (connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(sock);
    return -1;
  }
  return sock;
}

bool SendAll(int sock, const std::string& bytes) {
  for (size_t sent = 0; sent < bytes.size();) {
    const ssize_t n = send(sock, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// Sends `bytes` on a new connection and reads until the server closes it or falls silent for
// `timeout_ms`, keeping the first `keep` bytes of the answer; returns how many arrived.
size_t Exchange(int port, const std::string& bytes, std::string* answer = nullptr,
                bool read_answer = true, int timeout_ms = 3000) {
  const int sock = Connect(port, timeout_ms);
  if (sock < 0) return 0;
  SendAll(sock, bytes);
  // A client that does not read: the server must not gather the answers meanwhile.
  if (!read_answer) std::this_thread::sleep_for(std::chrono::seconds(1));
  shutdown(sock, SHUT_WR);
  size_t total = 0;
  char buffer[65536];
  for (ssize_t n; read_answer && (n = recv(sock, buffer, sizeof buffer, 0)) > 0;) {
    if (answer && answer->size() < 4096) answer->append(buffer, std::min<size_t>(n, 4096));
    total += static_cast<size_t>(n);
  }
  close(sock);
  return total;
}

// Connections that hold a slot of the server without finishing a request: `idle` ones that send
// nothing and `slow` ones that send a header byte a second. A connection the server drops is
// opened again, so the number held stays up for as long as the holder runs.
class Holder {
 public:
  Holder(int port, int idle, int slow) : port_(port), idle_(idle), slow_(slow) {
    thread_ = std::thread([this] { Loop(); });
  }
  ~Holder() {
    stop_ = true;
    thread_.join();
    for (const Held& held : held_) close(held.sock);
  }
  int held() const { return held_now_; }
  int reopened() const { return reopened_; }
  int refused() const { return refused_; }

 private:
  struct Held {
    int sock;
    bool slow;
    Clock::time_point next_byte;
  };
  void Loop() {
    int opened = 0;
    while (!stop_) {
      const auto now = Clock::now();
      int idle = 0, slow = 0;
      for (const Held& held : held_) (held.slow ? slow : idle)++;
      // Tops up a few hundred at a time, so that dropped connections are noticed meanwhile.
      for (int batch = 0; batch < 200 && (idle < idle_ || slow < slow_); ++batch) {
        const bool is_slow = slow < slow_;
        const int sock = Connect(port_, 200);
        if (sock < 0) {
          ++refused_;
          break;
        }
        if (opened++ >= idle_ + slow_) ++reopened_;
        if (is_slow) {
          SendAll(sock, "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ");
          ++slow;
        } else {
          ++idle;
        }
        held_.push_back({sock, is_slow, now + std::chrono::seconds(1)});
      }
      std::vector<pollfd> polls;
      for (const Held& held : held_) polls.push_back({held.sock, POLLIN, 0});
      poll(polls.data(), polls.size(), 50);
      std::vector<Held> kept;
      for (size_t i = 0; i < held_.size(); ++i) {
        Held held = held_[i];
        bool closed = (polls[i].revents & (POLLHUP | POLLERR)) != 0;
        if (polls[i].revents & POLLIN) {
          char buffer[4096];
          closed = recv(held.sock, buffer, sizeof buffer, MSG_DONTWAIT) <= 0 || closed;
        }
        if (!closed && held.slow && Clock::now() >= held.next_byte) {
          closed = send(held.sock, "x", 1, MSG_NOSIGNAL | MSG_DONTWAIT) != 1;
          held.next_byte += std::chrono::seconds(1);
        }
        if (closed) {
          close(held.sock);
        } else {
          kept.push_back(held);
        }
      }
      held_.swap(kept);
      held_now_ = static_cast<int>(held_.size());
    }
  }

  const int port_, idle_, slow_;
  std::vector<Held> held_;
  std::atomic<bool> stop_{false};
  std::atomic<int> held_now_{0}, reopened_{0}, refused_{0};
  std::thread thread_;
};

bool Liveness(const ClientTarget& target) {
  constexpr int kIdle = 1000, kSlow = 200, kRequests = 60;
  Holder holder(target.port, kIdle, kSlow);
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  while (holder.held() < kIdle + kSlow && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::printf("liveness: %d idle and %d slow-header connections held (server: %ld descriptors)\n",
              kIdle, kSlow, OpenDescriptors(target.pid));
  std::vector<double> times;
  int failed = 0;
  int consecutive = 0;
  for (int i = 0; i < kRequests && consecutive < 5; ++i) {
    httplib::Client client("127.0.0.1", target.port);
    client.set_connection_timeout(3, 0);
    client.set_read_timeout(3, 0);
    const std::string& path = target.pages[static_cast<size_t>(i) % target.pages.size()];
    const auto start = Clock::now();
    auto result = client.Get(path);
    times.push_back(Milliseconds(Clock::now() - start));
    const bool ok = result && result->status == 200;
    failed += ok ? 0 : 1;
    consecutive = ok ? 0 : consecutive + 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const double median = Percentile(times, 0.5);
  std::printf(
      "  other client, new connection per request: %zu requests, %d not answered; median %.2f "
      "ms, p95 %.2f ms (target median under 100 ms: %s)\n"
      "  held now %d; reopened after the server dropped them %d; connections refused %d\n",
      times.size(), failed, median, Percentile(times, 0.95),
      failed == 0 && median < 100 ? "ok" : "MISSED", holder.held(), holder.reopened(),
      holder.refused());
  return failed == 0 && median < 100;
}

// The processor time a process has used, user and system, in milliseconds.
double ProcessorMs(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // Fields after the command (in parentheses, which may hold blanks): utime and stime are the
  // 12th and 13th of them.
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string field;
  double ticks = 0;
  for (int i = 1; i <= 13 && fields >> field; ++i) {
    if (i >= 12) ticks += std::atof(field.c_str());
  }
  return ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct Throughput {
  double per_second = 0, median = 0, p99 = 0;
  double processor_ms =
      0;  // the server's, per request: what the load of other programs does not move
  int failed = 0;
};

Throughput Load(const ClientTarget& target, const std::vector<std::string>& paths, bool keep_alive,
                double seconds) {
  constexpr int kClients = 16;
  std::vector<std::vector<double>> times(kClients);
  std::atomic<int> failed{0};
  std::atomic<bool> stop{false};
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      httplib::Client client("127.0.0.1", target.port);
      client.set_keep_alive(keep_alive);
      client.set_read_timeout(10, 0);
      for (size_t i = static_cast<size_t>(c) * 7; !stop; ++i) {
        const auto start = Clock::now();
        auto result = client.Get(paths[i % paths.size()]);
        times[static_cast<size_t>(c)].push_back(Milliseconds(Clock::now() - start));
        if (!result || result->status != 200) ++failed;
      }
    });
  }
  const auto start = Clock::now();
  const double processor_before = ProcessorMs(target.pid);
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  stop = true;
  for (auto& client : clients) client.join();
  const double elapsed = Milliseconds(Clock::now() - start) / 1000;
  std::vector<double> all;
  for (const auto& one : times) all.insert(all.end(), one.begin(), one.end());
  return {all.size() / elapsed, Percentile(all, 0.5), Percentile(all, 0.99),
          (ProcessorMs(target.pid) - processor_before) / static_cast<double>(all.size()),
          failed.load()};
}

bool KeepAlive(const ClientTarget& target) {
  Load(target, target.visits, true, 1);  // warms the server's kept values
  const Throughput reused = Load(target, target.visits, true, 5);
  const Throughput fresh = Load(target, target.visits, false, 5);
  const Throughput pages = Load(target, target.pages, true, 5);
  const bool ok = reused.failed == 0 && reused.per_second >= 2000 && reused.p99 < 50;
  const auto line = [](const char* name, const Throughput& figures) {
    std::printf(
        "  %-28s %6.0f requests/s, median %6.2f ms, p99 %6.2f ms, %d failed; server processor "
        "%.3f ms a request\n",
        name, figures.per_second, figures.median, figures.p99, figures.failed,
        figures.processor_ms);
  };
  std::printf("keep-alive: 16 clients\n");
  line("visits, reused connections", reused);
  line("visits, new connections", fresh);
  line("pages alone, reused", pages);
  std::printf("  (target 2,000/s on reused connections, p99 under 50 ms: %s)\n",
              ok ? "ok" : "MISSED");
  return ok;
}

std::string Gzip(const std::string& data) {
  z_stream stream{};
  deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 31, 9, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, data.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

std::string Repeat(const std::string& part, size_t bytes) {
  std::string out;
  while (out.size() + part.size() <= bytes) out += part;
  return out;
}

std::string Chunked(const std::string& body, size_t chunk) {
  std::string out;
  for (size_t at = 0; at < body.size(); at += chunk) {
    const std::string piece = body.substr(at, chunk);
    char size[32];
    std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
    out += size + piece + "\r\n";
  }
  return out + "0\r\n\r\n";
}

bool Memory(const ClientTarget& target) {
  const std::string get = "GET " + target.big_page + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
  const std::string cover = target.cover.empty() ? target.big_page : target.cover;
  const std::string ranges = "bytes=" + Repeat("0-,", 8100) + "0-";
  const std::string bomb = Gzip(std::string(60u << 20, '\0'));
  struct Case {
    const char* name;
    std::string bytes;
    bool read = true;
  };
  const std::vector<Case> cases = {
      {"Range 0- x 2,700, page", get + "Range: " + ranges + "\r\n\r\n"},
      {"Range 0- x 2,700, cover",
       "GET " + cover + " HTTP/1.1\r\nHost: 127.0.0.1\r\nRange: " + ranges + "\r\n\r\n"},
      {"63 KB of header lines", get + Repeat("a: b\r\n", 63000) + "\r\n"},
      {"one 63 KB header", get + "X-Big: " + std::string(63000, 'b') + "\r\n\r\n"},
      {"63 KB query", "GET /titles?" + Repeat("a=1&", 63000) + " HTTP/1.1\r\nHost: x\r\n\r\n"},
      {"60 KB chunked body, 1-byte chunks",
       "POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: chunked\r\n\r\n" +
           Chunked(std::string(10000, 'c'), 1)},
      {"gzip body inflating to 60 MB",
       "POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Encoding: gzip\r\nContent-Length: " +
           std::to_string(bomb.size()) + "\r\n\r\n" + bomb},
      {"600 pipelined requests, unread",
       Repeat("GET " + target.big_page + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 63000), false},
  };
  // The first request for a list reads the values the server keeps for all of them.
  Exchange(target.port, get + "\r\n");
  std::printf("memory: how far each request below 64 KB raised the server's resident memory\n");
  bool ok = true;
  for (const Case& one : cases) {
    ResetPeak(target.pid);
    const long before = StatusKb(target.pid, "VmRSS");
    std::string answer;
    const size_t received = Exchange(target.port, one.bytes, &answer, one.read, 10000);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const long grown = StatusKb(target.pid, "VmHWM") - before;
    const std::string status = answer.substr(0, std::min(answer.find('\r'), size_t{40}));
    std::printf("  %-32s %6zu bytes sent, %9zu received (%s), peak +%.1f MB\n", one.name,
                one.bytes.size(), received, status.c_str(), grown / 1024.0);
    ok = ok && grown < 10 * 1024;
  }
  std::printf("  (target: no request raises it by more than 10 MB: %s)\n", ok ? "ok" : "MISSED");

  std::printf("large floods, for information\n");
  const auto flood = [&](const char* name, const std::string& head, size_t bytes,
                         const std::string& pattern) {
    const long before = StatusKb(target.pid, "VmRSS");
    const int sock = Connect(target.port, 3000);
    if (sock < 0) return;
    size_t sent = SendAll(sock, head) ? head.size() : 0;
    const std::string block = Repeat(pattern, 1 << 16);
    while (sent < bytes) {
      const ssize_t n = send(sock, block.data(), block.size(), MSG_NOSIGNAL);
      if (n <= 0) break;
      sent += static_cast<size_t>(n);
    }
    close(sock);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::printf("  %-32s %5zu MB sent before the server stopped reading; resident +%.1f MB\n", name,
                sent >> 20, (StatusKb(target.pid, "VmRSS") - before) / 1024.0);
  };
  flood("20 MB of header lines", get, 20u << 20, "a: b\r\n");
  flood("300 MB chunked body",
        "POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: chunked\r\n\r\n10000000\r\n",
        300u << 20, "c");
  return ok;
}

}  // namespace

int RunClientScenarios(const ClientTarget& target) {
  // The scenarios hold more connections than the usual limit of descriptors allows.
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
  bool ok = Liveness(target);
  ok = KeepAlive(target) && ok;
  ok = Memory(target) && ok;
  std::printf("server: resident %.1f MB, peak %.1f MB\n", StatusKb(target.pid, "VmRSS") / 1024.0,
              StatusKb(target.pid, "VmHWM") / 1024.0);
  return ok ? 0 : 1;
}

int ServeAndRunClientScenarios(const std::string& catalogue, const std::string& images,
                               const std::vector<std::string>& title_ids) {
  int port_pipe[2];
  if (pipe(port_pipe) != 0) return 1;
  const pid_t child = fork();
  if (child == 0) {
    close(port_pipe[0]);
    web::ServerOptions options;
    options.catalogue = catalogue;
    options.images = images;
    options.port = 0;
    web::Server server(options);
    const int port = server.Bind();
    if (write(port_pipe[1], &port, sizeof port) != sizeof port) _exit(1);
    close(port_pipe[1]);
    server.Run();
    _exit(0);
  }
  close(port_pipe[1]);
  ClientTarget target;
  target.pid = child;
  if (read(port_pipe[0], &target.port, sizeof target.port) != sizeof target.port) return 1;
  close(port_pipe[0]);
  for (const std::string& id : title_ids) {
    target.pages.push_back(web::Link("/title/", id));
    const std::string cover = web::Link("/cover/", id) + "/front";
    target.visits.insert(target.visits.end(),
                         {target.pages.back(), "/style.css", cover, cover + "?size=thumb"});
  }
  target.cover = target.visits.back();
  target.big_page = "/titles?view=grid&collection=all";
  // Answering at all: the server listens before it answers.
  for (int i = 0; i < 100 && !httplib::Client("127.0.0.1", target.port).Get("/style.css"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const int result = RunClientScenarios(target);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  return result;
}

int ClientsMain(int argc, char** argv) {
  ClientTarget target;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--port" && i + 1 < argc) {
      target.port = std::atoi(argv[++i]);
    } else if (arg == "--pid" && i + 1 < argc) {
      target.pid = std::atoi(argv[++i]);
    } else {
      target.pages.push_back(arg);
    }
  }
  if (target.port <= 0 || target.pid <= 0) {
    std::fprintf(stderr, "usage: serve_bench --clients --port PORT --pid PID [PATH...]\n");
    return 2;
  }
  if (target.pages.empty()) target.pages.push_back("/");
  target.visits = target.pages;
  target.big_page = target.pages.front();
  return RunClientScenarios(target);
}

}  // namespace zel::bench
