// One WriteHostsSection on a large hosts file (150,000 lines, about 5 MB, 100 mappings) through
// real files, next to a plain copy of the same file. A small POSIX file layer stands in for the
// Win32 one.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "sync/hosts_section.h"
#include "sync/hosts_store.h"

namespace kalvane {
namespace {

class PosixFileSystem final : public FileSystem {
 public:
  // Without flushing, to set the store's own work against an unflushed copy.
  explicit PosixFileSystem(bool flush = true) : flush_(flush) {}

  Result<std::string> ReadWhole(const FilePath& path) override {
    const int fd = ::open(Native(path).c_str(), O_RDONLY);
    if (fd < 0) {
      return Status::Failure(errno == ENOENT ? StatusKind::kNotFound : StatusKind::kFailed,
                             Errno());
    }
    // Read in chunks as the Win32 layer does, rather than zero-filling the whole string first.
    std::string content;
    struct stat info {};
    if (::fstat(fd, &info) == 0) content.reserve(static_cast<std::size_t>(info.st_size));
    char chunk[1 << 16];
    ssize_t got = 0;
    while ((got = ::read(fd, chunk, sizeof chunk)) > 0)
      content.append(chunk, static_cast<std::size_t>(got));
    ::close(fd);
    if (got != 0) return Failed();
    return content;
  }

  Result<std::string> ReadPlainFile(const FilePath& path) override {
    return ReadWhole(path);  // the benchmark's own files: no links
  }

  Status WriteWhole(const FilePath& path, std::string_view content, SyncMode sync) override {
    const int fd = ::open(Native(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return Failed();
    bool ok = true;
    while (ok && !content.empty()) {
      const auto put = ::write(fd, content.data(), content.size());
      ok = put > 0;
      if (ok) content.remove_prefix(static_cast<std::size_t>(put));
    }
    if (ok && flush_ && sync == SyncMode::kFlush) ok = ::fdatasync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok) return Failed();
    return OkStatus();
  }

  // The benchmark's folder is its own: a fixed suffix will do.
  Status WriteNewFile(const FilePath& stem, std::string_view content, SyncMode sync,
                      FilePath& created) override {
    created = stem;
    created += L"-bench";
    ::unlink(Native(created).c_str());
    return WriteWhole(created, content, sync);
  }

  void RemoveNewFiles(const FilePath& stem) override {
    auto created = stem;
    created += L"-bench";
    ::unlink(Native(created).c_str());
  }

  Status ReplaceKeepingBackup(const FilePath& target, const FilePath& replacement,
                              const FilePath& backup) override {
    if (::link(Native(target).c_str(), Native(backup).c_str()) != 0) return Failed();
    if (::rename(Native(replacement).c_str(), Native(target).c_str()) != 0) {
      const Status failed = Failed();
      ::unlink(Native(backup).c_str());
      return failed;
    }
    return OkStatus();
  }

  Status MoveReplacing(const FilePath& from, const FilePath& to) override {
    return ::rename(Native(from).c_str(), Native(to).c_str()) == 0 ? OkStatus() : Failed();
  }

  Status Remove(const FilePath& path) override {
    return ::unlink(Native(path).c_str()) == 0 ? OkStatus() : Failed();
  }

  bool Exists(const FilePath& path) override {
    struct stat info {};
    return ::stat(Native(path).c_str(), &info) == 0 || errno != ENOENT;
  }

 private:
  // The benchmark's paths are ASCII.
  static std::string Native(const FilePath& path) {
    return std::string(path.native().begin(), path.native().end());
  }
  static std::uint32_t Errno() { return static_cast<std::uint32_t>(errno); }
  static Status Failed() { return Status::Failure(StatusKind::kFailed, Errno()); }

  bool flush_;
};

constexpr int kUserLineCount = 150'000;
constexpr int kMappingCount = 100;

std::string LargeHosts() {
  std::string content;
  char line[96];
  for (int i = 0; i < kUserLineCount; ++i) {
    const int n = std::snprintf(line, sizeof line, "0.0.0.0 tracker-%06d.example.com\r\n", i);
    content.append(line, static_cast<std::size_t>(n));
  }
  return content;
}

DomainList Mappings(int variant) {
  DomainList list;
  for (int i = 0; i < kMappingCount; ++i) {
    list.push_back({"host" + std::to_string(i) + ".kalvane.example",
                    "10." + std::to_string(variant) + "." + std::to_string(i / 250) + "." +
                        std::to_string(i % 250)});
  }
  return list;
}

struct Folder {
  Folder() : path(std::filesystem::temp_directory_path() / "kalvane-hosts-bench") {
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path / "etc");
    std::filesystem::create_directories(path / "program");
    (void)PosixFileSystem().WriteWhole(hosts(), LargeHosts(), SyncMode::kFlush);
  }
  ~Folder() { std::filesystem::remove_all(path); }
  FilePath hosts() const { return (path / "etc" / "hosts").wstring(); }
  FilePath working_copy() const { return (path / "program" / "hosts.bak").wstring(); }

  std::filesystem::path path;
};

void SetPeakMemory(benchmark::State& state) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_PlainCopy(benchmark::State& state) {
  const Folder folder;
  const bool sync = state.range(0) != 0;
  PosixFileSystem files;
  std::size_t copied = 0;
  for (auto _ : state) {
    // What copying the working copy over the hosts file costs: read it, write it.
    const Result<std::string> content = files.ReadWhole(folder.hosts());
    if (!content) {
      state.SkipWithError("the hosts file could not be read");
      break;
    }
    copied = content->size();
    (void)files.WriteWhole(folder.working_copy(), *content,
                           sync ? SyncMode::kFlush : SyncMode::kNone);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * copied));
  SetPeakMemory(state);
}
BENCHMARK(BM_PlainCopy)->Arg(0)->Arg(1)->ArgName("flush")->Unit(benchmark::kMillisecond);

void BM_WriteHostsSection(benchmark::State& state) {
  const Folder folder;
  HostsStore store(std::make_unique<PosixFileSystem>(state.range(0) != 0),
                   {folder.hosts(), folder.working_copy()});
  const SharedDomainList lists[] = {std::make_shared<const DomainList>(Mappings(1)),
                                    std::make_shared<const DomainList>(Mappings(2))};
  int round = 0;
  for (auto _ : state) {
    // The lists take turns, so that every round really replaces the hosts file.
    if (store.WriteHostsSection(lists[round++ % 2]).step != HostsStep::kWritten) {
      state.SkipWithError("the hosts file was not written");
      break;
    }
  }
  SetPeakMemory(state);
}
BENCHMARK(BM_WriteHostsSection)->Arg(0)->Arg(1)->ArgName("flush")->Unit(benchmark::kMillisecond);

void BM_ComposeHostsWithSection(benchmark::State& state) {
  const auto hosts = LargeHosts();
  const auto list = Mappings(1);
  for (auto _ : state)
    benchmark::DoNotOptimize(ComposeHostsWithSection(hosts, list, "dns.kalvane.example"));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * hosts.size()));
}
BENCHMARK(BM_ComposeHostsWithSection)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kalvane
