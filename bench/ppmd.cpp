// Throughput of our PPMd codec against 7-Zip's (7zz, PPMd order 4, 10 MB,
// restart, one thread) in the same run, on English text of several sizes and
// on a binary file: compression and decompression in MB/s of CPU time (7zz's
// includes its process start and the ZIP container), the compression ratio,
// and whether both write the same stream. Linux only; needs 7zz on the PATH or
// in QVX_7ZZ.
//
// usage: bench_ppmd [TEXT_FILE [BINARY_FILE]]
//
// The text is the English manual pages of the system (unpacked, in name
// order) unless TEXT_FILE is given; the first 1, 5 and 20 MB of it are
// measured (as far as it reaches).
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/ppmd/ppmd.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr int kRuns = 3;
constexpr std::size_t kTextSizes[] = {1000000, 5000000, 20000000};
constexpr std::size_t kBinaryLimit = std::size_t{2} << 20;

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "bench_ppmd: %s\n", what.c_str());
  std::exit(1);
}

Bytes ReadWhole(const fs::path& path, std::size_t limit) {
  std::ifstream in(path, std::ios::binary);
  Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (data.size() > limit) data.resize(limit);
  return data;
}

// The English manual pages, unpacked, in name order, up to limit bytes.
Bytes ManualText(std::size_t limit) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& section : fs::directory_iterator("/usr/share/man", ec)) {
    if (section.path().filename().string().rfind("man", 0) != 0) continue;
    for (const auto& e : fs::directory_iterator(section.path(), ec)) {
      if (e.is_regular_file() && !e.is_symlink() && e.path().extension() == ".gz") files.push_back(e.path());
    }
  }
  std::sort(files.begin(), files.end());
  Bytes text;
  for (std::size_t i = 0; i < files.size() && text.size() < limit;) {
    // A few hundred pages per zcat.
    std::string command = "zcat";
    for (std::size_t n = 0; n < 200 && i < files.size(); ++n, ++i) command += " '" + files[i].string() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) Die("cannot run zcat");
    std::uint8_t buffer[1 << 16];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.insert(text.end(), buffer, buffer + n);
    pclose(pipe);
  }
  text.resize(std::min(text.size(), limit));
  return text;
}

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Runs argv with stdin fed from `input` (through a pipe) or /dev/null, stdout
// to `output` (a path) and stderr discarded. Returns the child's CPU seconds.
double RunChild(const std::vector<std::string>& args, const Bytes* input, const char* output) {
  int fds[2] = {-1, -1};
  if (input != nullptr && pipe(fds) != 0) Die("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (input != nullptr) {
    posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
  } else {
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  }
  posix_spawn_file_actions_addopen(&actions, 1, output, O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) Die("cannot start " + args[0]);
  posix_spawn_file_actions_destroy(&actions);
  if (input != nullptr) {
    close(fds[0]);
    std::size_t done = 0;
    while (done < input->size()) {
      const ssize_t n = write(fds[1], input->data() + done, input->size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) Die("cannot feed " + args[0]);
      done += static_cast<std::size_t>(n);
    }
    close(fds[1]);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    Die(args[0] + " " + args[1] + " failed");
  }
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::uint32_t Le16(const Bytes& b, std::size_t at) { return b[at] | b[at + 1] << 8; }
std::uint32_t Le32(const Bytes& b, std::size_t at) { return Le16(b, at) | Le16(b, at + 2) << 16; }

// The raw stream of the single entry of a ZIP written by 7zz (method 98: a
// 2-byte parameter word, then the stream), found through the central directory.
Bytes ZipEntryStream(const Bytes& zip) {
  if (zip.size() < 22) Die("7zz wrote no archive");
  std::size_t eocd = zip.size() - 22;
  while (eocd > 0 && Le32(zip, eocd) != 0x06054B50) --eocd;
  const std::size_t central = Le32(zip, eocd + 16);
  if (Le32(zip, central) != 0x02014B50 || Le16(zip, central + 10) != 98) Die("not a PPMd entry");
  const std::size_t packed = Le32(zip, central + 20);
  const std::size_t local = Le32(zip, central + 42);
  const std::size_t data = local + 30 + Le16(zip, local + 26) + Le16(zip, local + 28);
  if (Le16(zip, data) != 0x0093) Die("7zz used other PPMd parameters");
  return Bytes(zip.begin() + static_cast<std::ptrdiff_t>(data + 2),
               zip.begin() + static_cast<std::ptrdiff_t>(data + packed));
}

struct Row {
  std::string name;
  std::size_t size = 0;
  std::size_t stream = 0;
  double ours_enc = 1e30, ref_enc = 1e30, ours_dec = 1e30, ref_dec = 1e30;  // best CPU seconds
  bool same = false;
};

// The four measurements take turns, round after round, so that a busy spell
// of the machine hits ours and 7zz alike; each keeps its best round.
Row Measure(const std::string& name, const Bytes& data, const std::string& sevenz, const fs::path& work) {
  Row row{name, data.size()};
  const std::string archive = (work / "bench.zip").string();
  qvx::SecureBytes ours;
  for (int round = 0; round < kRuns; ++round) {
    {
      qvx::SecureBytes out;
      const double t0 = CpuSeconds();
      if (!qvx::ppmd::CompressAppend(data.data(), data.size(), out)) Die("compression failed");
      row.ours_enc = std::min(row.ours_enc, CpuSeconds() - t0);
      ours = std::move(out);
    }
    fs::remove(archive);
    row.ref_enc = std::min(row.ref_enc, RunChild({sevenz, "a", "-tzip", "-mm=PPMd", "-mo=4", "-mmem=10m", "-mmt=1",
                                                  "-bso0", "-bsp0", "-sidata.bin", archive},
                                                 &data, "/dev/null"));
    {
      const double t0 = CpuSeconds();
      auto text = qvx::ppmd::Decompress(ours.data(), ours.size());
      row.ours_dec = std::min(row.ours_dec, CpuSeconds() - t0);
      if (!text || text->size() != data.size() || !std::equal(text->begin(), text->end(), data.begin())) {
        Die("our round trip failed on " + name);
      }
    }
    row.ref_dec = std::min(row.ref_dec, RunChild({sevenz, "e", "-so", "-bso0", "-bsp0", "-y", archive}, nullptr,
                                                 "/dev/null"));
  }
  const Bytes reference = ZipEntryStream(ReadWhole(archive, SIZE_MAX));
  row.stream = ours.size();
  row.same = reference.size() == ours.size() && std::equal(reference.begin(), reference.end(), ours.begin());
  return row;
}

}  // namespace

int main(int argc, char** argv) {
  const char* env = std::getenv("QVX_7ZZ");
  const std::string sevenz = env != nullptr ? env : "7zz";
  const Bytes text = argc > 1 ? ReadWhole(argv[1], SIZE_MAX) : ManualText(kTextSizes[2]);
  const Bytes binary =
      argc > 2 ? ReadWhole(argv[2], SIZE_MAX) : ReadWhole("/usr/lib/x86_64-linux-gnu/libc.so.6", kBinaryLimit);
  if (text.empty() || binary.empty()) Die("no input data");

  char pattern[] = "/tmp/bench_ppmd.XXXXXX";
  if (mkdtemp(pattern) == nullptr) Die("no temporary folder");
  const fs::path work = pattern;

  std::vector<Row> rows;
  for (std::size_t size : kTextSizes) {
    const std::size_t n = std::min(size, text.size());
    const Bytes prefix(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n));
    rows.push_back(Measure("text " + std::to_string(n / 1000000) + "M", prefix, sevenz, work));
    if (n < size) break;
  }
  rows.push_back(Measure("binary", binary, sevenz, work));
  fs::remove_all(work);

  std::printf("PPMd order 4, 10 MB, restart; MB/s = 10^6 input bytes per CPU second, best of %d\n\n", kRuns);
  std::printf("%-9s %10s %10s %6s | %9s %9s %6s | %9s %9s %6s | %s\n", "input", "bytes", "stream", "ratio",
              "enc ours", "enc 7zz", "ours/7", "dec ours", "dec 7zz", "ours/7", "same stream");
  bool all_same = true;
  for (const Row& r : rows) {
    const double mb = static_cast<double>(r.size) / 1e6;
    std::printf("%-9s %10zu %10zu %5.1f%% | %9.2f %9.2f %6.2f | %9.2f %9.2f %6.2f | %s\n", r.name.c_str(), r.size,
                r.stream, 100.0 * static_cast<double>(r.stream) / static_cast<double>(r.size), mb / r.ours_enc,
                mb / r.ref_enc, r.ref_enc / r.ours_enc, mb / r.ours_dec, mb / r.ref_dec, r.ref_dec / r.ours_dec,
                r.same ? "yes" : "NO");
    all_same = all_same && r.same;
  }
  std::printf("\ngoal: ours/7zz >= 1.0 in both directions\n");
  return all_same ? 0 : 1;
}
