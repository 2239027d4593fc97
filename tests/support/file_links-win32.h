#pragma once

// Links planted the way a local user would plant them, for the tests of the Windows file layer.
// Wine 8 accepts CreateSymbolicLinkW but makes no link; there a Unix symbolic link, made by
// running ln, stands for one (Wine follows it like a link, and reports the target's final path).

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "base/file_path.h"

namespace kalvane::testing {

inline std::optional<std::string> FileBytes(const FilePath& path) {
  std::ifstream in(std::filesystem::path(path.native()), std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void PutFileBytes(const FilePath& path, const std::string& content) {
  std::ofstream(std::filesystem::path(path.native()), std::ios::binary | std::ios::trunc)
      << content;
}

// The names in `folder`, sorted.
inline std::vector<std::wstring> FolderNames(const FilePath& folder) {
  std::vector<std::wstring> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.native())) {
    names.push_back(entry.path().filename().wstring());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The Unix path of a Windows path under Wine; nothing elsewhere.
inline std::optional<std::string> UnixPath(const FilePath& path) {
  using UnixName = char*(CDECL*)(LPCWSTR);
  const FARPROC proc = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
  if (proc == nullptr) return std::nullopt;
  const auto unix_name = reinterpret_cast<UnixName>(reinterpret_cast<void (*)()>(proc));
  char* name = unix_name(path.c_str());
  if (name == nullptr) return std::nullopt;
  std::string result(name);
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

// Starts a Unix program under Wine (which runs Unix programs given by their Z: path) with
// `arguments` as its command line. Wine gives no handle to wait on: callers look for the effect.
inline bool StartUnix(const wchar_t* program, const std::wstring& arguments) {
  std::wstring command = std::wstring(program) + L" " + arguments;
  const std::wstring image = std::wstring(L"Z:") + program;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(image.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return false;
  }
  if (process.hThread != nullptr) CloseHandle(process.hThread);
  if (process.hProcess != nullptr) CloseHandle(process.hProcess);
  return true;
}

// Waits up to five seconds for `done` to hold.
template <typename Probe>
bool WaitFor(Probe done) {
  for (int wait = 0; wait < 100; ++wait) {
    if (done()) return true;
    Sleep(50);
  }
  return done();
}

inline bool Exists(const FilePath& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::wstring Quoted(const std::string& unix_path) {
  return L"\"" + std::filesystem::path(unix_path).wstring() + L"\"";
}

inline bool UnixSymlink(const FilePath& target, const FilePath& link) {
  const auto from = UnixPath(target);
  const auto to = UnixPath(link);
  return from && to && StartUnix(L"/bin/ln", L"-s " + Quoted(*from) + L" " + Quoted(*to)) &&
         WaitFor([&] { return Exists(link); });
}

// A symbolic link at `link` to the existing file `target`; false when this system lets the test
// make none.
inline bool MakeSymbolicLink(const FilePath& target, const FilePath& link) {
  if (CreateSymbolicLinkW(link.c_str(), target.c_str(),
                          SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
      Exists(link)) {
    return true;
  }
  return UnixSymlink(target, link);
}

// Whether symbolic links must be available: under Wine, where ln makes them.
inline bool OnWine() { return UnixPath(L"C:\\").has_value(); }

inline bool MakeHardLink(const FilePath& target, const FilePath& link) {
  return CreateHardLinkW(link.c_str(), target.c_str(), nullptr) != FALSE;
}

// A fresh folder under the temporary folder, removed again with this object.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    root_ = FilePath(temp) / (name + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(GetTickCount64()));
    std::filesystem::create_directories(root_.native());
  }
  ~ScratchFolder() {
    // Under Wine a Windows delete of a Unix link would remove its target instead.
    if (const auto unix_root = UnixPath(root_)) {
      if (StartUnix(L"/bin/rm", L"-rf " + Quoted(*unix_root)) &&
          WaitFor([&] { return !Exists(root_); })) {
        return;
      }
    }
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root_.native(), error)) {
      SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    std::filesystem::remove_all(root_.native(), error);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const FilePath& root() const { return root_; }
  FilePath Folder(const wchar_t* name) const {
    std::filesystem::create_directories((root_ / name).native());
    return root_ / name;
  }

 private:
  FilePath root_;
};

}  // namespace kalvane::testing
