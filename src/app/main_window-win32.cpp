#include "app/main_window-win32.h"

#include <shellapi.h>
#include <windowsx.h>

#include "app/dpi-win32.h"
#include "app/window_layout.h"

namespace kalvane {
namespace {

constexpr UINT kSocketMessage = WM_APP + 1;
constexpr UINT kResolveMessage = WM_APP + 2;
constexpr unsigned short kServerPort = 80;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;

const wchar_t* AsWide(std::u16string_view text) {
  return reinterpret_cast<const wchar_t*>(text.data());
}

struct ControlClass {
  const wchar_t* window_class;
  DWORD style;
};

ControlClass ClassFor(ControlKind kind) {
  switch (kind) {
    case ControlKind::CheckBox:
      return {L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP};
    case ControlKind::Label:
      return {L"STATIC", SS_LEFT};
    case ControlKind::TextBox:
      return {L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP | WS_BORDER};
    case ControlKind::PasswordBox:
      return {L"EDIT", ES_AUTOHSCROLL | ES_PASSWORD | WS_TABSTOP | WS_BORDER};
    case ControlKind::Button:
      return {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP};
  }
  return {L"STATIC", 0};
}

}  // namespace

std::unique_ptr<MainWindow> MainWindow::Create(HINSTANCE instance) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = &MainWindow::WindowProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kMainWindowClass;
  RegisterClassExW(&window_class);

  std::unique_ptr<MainWindow> window(new MainWindow(instance));
  HWND hwnd = CreateWindowExW(kWindowExStyle, kMainWindowClass, AsWide(kWindowCaption),
                              kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, nullptr, nullptr, instance, window.get());
  if (hwnd == nullptr) return nullptr;
  return window;
}

MainWindow::MainWindow(HINSTANCE instance)
    : instance_(instance),
      socket_(kSocketMessage, kResolveMessage, KALVANE_SERVER_HOST, kServerPort) {}

MainWindow::~MainWindow() {
  if (hwnd_ != nullptr) {
    FormQueryUnload();
    DestroyWindow(hwnd_);
  }
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    auto* self = static_cast<MainWindow*>(create->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  return self->HandleMessage(message, wparam, lparam);
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (socket_.HandleMessage(message, wparam, lparam)) return 0;
  switch (message) {
    case WM_CREATE:
      OnCreate();
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      OnEndSession(wparam != FALSE);
      return 0;
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd_, message, wparam, lparam);
  }
}

void MainWindow::OnCreate() {
  socket_.Attach(hwnd_, &http_);
  pump_.SetDialogWindow(hwnd_);
  dpi_ = WindowDpi(hwnd_);
  CreateControls();
  LayOut();
}

void MainWindow::CreateControls() {
  for (const ControlSpec& spec : kControls) {
    const ControlClass control_class = ClassFor(spec.kind);
    CreateWindowExW(spec.kind == ControlKind::TextBox || spec.kind == ControlKind::PasswordBox
                        ? WS_EX_CLIENTEDGE
                        : 0,
                    control_class.window_class, AsWide(spec.caption),
                    WS_CHILD | WS_VISIBLE | control_class.style, 0, 0, 0, 0, hwnd_,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)), instance_, nullptr);
  }
  SendMessageW(Control(kText2), EM_SETPASSWORDCHAR, L'*', 0);
}

void MainWindow::LayOut() {
  font_ = MessageFontForDpi(dpi_);
  for (const ControlSpec& spec : kControls) {
    const PixelRect rect = ToPixels(spec.twips, static_cast<int>(dpi_));
    HWND control = Control(spec.id);
    SetWindowPos(control, nullptr, rect.left, rect.top, rect.width, rect.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
  }
  const PixelRect client = ToPixels(kClientTwips, static_cast<int>(dpi_));
  const RECT window =
      WindowRectForClient({0, 0, client.width, client.height}, kWindowStyle, kWindowExStyle, dpi_);
  SetWindowPos(hwnd_, nullptr, 0, 0, window.right - window.left, window.bottom - window.top,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
}

void MainWindow::OnDpiChanged(UINT dpi, const RECT& suggested) {
  dpi_ = dpi;
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  LayOut();
}

std::u16string MainWindow::ControlText(int id) const {
  HWND control = Control(id);
  const int length = GetWindowTextLengthW(control);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(control, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return std::u16string(text.begin(), text.end());
}

bool MainWindow::Check1Value() const { return IsDlgButtonChecked(hwnd_, kCheck1) == BST_CHECKED; }

void MainWindow::OnCommand(int control, int notification) {
  if (control == kCommand1 && notification == BN_CLICKED) {
    // The shell's answer is not examined: no browser or no association simply shows nothing.
    ShellExecuteW(hwnd_, L"open", L"" KALVANE_WEB_PAGE, nullptr, nullptr, SW_SHOWNORMAL);
  }
}

bool MainWindow::FormLoad() {
  // The first cycle runs before the window is shown; its result is what the tray will show.
  RunUpdateCycle();
  return hwnd_ != nullptr && !destroy_pending_;
}

void MainWindow::RunUpdateCycle() {
  if (closing_) return;
  if (cycle_.Running()) {
    cycle_requested_ = true;
    return;
  }
  do {
    cycle_requested_ = false;
    const std::optional<UpdateResult> result = UpdateDomains();
    if (result && !closing_) ShowUpdateStatus(*result);
  } while (cycle_requested_ && !closing_);
  FinishPendingClose();
}

std::optional<UpdateResult> MainWindow::UpdateDomains() {
  const std::u16string domain = ControlText(kText1);
  const std::u16string password = ControlText(kText2);
  AccountView account{Check1Value(), domain, password, false};
  RequestEncoding encoding;
  encoding.encode_text = [](std::u16string_view) -> std::optional<std::string> {
    return std::nullopt;
  };
  encoding.digest_password = encoding.encode_text;
  return cycle_.UpdateDomains(account, encoding);
}

void MainWindow::ShowUpdateStatus(UpdateResult) {}

bool MainWindow::HttpGet(std::string_view path) { return http_.HttpGet(KALVANE_SERVER_HOST, path); }

void MainWindow::WriteHostsSection(const DomainList&) {}

void MainWindow::OnClose() {
  FormQueryUnload();
  if (cycle_.Running()) {
    destroy_pending_ = true;  // the waiting cycle unwinds first, then the window goes
    return;
  }
  DestroyWindow(hwnd_);
}

void MainWindow::OnEndSession(bool ending) {
  // The process may be ended as soon as this returns: the clean-up runs now.
  if (ending) FormQueryUnload();
}

void MainWindow::FormQueryUnload() {
  if (cleaned_up_) return;
  cleaned_up_ = true;
  closing_ = true;
  http_.Cancel();
}

void MainWindow::FinishPendingClose() {
  if (destroy_pending_ && !cycle_.Running() && hwnd_ != nullptr) DestroyWindow(hwnd_);
}

}  // namespace kalvane
