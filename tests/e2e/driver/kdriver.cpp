// kdriver: works the program's window from outside, as a user would, for the end-to-end tests.
// Runs under Wine in the same prefix as the program; every subcommand prints one JSON value on
// stdout and exits 0 on success, 1 when the window or condition was not found, 2 on bad usage.
//
// A window argument is an exact title ("Kalvane"), "class:NAME" or "hwnd:NUMBER".

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

namespace kalvane::driver {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct HandleCloser {
  void operator()(HANDLE h) const {
    if (h != nullptr) CloseHandle(h);
  }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

class UsageError {};

std::string Utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

std::wstring Utf8Wide(const std::string& text) {
  if (text.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

// Minimal JSON building: values are composed as text.
std::string Quote(std::wstring_view text) {
  std::string out = "\"";
  for (const char c : Utf8(text)) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", u);
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Bool(bool b) { return b ? "true" : "false"; }
std::string Num(long long n) { return std::to_string(n); }
std::string HwndNum(HWND h) { return Num(static_cast<long long>(reinterpret_cast<intptr_t>(h))); }

class Object {
 public:
  Object& Add(const char* key, const std::string& value) {
    text_ += text_.empty() ? "{\"" : ", \"";
    text_ += key;
    text_ += "\": ";
    text_ += value;
    return *this;
  }
  std::string Str() const { return text_.empty() ? "{}" : text_ + "}"; }

 private:
  std::string text_;
};

std::string List(std::initializer_list<long long> numbers) {
  std::string out = "[";
  for (const long long n : numbers) {
    if (out.size() > 1) out += ", ";
    out += Num(n);
  }
  return out + "]";
}

std::string Rect(const RECT& r) { return List({r.left, r.top, r.right, r.bottom}); }

int Print(const std::string& json, int code = 0) {
  std::fwrite(json.data(), 1, json.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
  return code;
}

int Fail(const std::string& what) {
  return Print(Object().Add("error", Quote(Utf8Wide(what))).Str(), 1);
}

std::wstring WindowText(HWND h) {
  // WM_GETTEXT is marshalled across processes, unlike GetWindowText on another process's control.
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) return {};
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(h, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                      SMTO_ABORTIFHUNG, 2000, &copied);
  text.resize(copied);
  return text;
}

std::wstring ClassName(HWND h) {
  wchar_t name[256] = {};
  GetClassNameW(h, name, 256);
  return name;
}

DWORD ProcessOf(HWND h) {
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  return pid;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> all;
  EnumWindows(
      [](HWND h, LPARAM list) {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&all));
  return all;
}

HWND FindTarget(const std::wstring& target) {
  if (target.starts_with(L"hwnd:")) {
    HWND h =
        reinterpret_cast<HWND>(static_cast<intptr_t>(std::wcstoll(target.c_str() + 5, nullptr, 0)));
    return IsWindow(h) ? h : nullptr;
  }
  const bool by_class = target.starts_with(L"class:");
  const std::wstring wanted = by_class ? target.substr(6) : target;
  HWND dialog = nullptr;
  for (HWND h : TopLevelWindows()) {
    if ((by_class ? ClassName(h) : WindowText(h)) != wanted) continue;
    // A message box may carry the same title as its owner: the owner wins.
    if (ClassName(h) != L"#32770") return h;
    if (dialog == nullptr) dialog = h;
  }
  return dialog;
}

HWND WaitTarget(const std::wstring& target, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (HWND h = FindTarget(target)) return h;
    if (Clock::now() >= deadline) return nullptr;
    std::this_thread::sleep_for(50ms);
  }
}

std::string WindowJson(HWND h) {
  RECT r{};
  GetWindowRect(h, &r);
  RECT client{};
  GetClientRect(h, &client);
  return Object()
      .Add("hwnd", HwndNum(h))
      .Add("title", Quote(WindowText(h)))
      .Add("class", Quote(ClassName(h)))
      .Add("visible", Bool(IsWindowVisible(h)))
      .Add("iconic", Bool(IsIconic(h)))
      .Add("enabled", Bool(IsWindowEnabled(h)))
      .Add("pid", Num(ProcessOf(h)))
      .Add("rect", Rect(r))
      .Add("client", Rect(client))
      .Add("owner", HwndNum(GetWindow(h, GW_OWNER)))
      .Add("style", Num(static_cast<long long>(GetWindowLongPtrW(h, GWL_STYLE) & 0xFFFFFFFF)))
      .Str();
}

HWND FocusOf(HWND top) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  const DWORD thread = GetWindowThreadProcessId(top, nullptr);
  return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

std::string ControlJson(HWND parent, HWND h, HWND focus) {
  RECT r{};
  GetWindowRect(h, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  const LONG_PTR style = GetWindowLongPtrW(h, GWL_STYLE);
  Object o;
  o.Add("id", Num(GetDlgCtrlID(h)))
      .Add("hwnd", HwndNum(h))
      .Add("class", Quote(ClassName(h)))
      .Add("text", Quote(WindowText(h)))
      .Add("visible", Bool(IsWindowVisible(h)))
      .Add("enabled", Bool(IsWindowEnabled(h)))
      .Add("rect", Rect(r))
      .Add("focus", Bool(h == focus))
      .Add("style", Num(static_cast<long long>(style & 0xFFFFFFFF)));
  const std::wstring cls = ClassName(h);
  if (_wcsicmp(cls.c_str(), L"Button") == 0) {
    DWORD_PTR state = 0;
    SendMessageTimeoutW(h, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &state);
    o.Add("checked", Num(static_cast<long long>(state)));
  } else if (_wcsicmp(cls.c_str(), L"Edit") == 0) {
    DWORD_PTR ch = 0;
    SendMessageTimeoutW(h, EM_GETPASSWORDCHAR, 0, 0, SMTO_ABORTIFHUNG, 2000, &ch);
    o.Add("password_char", Quote(ch ? std::wstring(1, static_cast<wchar_t>(ch)) : L""));
  }
  return o.Str();
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> all;
  EnumChildWindows(
      parent,
      [](HWND h, LPARAM list) {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&all));
  return all;
}

HWND Control(HWND parent, int id) { return GetDlgItem(parent, id); }

bool BringForward(HWND h) {
  SetForegroundWindow(h);
  const auto deadline = Clock::now() + 2s;
  while (GetForegroundWindow() != h && Clock::now() < deadline) {
    std::this_thread::sleep_for(20ms);
    SetForegroundWindow(h);
  }
  return GetForegroundWindow() == h;
}

void SendKeys(std::vector<INPUT> inputs) {
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  std::this_thread::sleep_for(150ms);  // let the target process the keys before we look
}

INPUT Key(WORD vk, bool up) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return in;
}

std::optional<std::vector<INPUT>> NamedKey(const std::wstring& name) {
  static const std::map<std::wstring, WORD> keys = {
      {L"tab", VK_TAB},   {L"enter", VK_RETURN},  {L"escape", VK_ESCAPE}, {L"space", VK_SPACE},
      {L"down", VK_DOWN}, {L"up", VK_UP},         {L"left", VK_LEFT},     {L"right", VK_RIGHT},
      {L"back", VK_BACK}, {L"delete", VK_DELETE}, {L"home", VK_HOME},     {L"end", VK_END}};
  const bool shift = name.starts_with(L"shift-");
  const auto it = keys.find(shift ? name.substr(6) : name);
  if (it == keys.end()) return std::nullopt;
  std::vector<INPUT> seq;
  if (shift) seq.push_back(Key(VK_SHIFT, false));
  seq.push_back(Key(it->second, false));
  seq.push_back(Key(it->second, true));
  if (shift) seq.push_back(Key(VK_SHIFT, true));
  return seq;
}

void MouseClickAt(POINT screen) {
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  INPUT in[3] = {};
  for (INPUT& i : in) {
    i.type = INPUT_MOUSE;
    i.mi.dx = MulDiv(screen.x, 65535, w - 1);
    i.mi.dy = MulDiv(screen.y, 65535, h - 1);
  }
  in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
  in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
  SendInput(3, in, sizeof(INPUT));
  std::this_thread::sleep_for(150ms);
}

// Waits for the process to end; the exit code, or nothing at the time-out.
std::optional<DWORD> WaitExit(DWORD pid, std::chrono::milliseconds timeout) {
  UniqueHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  if (!process) return std::nullopt;
  if (WaitForSingleObject(process.get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
    return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(process.get(), &code);
  return code;
}

// A screen point whose non-client hit test gives `want` (HTCLOSE, HTMINBUTTON, HTCAPTION).
std::optional<POINT> NonClientPoint(HWND h, LRESULT want) {
  RECT r{};
  GetWindowRect(h, &r);
  for (LONG y = r.top; y < r.bottom && y < r.top + 60; ++y) {
    for (LONG x = r.right - 1; x >= r.left; --x) {
      DWORD_PTR hit = 0;
      SendMessageTimeoutW(h, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG, 2000, &hit);
      if (static_cast<LRESULT>(hit) == want) {
        // Aim at the middle of the run of matching points on this row.
        LONG left = x;
        for (;; --left) {
          SendMessageTimeoutW(h, WM_NCHITTEST, 0, MAKELPARAM(left - 1, y), SMTO_ABORTIFHUNG, 2000,
                              &hit);
          if (static_cast<LRESULT>(hit) != want || left - 1 < r.left) break;
        }
        return POINT{(left + x) / 2, y + 4};
      }
    }
  }
  return std::nullopt;
}

// Wine's own notification area, a small window at the top left of the screen when the desktop
// has none. It lays the icons out left to right in square cells as high as its client area.
int TrayInfo() {
  HWND tray = FindTarget(L"Wine System Tray");
  if (tray == nullptr || !IsWindowVisible(tray)) return Fail("no visible tray window");
  RECT client{};
  GetClientRect(tray, &client);
  POINT origin{0, 0};
  ClientToScreen(tray, &origin);
  const LONG cell = client.bottom;
  const LONG icons = cell > 0 ? client.right / cell : 0;
  return Print(
      Object()
          .Add("window", WindowJson(tray))
          .Add("client_origin", List({origin.x, origin.y}))
          .Add("cell", Num(cell))
          .Add("cells", Num(icons))
          .Add("first_icon",
               Object().Add("x", Num(origin.x + cell / 2)).Add("y", Num(origin.y + cell / 2)).Str())
          .Str());
}

// Kernel handles that `pid` holds, as the system's handle list shows them (GetProcessHandleCount
// reads 0 for other processes under Wine); nothing when the list cannot be had.
std::optional<long long> HandlesOf(DWORD pid) {
  struct Entry {  // SYSTEM_HANDLE_TABLE_ENTRY_INFO
    ULONG owner_pid;
    BYTE object_type;
    BYTE flags;
    USHORT value;
    PVOID object;
    ULONG access;
  };
  using Query = LONG(WINAPI*)(int, PVOID, ULONG, PULONG);
  const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  if (query == nullptr) return std::nullopt;
  constexpr int kSystemHandleInformation = 16;
  std::vector<unsigned char> buffer(1 << 16);
  for (int attempt = 0; attempt < 8; ++attempt) {
    ULONG needed = 0;
    const LONG status =
        query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status == 0) {
      const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
      const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(ULONG_PTR));
      long long mine = 0;
      for (ULONG i = 0; i < count; ++i) mine += entries[i].owner_pid == pid;
      return mine;
    }
    buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
  }
  return std::nullopt;
}

using Args = std::vector<std::wstring>;

int Number(const std::wstring& s) {
  wchar_t* end = nullptr;
  const long v = std::wcstol(s.c_str(), &end, 0);
  if (end == s.c_str() || *end != L'\0') throw UsageError{};
  return static_cast<int>(v);
}

struct Command {
  size_t args;  // number of arguments after the subcommand's name (minimum)
  const char* usage;
  std::function<int(const Args&)> run;
};

int WithWindow(const std::wstring& target, const std::function<int(HWND)>& action) {
  HWND h = FindTarget(target);
  if (h == nullptr) return Fail("no window " + Utf8(target));
  return action(h);
}

int WithControl(const Args& a, const std::function<int(HWND, HWND)>& action) {
  return WithWindow(a[0], [&](HWND top) {
    HWND c = Control(top, Number(a[1]));
    if (c == nullptr) return Fail("no control " + Utf8(a[1]));
    return action(top, c);
  });
}

int CloseWindow(const Args& a, bool syscommand) {
  return WithWindow(a[0], [&](HWND h) {
    const DWORD pid = ProcessOf(h);
    UniqueHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    const auto start = Clock::now();
    if (syscommand)
      PostMessageW(h, WM_SYSCOMMAND, SC_CLOSE, 0);
    else
      PostMessageW(h, WM_CLOSE, 0, 0);
    const auto wait = std::chrono::milliseconds(a.size() > 1 ? Number(a[1]) : 5000);
    const bool ended =
        process &&
        WaitForSingleObject(process.get(), static_cast<DWORD>(wait.count())) == WAIT_OBJECT_0;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    DWORD code = 0;
    if (ended) GetExitCodeProcess(process.get(), &code);
    Object o;
    o.Add("pid", Num(pid)).Add("exited", Bool(ended)).Add("elapsed_ms", Num(ms.count()));
    if (ended) o.Add("exit_code", Num(code));
    return Print(o.Str(), ended ? 0 : 1);
  });
}

// A window another program could open: of the given class and title, answering WM_CLOSE as
// `mode` says ("ignore" keeps it, "close" destroys it and ends). Runs for `ms` at most.
LRESULT CALLBACK IgnoringClose(HWND h, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_CLOSE) return 0;
  return DefWindowProcW(h, message, w, l);
}

LRESULT CALLBACK EndingOnDestroy(HWND h, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(h, message, w, l);
}

int ForeignWindow(const Args& a) {
  const bool ignore = a[2] == L"ignore";
  if (!ignore && a[2] != L"close") throw UsageError{};
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = ignore ? IgnoringClose : EndingOnDestroy;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = a[0].c_str();
  if (!RegisterClassExW(&window_class)) return Fail("cannot register the class");
  HWND h = CreateWindowExW(0, a[0].c_str(), a[1].c_str(), WS_OVERLAPPEDWINDOW, 600, 400, 200, 100,
                           nullptr, nullptr, window_class.hInstance, nullptr);
  if (h == nullptr) return Fail("cannot create the window");
  ShowWindow(h, SW_SHOWNOACTIVATE);
  Print(WindowJson(h));
  const auto deadline = Clock::now() + std::chrono::milliseconds(Number(a[3]));
  while (Clock::now() < deadline) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return 0;
      DispatchMessageW(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  return 0;
}

// A block of memory inside another process. The list view's and the header's messages carry
// pointers that the system does not copy across processes, so a reader of another program's
// list (a screen reader, this driver) hands them memory of the list's owner.
class RemoteBuffer {
 public:
  RemoteBuffer(HANDLE process, size_t size)
      : process_(process),
        address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {
  }
  ~RemoteBuffer() {
    if (address_ != nullptr) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  bool ok() const { return address_ != nullptr; }
  char* at(size_t offset) const { return static_cast<char*>(address_) + offset; }
  bool Write(size_t offset, const void* data, size_t size) const {
    return WriteProcessMemory(process_, at(offset), data, size, nullptr) != FALSE;
  }
  bool Read(size_t offset, void* data, size_t size) const {
    return ReadProcessMemory(process_, at(offset), data, size, nullptr) != FALSE;
  }

 private:
  HANDLE process_;
  void* address_;
};

LRESULT SendTo(HWND h, UINT message, WPARAM w, LPARAM l) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(h, message, w, l, SMTO_ABORTIFHUNG, 5000, &result);
  return static_cast<LRESULT>(result);
}

std::string QuotedList(const std::vector<std::wstring>& texts) {
  std::string out = "[";
  for (const std::wstring& text : texts) out += (out.size() > 1 ? ", " : "") + Quote(text);
  return out + "]";
}

// A report-view list view of another process as a screen reader reads it: the header's column
// captions (LVM_GETHEADER, HDM_GETITEMCOUNT, HDM_GETITEMW) and every item's cells
// (LVM_GETITEMCOUNT, LVM_GETITEMTEXTW), with the structures and text in the owner's memory.
// The columns, the item count and the first `max_rows` rows' cells.
int ReadListView(HWND list, int max_rows) {
  UniqueHandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                                   ProcessOf(list)));
  if (!process) return Fail("cannot open the list's process");
  constexpr size_t kTextChars = 1024;
  constexpr size_t kTextOffset = 256;  // past an LVITEMW or HDITEMW
  static_assert(sizeof(LVITEMW) <= kTextOffset && sizeof(HDITEMW) <= kTextOffset);
  const RemoteBuffer remote(process.get(), kTextOffset + kTextChars * sizeof(wchar_t));
  if (!remote.ok()) return Fail("cannot allocate memory in the list's process");
  auto* const text_there = reinterpret_cast<wchar_t*>(remote.at(kTextOffset));
  const auto text_back = [&](size_t chars) {
    std::wstring text(std::min(chars, kTextChars - 1), L'\0');
    if (!remote.Read(kTextOffset, text.data(), text.size() * sizeof(wchar_t)))
      return std::wstring();
    return std::wstring(text.c_str());  // up to the terminator
  };

  std::vector<std::wstring> columns;
  const auto header = reinterpret_cast<HWND>(SendTo(list, LVM_GETHEADER, 0, 0));
  const int column_count =
      header != nullptr ? static_cast<int>(SendTo(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
  for (int i = 0; i < column_count; ++i) {
    HDITEMW item{};
    item.mask = HDI_TEXT;
    item.pszText = text_there;
    item.cchTextMax = static_cast<int>(kTextChars);
    const wchar_t nothing = L'\0';
    remote.Write(kTextOffset, &nothing, sizeof nothing);
    remote.Write(0, &item, sizeof item);
    SendTo(header, HDM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(remote.at(0)));
    columns.push_back(text_back(kTextChars));
  }

  const int count = static_cast<int>(SendTo(list, LVM_GETITEMCOUNT, 0, 0));
  std::string rows = "[";
  for (int row = 0; row < std::min(count, max_rows); ++row) {
    std::vector<std::wstring> cells;
    for (int cell = 0; cell < std::max(column_count, 1); ++cell) {
      LVITEMW item{};
      item.iSubItem = cell;
      item.pszText = text_there;
      item.cchTextMax = static_cast<int>(kTextChars);
      remote.Write(0, &item, sizeof item);
      const auto copied =
          static_cast<size_t>(SendTo(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                                     reinterpret_cast<LPARAM>(remote.at(0))));
      cells.push_back(text_back(copied + 1));
    }
    rows += (rows.size() > 1 ? ", " : "") + QuotedList(cells);
  }
  return Print(Object()
                   .Add("count", Num(count))
                   .Add("columns", QuotedList(columns))
                   .Add("rows", rows + "]")
                   .Str());
}

std::map<std::wstring, Command> Commands() {
  std::map<std::wstring, Command> c;
  c[L"wait-window"] = {2, "<window> <timeout-ms>", [](const Args& a) {
                         HWND h = WaitTarget(a[0], std::chrono::milliseconds(Number(a[1])));
                         return h ? Print(WindowJson(h)) : Fail("timeout");
                       }};
  c[L"wait-gone"] = {2, "<window> <timeout-ms>", [](const Args& a) {
                       const auto deadline = Clock::now() + std::chrono::milliseconds(Number(a[1]));
                       while (FindTarget(a[0]) != nullptr) {
                         if (Clock::now() >= deadline) return Fail("timeout");
                         std::this_thread::sleep_for(50ms);
                       }
                       return Print("{\"gone\": true}");
                     }};
  c[L"window"] = {1, "<window>", [](const Args& a) {
                    return WithWindow(a[0], [](HWND h) { return Print(WindowJson(h)); });
                  }};
  c[L"windows"] = {0, "[pid]", [](const Args& a) {
                     const DWORD pid = a.empty() ? 0 : static_cast<DWORD>(Number(a[0]));
                     std::string out = "[";
                     for (HWND h : TopLevelWindows()) {
                       if (pid != 0 && ProcessOf(h) != pid) continue;
                       out += (out.size() > 1 ? ", " : "") + WindowJson(h);
                     }
                     return Print(out + "]");
                   }};
  c[L"controls"] = {1, "<window>", [](const Args& a) {
                      return WithWindow(a[0], [](HWND top) {
                        const HWND focus = FocusOf(top);
                        std::string out = "[";
                        for (HWND h : Children(top))
                          out += (out.size() > 1 ? ", " : "") + ControlJson(top, h, focus);
                        return Print(out + "]");
                      });
                    }};
  c[L"get-text"] = {2, "<window> <ctrl-id>", [](const Args& a) {
                      return WithControl(a, [](HWND, HWND ctl) {
                        return Print(Object().Add("text", Quote(WindowText(ctl))).Str());
                      });
                    }};
  c[L"list-view"] = {2, "<window> <ctrl-id> [max-rows]", [](const Args& a) {
                       const int max_rows = a.size() > 2 ? _wtoi(a[2].c_str()) : INT_MAX;
                       return WithControl(
                           a, [&](HWND, HWND list) { return ReadListView(list, max_rows); });
                     }};
  c[L"set-text"] = {3, "<window> <ctrl-id> <text>", [](const Args& a) {
                      return WithControl(a, [&](HWND, HWND ctl) {
                        DWORD_PTR r = 0;
                        SendMessageTimeoutW(ctl, WM_SETTEXT, 0,
                                            reinterpret_cast<LPARAM>(a[2].c_str()),
                                            SMTO_ABORTIFHUNG, 5000, &r);
                        return Print(Object().Add("text", Quote(WindowText(ctl))).Str());
                      });
                    }};
  c[L"click"] = {2, "<window> <ctrl-id>", [](const Args& a) {
                   // Posted: a click that opens a modal message box must not block the driver.
                   return WithControl(a, [](HWND, HWND ctl) {
                     PostMessageW(ctl, BM_CLICK, 0, 0);
                     return Print("{\"clicked\": true}");
                   });
                 }};
  c[L"mouse-click"] = {2, "<window> <ctrl-id>", [](const Args& a) {
                         return WithControl(a, [](HWND top, HWND ctl) {
                           BringForward(top);
                           RECT r{};
                           GetWindowRect(ctl, &r);
                           const POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
                           MouseClickAt(p);
                           return Print(Object().Add("x", Num(p.x)).Add("y", Num(p.y)).Str());
                         });
                       }};
  c[L"check"] = {3, "<window> <ctrl-id> 0|1", [](const Args& a) {
                   return WithControl(a, [&](HWND, HWND ctl) {
                     const int want = Number(a[2]);
                     const auto state = [&] {
                       DWORD_PTR s = 0;
                       SendMessageTimeoutW(ctl, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &s);
                       return static_cast<int>(s);
                     };
                     if (state() != want) PostMessageW(ctl, BM_CLICK, 0, 0);
                     const auto deadline = Clock::now() + 3s;
                     while (state() != want && Clock::now() < deadline)
                       std::this_thread::sleep_for(20ms);
                     const int now = state();
                     return Print(Object().Add("checked", Num(now)).Str(), now == want ? 0 : 1);
                   });
                 }};
  const auto syscommand = [](WPARAM cmd) {
    return [cmd](const Args& a) {
      return WithWindow(a[0], [cmd](HWND h) {
        PostMessageW(h, WM_SYSCOMMAND, cmd, 0);
        std::this_thread::sleep_for(300ms);
        return Print(WindowJson(h));
      });
    };
  };
  c[L"minimize"] = {1, "<window>", syscommand(SC_MINIMIZE)};
  c[L"restore"] = {1, "<window>", syscommand(SC_RESTORE)};
  c[L"close"] = {1, "<window> [wait-ms]", [](const Args& a) { return CloseWindow(a, false); }};
  c[L"sys-close"] = {1, "<window> [wait-ms]", [](const Args& a) { return CloseWindow(a, true); }};
  c[L"wait-exit"] = {
      2, "<pid> <timeout-ms>", [](const Args& a) {
        const auto code =
            WaitExit(static_cast<DWORD>(Number(a[0])), std::chrono::milliseconds(Number(a[1])));
        return code ? Print(Object().Add("exit_code", Num(*code)).Str()) : Fail("timeout");
      }};
  c[L"focused"] = {1, "<window>", [](const Args& a) {
                     return WithWindow(a[0], [](HWND top) {
                       HWND f = FocusOf(top);
                       if (f == nullptr) return Print("{\"id\": null}");
                       return Print(Object()
                                        .Add("id", Num(f == top ? 0 : GetDlgCtrlID(f)))
                                        .Add("hwnd", HwndNum(f))
                                        .Add("class", Quote(ClassName(f)))
                                        .Str());
                     });
                   }};
  c[L"key"] = {2, "<window> <tab|shift-tab|enter|escape|space|down|...>", [](const Args& a) {
                 auto seq = NamedKey(a[1]);
                 if (!seq) throw UsageError{};
                 return WithWindow(a[0], [&](HWND top) {
                   const bool fg = BringForward(top);
                   SendKeys(*seq);
                   return Print(Object().Add("foreground", Bool(fg)).Str(), fg ? 0 : 1);
                 });
               }};
  c[L"focus-next"] = {1, "<window>", [](const Args& a) {
                        return WithWindow(a[0], [](HWND top) {
                          const bool fg = BringForward(top);
                          SendKeys(*NamedKey(L"tab"));
                          HWND f = FocusOf(top);
                          return Print(Object()
                                           .Add("foreground", Bool(fg))
                                           .Add("id", f ? Num(GetDlgCtrlID(f)) : "null")
                                           .Str(),
                                       fg ? 0 : 1);
                        });
                      }};
  c[L"type"] = {2, "<window> <text>", [](const Args& a) {
                  return WithWindow(a[0], [&](HWND top) {
                    const bool fg = BringForward(top);
                    std::vector<INPUT> seq;
                    for (const wchar_t ch : a[1]) {
                      for (const bool up : {false, true}) {
                        INPUT in{};
                        in.type = INPUT_KEYBOARD;
                        in.ki.wScan = ch;
                        in.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
                        seq.push_back(in);
                      }
                    }
                    SendKeys(seq);
                    return Print(Object().Add("foreground", Bool(fg)).Str(), fg ? 0 : 1);
                  });
                }};
  c[L"foreground"] = {0, "", [](const Args&) {
                        HWND h = GetForegroundWindow();
                        return h ? Print(WindowJson(h)) : Print("null");
                      }};
  c[L"post"] = {4, "<window> <msg> <wparam> <lparam>", [](const Args& a) {
                  return WithWindow(a[0], [&](HWND h) {
                    const BOOL ok = PostMessageW(h, static_cast<UINT>(Number(a[1])),
                                                 static_cast<WPARAM>(Number(a[2])),
                                                 static_cast<LPARAM>(Number(a[3])));
                    return Print(Object().Add("posted", Bool(ok)).Str(), ok ? 0 : 1);
                  });
                }};
  c[L"tray-info"] = {0, "", [](const Args&) { return TrayInfo(); }};
  c[L"hold-lock"] = {2, "<mutex-name> <ms>", [](const Args& a) {
                       // A mutex made first under the name, with the default security, as any
                       // process of the session could; held for <ms>, then the driver ends.
                       UniqueHandle mutex(CreateMutexW(nullptr, TRUE, a[0].c_str()));
                       const bool made = mutex && GetLastError() != ERROR_ALREADY_EXISTS;
                       Print(Object().Add("held", Bool(made)).Str(), made ? 0 : 1);
                       if (made) Sleep(static_cast<DWORD>(Number(a[1])));
                       return made ? 0 : 1;
                     }};
  c[L"foreign-window"] = {4, "<class> <title> ignore|close <ms>", ForeignWindow};
  c[L"keep-desktop"] = {1, "<ms>", [](const Args& a) {
                          // Wine's desktop process closes about a second after the last program
                          // using the desktop ends; one started meanwhile finds no desktop (its
                          // first window or message box fails, or waits for a new desktop). A
                          // hidden window keeps the desktop in use, as Windows' shell is there
                          // for the whole session.
                          HWND h = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr,
                                                   nullptr, GetModuleHandleW(nullptr), nullptr);
                          if (h == nullptr) return Fail("cannot create the window");
                          Print(Object().Add("kept", Bool(true)).Str());
                          Sleep(static_cast<DWORD>(Number(a[0])));
                          return 0;
                        }};
  c[L"hold-file"] = {2, "<path> <ms>", [](const Args& a) {
                       // Open without sharing, as a program that has the file in use holds it.
                       UniqueHandle file(CreateFileW(a[0].c_str(), GENERIC_READ, 0, nullptr,
                                                     OPEN_EXISTING, 0, nullptr));
                       if (file.get() == INVALID_HANDLE_VALUE) {
                         file.release();
                         return Fail("cannot open the file");
                       }
                       Print(Object().Add("held", Bool(true)).Str());
                       Sleep(static_cast<DWORD>(Number(a[1])));
                       return 0;
                     }};
  c[L"limit-text"] = {
      2, "<window> <ctrl-id>", [](const Args& a) {
        return WithControl(a, [](HWND, HWND c) {
          const auto limit = SendMessageW(c, EM_GETLIMITTEXT, 0, 0);
          return Print(Object().Add("limit", Num(static_cast<long long>(limit))).Str());
        });
      }};
  c[L"broadcast-taskbar-created"] = {
      0, "", [](const Args&) {
        const UINT msg = RegisterWindowMessageW(L"TaskbarCreated");
        const BOOL ok = PostMessageW(HWND_BROADCAST, msg, 0, 0);
        std::this_thread::sleep_for(300ms);
        return Print(Object().Add("message", Num(msg)).Add("posted", Bool(ok)).Str());
      }};
  c[L"tray-delete"] = {1, "<window> [icon-id]", [](const Args& a) {
                         // What a shell that restarts does to every icon: it forgets them. The
                         // shell finds an icon by its window and id, whoever asks.
                         return WithWindow(a[0], [&](HWND h) {
                           NOTIFYICONDATAW data{};
                           data.cbSize = sizeof(data);
                           data.hWnd = h;
                           data.uID = a.size() > 1 ? static_cast<UINT>(Number(a[1])) : 0;
                           const BOOL ok = Shell_NotifyIconW(NIM_DELETE, &data);
                           return Print(Object().Add("deleted", Bool(ok)).Str(), ok ? 0 : 1);
                         });
                       }};
  c[L"process-info"] = {
      1, "<pid>", [](const Args& a) {
        UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE,
                                         static_cast<DWORD>(Number(a[0]))));
        if (!process) return Fail("cannot open the process");
        DWORD handles = 0;
        const BOOL have_handles = GetProcessHandleCount(process.get(), &handles);
        PROCESS_MEMORY_COUNTERS memory{};
        memory.cb = sizeof(memory);
        const BOOL have_memory = K32GetProcessMemoryInfo(process.get(), &memory, sizeof(memory));
        return Print(
            Object()
                .Add("handles", have_handles ? Num(handles) : "null")
                .Add("handles_in_system_list",
                     [&] {
                       const auto listed = HandlesOf(static_cast<DWORD>(Number(a[0])));
                       return listed ? Num(*listed) : std::string("null");
                     }())
                .Add("gdi_objects", Num(GetGuiResources(process.get(), GR_GDIOBJECTS)))
                .Add("user_objects", Num(GetGuiResources(process.get(), GR_USEROBJECTS)))
                .Add("working_set",
                     have_memory ? Num(static_cast<long long>(memory.WorkingSetSize)) : "null")
                .Add("pagefile_usage",
                     have_memory ? Num(static_cast<long long>(memory.PagefileUsage)) : "null")
                .Str());
      }};
  c[L"dpi"] = {1, "<window>", [](const Args& a) {
                 return WithWindow(a[0], [](HWND h) {
                   RECT client{};
                   GetClientRect(h, &client);
                   return Print(Object()
                                    .Add("window_dpi", Num(GetDpiForWindow(h)))
                                    .Add("system_dpi", Num(GetDpiForSystem()))
                                    .Add("client", Rect(client))
                                    .Str());
                 });
               }};
  c[L"nc-point"] = {2, "<window> close|minimize|caption", [](const Args& a) {
                      static const std::map<std::wstring, LRESULT> parts = {
                          {L"close", HTCLOSE}, {L"minimize", HTMINBUTTON}, {L"caption", HTCAPTION}};
                      const auto part = parts.find(a[1]);
                      if (part == parts.end()) throw UsageError{};
                      return WithWindow(a[0], [&](HWND h) {
                        const auto p = NonClientPoint(h, part->second);
                        if (!p) return Fail("no such part");
                        return Print(Object().Add("x", Num(p->x)).Add("y", Num(p->y)).Str());
                      });
                    }};
  return c;
}

int Usage(const std::map<std::wstring, Command>& commands) {
  std::fputs("usage: kdriver <command> [args]\n", stderr);
  for (const auto& [name, cmd] : commands)
    std::fprintf(stderr, "  %s %s\n", Utf8(name).c_str(), cmd.usage);
  return 2;
}

int Run(int argc, wchar_t** argv) {
  const auto commands = Commands();
  if (argc < 2) return Usage(commands);
  const auto it = commands.find(argv[1]);
  if (it == commands.end()) return Usage(commands);
  const Args args(argv + 2, argv + argc);
  if (args.size() < it->second.args) return Usage(commands);
  try {
    return it->second.run(args);
  } catch (const UsageError&) {
    return Usage(commands);
  }
}

}  // namespace
}  // namespace kalvane::driver

int wmain(int, wchar_t**) {
  // Real pixels and the real DPI of the program's window, whatever the system DPI: an unaware
  // driver would be handed coordinates scaled to 96 DPI.
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  // The arguments as the user gave them, UTF-16, whatever the console's code page.
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr) return 2;
  const int code = kalvane::driver::Run(argc, argv);
  LocalFree(argv);
  return code;
}
