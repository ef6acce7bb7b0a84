// --decode on captures of every size: the real program, a 1 GB session log
// (and /dev/zero, and 10 MB of random bytes), its throughput and its peak
// memory (the kernel's high-water mark of the child, wait4's ru_maxrss).
// Figures, not assertions: median and worst of --runs runs.
//   decode_size [--mb 1024] [--runs 3] [--dir /tmp]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {
struct Run {
  double seconds = 0;
  long peakKb = 0;
  int status = -1;
};

Run Decode(const std::string& input) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    execl(VARNEL_BIN, VARNEL_BIN, "--decode", input.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  Run r;
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  r.peakKb = usage.ru_maxrss;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

// A session log as the panel writes it: query frames out, card replies in.
void WriteSessionLog(const std::string& path, long long bytes) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  std::string tx = "2026-12-09T10:41:02.517 TX 7e-7e-44-00-00-8b-02";
  for (int i = 0; i < 40; ++i) tx += "-00";
  tx += "-cd\n";
  const std::string rx = "2026-12-09T10:41:02.677 RX bb-09-01-41-00-00-00-06\n";
  std::string block;
  while (block.size() < (1 << 20)) block += tx + rx;
  for (long long done = 0; done < bytes; done += static_cast<long long>(block.size())) std::fwrite(block.data(), 1, block.size(), f);
  std::fclose(f);
}

void WriteRandom(const std::string& path, std::size_t bytes) {
  std::mt19937 random(1);
  std::vector<unsigned char> data(bytes);
  for (unsigned char& b : data) b = static_cast<unsigned char>(random());
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(data.data(), 1, data.size(), f);
  std::fclose(f);
}

void Report(const char* what, double mb, std::vector<Run> runs) {
  std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.seconds < b.seconds; });
  const Run& median = runs[runs.size() / 2];
  const Run& slowest = runs.back();
  long peakMedian = 0, peakWorst = 0;
  std::vector<long> peaks;
  for (const Run& r : runs) peaks.push_back(r.peakKb);
  std::sort(peaks.begin(), peaks.end());
  peakMedian = peaks[peaks.size() / 2];
  peakWorst = peaks.back();
  std::printf("%-32s exit %d  %8.2f s median, %8.2f s worst", what, median.status, median.seconds, slowest.seconds);
  if (mb > 0) std::printf("  (%6.0f MB/s median, %6.0f worst)", mb / median.seconds, mb / slowest.seconds);
  std::printf("  peak memory %5.1f MB median, %5.1f MB worst\n", peakMedian / 1024.0, peakWorst / 1024.0);
}
}  // namespace

int main(int argc, char** argv) {
  long long mb = 1024;
  int runs = 3;
  std::string dir = "/tmp";
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--mb")) mb = std::atoll(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--runs")) runs = std::max(1, std::atoi(argv[i + 1]));
    else if (!std::strcmp(argv[i], "--dir")) dir = argv[i + 1];
  }
  const std::string log = dir + "/varnel-decode-bench.txt", garbage = dir + "/varnel-decode-garbage.bin";
  std::printf("writing a %lld MB session log and 10 MB of random bytes in %s\n", mb, dir.c_str());
  WriteSessionLog(log, mb << 20);
  WriteRandom(garbage, 10 << 20);

  const struct {
    const char* what;
    std::string path;
    double mb;
  } inputs[] = {{"session log", log, static_cast<double>(mb)},
                {"/dev/zero (ends at the cap)", "/dev/zero", 0},
                {"10 MB of random bytes", garbage, 10}};
  for (const auto& input : inputs) {
    std::vector<Run> results;
    for (int i = 0; i < runs; ++i) results.push_back(Decode(input.path));
    Report(input.what, input.mb, results);
  }
  unlink(log.c_str());
  unlink(garbage.c_str());
  return 0;
}
