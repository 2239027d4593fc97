#include "app/main_window-win32.h"

#include <shellapi.h>
#include <windowsx.h>

#include "app/account_settings.h"
#include "app/dpi-win32.h"
#include "app/resource_ids.h"
#include "app/window_layout.h"
#include "md5/digest_text.h"
#include "sync/hosts_file_system-win32.h"

namespace kalvane {
namespace {

constexpr UINT kSocketMessage = WM_APP + 1;
constexpr UINT kResolveMessage = WM_APP + 2;
constexpr unsigned short kServerPort = 80;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;
constexpr char ServerHost[] = KALVANE_SERVER_HOST;
constexpr wchar_t kSettingsFileName[] = L"abc.txt";
constexpr std::u16string_view kSettingsNotSaved = u"无法写入账号设置文件 abc.txt，账号未保存。";

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

std::wstring ToWide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

UniqueIcon LoadIconResource(HINSTANCE instance, int id, int size) {
  return UniqueIcon(static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
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
    : instance_(instance), socket_(kSocketMessage, kResolveMessage, ServerHost, kServerPort) {}

MainWindow::~MainWindow() {
  if (hwnd_ != nullptr) {
    FormQueryUnload();
    DestroyWindow(hwnd_);
  }
  // The tray pieces refer to the window's icons: they go first.
  timer1_.reset();
  status_.reset();
  tray_.reset();
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
  if (message == activate_message_ && activate_message_ != 0) {
    OnActivateRequest();
    return 0;
  }
  switch (message) {
    case WM_CREATE:
      OnCreate();
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_TIMER:
      OnTimer(wparam);
      return 0;
    case WM_SIZE:
      Form_Resize(wparam);
      return 0;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wparam));
      return DefWindowProcW(hwnd_, message, wparam, lparam);
    case WM_SETFOCUS:
      OnSetFocus();
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
  LoadIcons();

  activate_message_ = RegisterWindowMessageW(kActivateMessageName);
  ChangeWindowMessageFilterEx(hwnd_, activate_message_, MSGFLT_ALLOW, nullptr);

  files_ = MakeWin32HostsFileSystem();
  const std::optional<std::filesystem::path> folder = ProgramFolder();
  settings_ = std::make_unique<SettingsFile>(
      *files_, folder ? *folder / kSettingsFileName : std::filesystem::path());
  hosts_ = std::make_unique<HostsStore>(MakeWindowsHostsStore());

  // Both timers tick from the window's creation; the icon record starts with Picture1's icon.
  tray_ = std::make_unique<TrayIcon>(hwnd_, [this] { mnuTrayexit_Click(); });
  status_ =
      std::make_unique<TrayStatus>(*tray_, hwnd_, picture1_small_.get(), picture2_small_.get());
  timer1_ = std::make_unique<WindowTimer>(hwnd_, kTimer1Id, kTimer1IntervalMs);
}

void MainWindow::LoadIcons() {
  const int small_size = GetSystemMetrics(SM_CXSMICON);
  const int large_size = GetSystemMetrics(SM_CXICON);
  picture1_small_ = LoadIconResource(instance_, IDI_PICTURE1, small_size);
  picture2_small_ = LoadIconResource(instance_, IDI_PICTURE2, small_size);
  picture1_large_ = LoadIconResource(instance_, IDI_PICTURE1, large_size);
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(picture1_small_.get()));
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(picture1_large_.get()));
}

void MainWindow::CreateControls() {
  for (const ControlLayout& control : kControls) {
    const ControlClass control_class = ClassFor(control.kind);
    CreateWindowExW(control.kind == ControlKind::TextBox || control.kind == ControlKind::PasswordBox
                        ? WS_EX_CLIENTEDGE
                        : 0,
                    control_class.window_class, AsWide(control.caption),
                    WS_CHILD | WS_VISIBLE | control_class.style, 0, 0, 0, 0, hwnd_,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance_, nullptr);
  }
  SendMessageW(Control(kText2), EM_SETPASSWORDCHAR, L'*', 0);
}

void MainWindow::LayOut() {
  font_ = MessageFontForDpi(dpi_);
  for (const ControlLayout& layout : kControls) {
    const PixelRect rect = ToPixels(layout.twips, static_cast<int>(dpi_));
    HWND control = Control(layout.id);
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

void MainWindow::OnActivate(WORD state) {
  if (state != WA_INACTIVE) return;
  HWND focus = GetFocus();
  focus_control_ = focus != nullptr && IsChild(hwnd_, focus) ? focus : nullptr;
}

void MainWindow::OnSetFocus() {
  // The keyboard focus belongs to a control, as in a dialog: the one that had it when the window
  // was last left, or the first in the focus order when that one is gone or hidden meanwhile.
  HWND target = focus_control_;
  if (target == nullptr || !IsChild(hwnd_, target) || !IsWindowVisible(target) ||
      !IsWindowEnabled(target)) {
    target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
  }
  if (target != nullptr) SetFocus(target);
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
  } else if (control == kCommand3 && notification == BN_CLICKED) {
    Command3_Click();
  } else if (control == kCheck1 && notification == BN_CLICKED) {
    Check1_Click();
  } else if (control == kText2 && notification == EN_CHANGE) {
    Text2_Change();
  }
}

void MainWindow::OnTimer(UINT_PTR id) {
  if (id == kTimer1Id) {
    if (schedule_.Timer1_Timer(cycle_.Running())) RunUpdateCycle(CycleRequest::Timer);
  } else if (id == kTimer2Id) {
    status_->Timer2_Timer();
  }
}

bool MainWindow::FormLoad() {
  LoadAccountSettings();
  // The first cycle runs before the window is shown; its result is what the tray will show.
  RunUpdateCycle(CycleRequest::StartUp);
  loaded_ = hwnd_ != nullptr && !destroy_pending_;
  return loaded_;
}

void MainWindow::LoadAccountSettings() {
  SetCheck1(false);
  ShowWindow(Control(kText1), SW_HIDE);
  ShowWindow(Control(kText2), SW_HIDE);
  const std::optional<std::string> content = settings_->Read();
  if (!content) return;
  const StoredAccount stored = ParseAccountSettings(*content, ansi_);
  if (!stored.updating) return;

  const AccountBoxes boxes = BoxesFromStoredAccount(stored);
  loading_password_ = true;
  SetWindowTextW(Control(kText1), ToWide(boxes.text1).c_str());
  SetWindowTextW(Control(kText2), ToWide(boxes.text2).c_str());
  pump_.PumpOnce();
  password_is_digest_ = boxes.password_is_digest;
  loading_password_ = false;
  SetCheck1(true);
}

void MainWindow::Command3_Click() {
  const AccountBoxes boxes{Check1Value(), ControlText(kText1), ControlText(kText2),
                           password_is_digest_};
  const SaveOutcome outcome =
      SaveAccountSettings(boxes, ansi_, [this](std::u16string_view password) {
        std::optional<std::u16string> digest;
        if (std::optional<std::string> text = DigestPassword(password)) {
          digest = std::u16string(text->begin(), text->end());
        }
        return digest;
      });
  const bool saved = !outcome.file_bytes || settings_->Write(*outcome.file_bytes);
  if (saved && outcome.new_text2) SetPasswordText(*outcome.new_text2);
  if (saved) password_is_digest_ = outcome.password_is_digest;
  if (!saved) {
    ShowMessage(kSettingsNotSaved);
  } else if (outcome.message != SaveMessage::kNone) {
    ShowMessage(SaveMessageText(outcome.message));
  }
  RunUpdateCycle(CycleRequest::Save);
}

void MainWindow::SetPasswordText(const std::u16string& text) {
  loading_password_ = true;
  SetWindowTextW(Control(kText2), ToWide(text).c_str());
  password_is_digest_ = true;
  pump_.PumpOnce();
  loading_password_ = false;
}

void MainWindow::ShowMessage(std::u16string_view text) {
  MessageBoxW(hwnd_, ToWide(text).c_str(), AsWide(kWindowCaption), MB_OK);
}

void MainWindow::Check1_Click() {
  const int show = Check1Value() ? SW_SHOW : SW_HIDE;
  ShowWindow(Control(kText1), show);
  ShowWindow(Control(kText2), show);
}

void MainWindow::Text2_Change() {
  password_is_digest_ = PasswordIsDigestAfterChange(password_is_digest_, loading_password_);
}

void MainWindow::SetCheck1(bool checked) {
  CheckDlgButton(hwnd_, kCheck1, checked ? BST_CHECKED : BST_UNCHECKED);
  Check1_Click();
}

void MainWindow::Form_Resize(WPARAM size_type) {
  if (size_type != SIZE_MINIMIZED || tray_ == nullptr) return;
  tray_->TrayInstall();
  tray_->MinimizeToTray();
}

void MainWindow::mnuTrayexit_Click() {
  tray_->TrayRemove();
  OnClose();
}

void MainWindow::OnActivateRequest() {
  if (!loaded_ || closing_) return;  // start-up shows the window when it is done
  if (tray_->IsInstalled()) tray_->TrayRemove();
  if (IsIconic(hwnd_) || !IsWindowVisible(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
  SetForegroundWindow(hwnd_);
}

std::optional<std::string> MainWindow::DigestPassword(std::u16string_view password) const {
  DigestTextResult digest =
      DigestStrToHexStr(password, [this](char16_t c) { return ansi_.SingleByte(c); });
  if (!digest) return std::nullopt;
  return std::move(digest).value();
}

void MainWindow::RunUpdateCycle(CycleRequest request) {
  if (closing_) return;
  if (cycle_.Running()) {
    if (request == CycleRequest::Save) cycle_requested_ = true;
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
  const AccountView account{Check1Value(), domain, password, password_is_digest_};
  RequestEncoding encoding;
  encoding.encode_text = [this](std::u16string_view text) { return ansi_.Encode(text); };
  encoding.digest_password = [this](std::u16string_view text) { return DigestPassword(text); };
  return cycle_.UpdateDomains(account, encoding);
}

void MainWindow::ShowUpdateStatus(UpdateResult result) {
  status_->ShowUpdateStatus(static_cast<int>(result));
}

bool MainWindow::HttpGet(std::string_view path) { return http_.HttpGet(ServerHost, path); }

void MainWindow::WriteHostsSection(const DomainList& domains) {
  // Failures leave the hosts file as it was; the tray icon shows the transfer's outcome only.
  (void)hosts_->WriteHostsSection(domains);
}

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
  http_.Cancel();  // a waiting cycle ends without writing anything after this clean-up
  (void)hosts_->ClearHostsSection(cycle_.Domains());
}

void MainWindow::FinishPendingClose() {
  if (destroy_pending_ && !cycle_.Running() && hwnd_ != nullptr) DestroyWindow(hwnd_);
}

}  // namespace kalvane
