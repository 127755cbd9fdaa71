// Start-up against a bare Qt window: exec to the first frame in the X server, N runs of each,
// interleaved so that a change in the machine's load hits both alike.
//
//   tessel_startup [--runs N] BARE_WINDOW TESSEL_FIRST_FRAME
//
// Both programs are started with --first-frame and print CLOCK_MONOTONIC stamps (first_frame.h);
// this launcher stamps the same clock just before posix_spawn, so every figure is "milliseconds
// since exec". One warm-up run of each comes first and is not counted: it brings the libraries,
// fonts and caches into the page cache, which a desktop user's second start has too. Needs a
// display (DISPLAY); sets SDL_AUDIODRIVER=dummy when unset, as there may be no sound card.
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "monotonic.h"
#include "stats.h"

extern char** environ;

namespace {

using bench::loadAverage;
using bench::quantile;

using Stamps = std::map<std::string, double>;  // ms since the launcher's pre-exec stamp

// Runs `exe --first-frame` once; empty on failure (message on stderr).
Stamps runOnce(const std::string& exe, bool* xSynced) {
  int out[2];
  if (pipe(out) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, out[1]);
  std::string arg = "--first-frame";
  char* argv[] = {const_cast<char*>(exe.c_str()), arg.data(), nullptr};
  pid_t pid = 0;
  const long long t0 = bench::monotonicNs();
  const int spawned = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (spawned != 0) {
    std::fprintf(stderr, "tessel_startup: cannot start %s: %s\n", exe.c_str(), strerror(spawned));
    close(out[0]);
    return {};
  }
  std::string text;
  char buffer[4096];
  const long long deadline = t0 + 30'000'000'000LL;
  bool timedOut = false;
  for (;;) {
    pollfd p{out[0], POLLIN, 0};
    const long long left = (deadline - bench::monotonicNs()) / 1'000'000;
    if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) {
      timedOut = true;
      break;
    }
    const ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  close(out[0]);
  if (timedOut) kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  if (timedOut || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "tessel_startup: %s %s\n", exe.c_str(),
                 timedOut ? "showed no frame within 30 s" : "did not exit cleanly");
    return {};
  }
  Stamps stamps;
  std::istringstream lines(text);
  std::string word, name, value;
  while (lines >> word) {
    if (word == "stamp" && lines >> name >> value) {
      stamps[name] = static_cast<double>(std::stoll(value) - t0) / 1e6;
    } else if (word == "x-round-trip" && lines >> value) {
      *xSynced = *xSynced && value == "yes";
    }
  }
  if (!stamps.count("frame")) {
    std::fprintf(stderr, "tessel_startup: %s printed no frame stamp\n", exe.c_str());
    return {};
  }
  return stamps;
}

std::vector<double> column(const std::vector<Stamps>& runs, const std::string& name) {
  std::vector<double> v;
  for (const Stamps& s : runs) {
    if (auto it = s.find(name); it != s.end()) v.push_back(it->second);
  }
  return v;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 10;
  std::vector<std::string> exes;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::max(2, std::atoi(argv[++i]));
    } else {
      exes.emplace_back(argv[i]);
    }
  }
  if (exes.size() != 2) {
    std::fprintf(stderr, "usage: tessel_startup [--runs N] BARE_WINDOW TESSEL_FIRST_FRAME\n");
    return 2;
  }
  if (!std::getenv("DISPLAY")) {
    std::fprintf(stderr, "tessel_startup: DISPLAY is not set\n");
    return 2;
  }
  setenv("SDL_AUDIODRIVER", "dummy", /*overwrite=*/0);

  const std::string loadBefore = loadAverage();
  bool xSynced = true;
  std::vector<Stamps> results[2];
  std::vector<double> warmUp[2];
  for (int k = 0; k < 2; ++k) {
    const Stamps s = runOnce(exes[k], &xSynced);
    if (s.empty()) return 1;
    warmUp[k].push_back(s.at("frame"));
  }
  // Pairs in alternating order (bare first, then Tessel first, ...), so neither program is
  // always the one that follows the other.
  for (int r = 0; r < runs; ++r) {
    for (int j = 0; j < 2; ++j) {
      const int k = (r % 2 == 0) ? j : 1 - j;
      const Stamps s = runOnce(exes[k], &xSynced);
      if (s.empty()) return 1;
      results[k].push_back(s);
    }
  }
  const std::string loadAfter = loadAverage();

  const char* names[2] = {"bare QWidget (tessel_bare_window)", "Tessel (tessel_first_frame)"};
  std::printf("### Start-up: exec to the first frame in the X server\n\n");
  std::printf(
      "Xvfb display %s, SDL_AUDIODRIVER=%s, %d runs of each, interleaved, after one "
      "uncounted warm-up run of each (%.1f ms bare, %.1f ms Tessel).\n",
      std::getenv("DISPLAY"), std::getenv("SDL_AUDIODRIVER"), runs, warmUp[0][0], warmUp[1][0]);
  std::printf(
      "Load average (1/5/15 min): %s before, %s after. X round trip at the end of the "
      "frame: %s.\n\n",
      loadBefore.c_str(), loadAfter.c_str(), xSynced ? "yes" : "NO (no xcb connection)");
  std::printf("| program | median | min | max | IQR (p25–p75) |\n|---|---|---|---|---|\n");
  double medians[2];
  for (int k = 0; k < 2; ++k) {
    const std::vector<double> v = column(results[k], "frame");
    medians[k] = quantile(v, 0.5);
    std::printf("| %s | **%.1f ms** | %.1f ms | %.1f ms | %.1f–%.1f ms |\n", names[k], medians[k],
                *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()),
                quantile(v, 0.25), quantile(v, 0.75));
  }
  const double ratio = medians[1] / medians[0];
  std::printf(
      "\nRatio of medians, Tessel / bare: **%.2fx** (goal ≤ 1.1x: %s; Tessel's extra: "
      "%.1f ms)\n\n",
      ratio, ratio <= 1.1 ? "met" : "MISSED", medians[1] - medians[0]);

  std::printf("Every run, ms (in run order):\n\n```\n");
  for (int k = 0; k < 2; ++k) {
    std::printf("%-6s", k == 0 ? "bare" : "Tessel");
    for (double x : column(results[k], "frame")) std::printf(" %6.1f", x);
    std::printf("\n");
  }
  std::printf("```\n\n");

  // Where the time goes: the median time of each step's end after exec.
  const std::pair<const char*, const char*> steps[] = {
      {"main", "main() entered (dynamic loading, static initialisers)"},
      {"app", "QApplication made (Tessel: + names)"},
      {"window", "window built"},
      {"shown", "show() returned"},
      {"paint", "first Paint event reaches the window"},
      {"frame", "frame painted, flushed and in the X server"},
  };
  std::printf("Median of each step's end, ms after exec (step time in brackets):\n\n");
  std::printf("| step | bare | Tessel |\n|---|---|---|\n");
  double previous[2] = {0, 0};
  for (const auto& [key, label] : steps) {
    std::printf("| %s |", label);
    for (int k = 0; k < 2; ++k) {
      const std::vector<double> v = column(results[k], key);
      if (v.empty()) {
        std::printf(" — |");
        continue;
      }
      const double m = quantile(v, 0.5);
      std::printf(" %.1f (+%.1f) |", m, m - previous[k]);
      previous[k] = m;
    }
    std::printf("\n");
  }
  std::printf("\n");
  return 0;
}
