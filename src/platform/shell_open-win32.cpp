#include "platform/shell_open-win32.h"

// clang-format off
#include <windows.h>
#include <exdisp.h>
#include <oleauto.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
// clang-format on

#include "platform/unique_handle-win32.h"

namespace kalvane {
namespace {

// COM as a single-threaded apartment on this thread, for as long as this object lives.
class ComApartment {
 public:
  ComApartment()
      : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  // Already initialised on this thread in another model will also do for a local server.
  bool usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT result_;
};

class Bstr {
 public:
  explicit Bstr(const wchar_t* text) : text_(SysAllocString(text)) {}
  ~Bstr() { SysFreeString(text_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return text_; }

 private:
  BSTR text_;
};

// The desktop's folder view: the shell window list finds the desktop, its browser its view.
ComPtr<IShellFolderViewDual> DesktopFolderView() {
  ComPtr<IShellWindows> windows;
  if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER,
                              __uuidof(IShellWindows), windows.put_void()))) {
    return {};
  }
  VARIANT empty;
  VariantInit(&empty);
  long desktop_window = 0;
  ComPtr<IDispatch> desktop;
  if (windows->FindWindowSW(&empty, &empty, SWC_DESKTOP, &desktop_window, SWFO_NEEDDISPATCH,
                            desktop.put()) != S_OK ||
      !desktop) {
    return {};
  }
  ComPtr<IShellBrowser> browser;
  const auto services = desktop.As<IServiceProvider>();
  if (!services || FAILED(services->QueryService(SID_STopLevelBrowser, __uuidof(IShellBrowser),
                                                 browser.put_void()))) {
    return {};
  }
  ComPtr<IShellView> view;
  if (FAILED(browser->QueryActiveShellView(view.put()))) return {};
  ComPtr<IDispatch> background;
  if (FAILED(view->GetItemObject(SVGIO_BACKGROUND, __uuidof(IDispatch), background.put_void()))) {
    return {};
  }
  return background.As<IShellFolderViewDual>();
}

bool OpenThroughDesktop(const wchar_t* target) {
  const ComPtr<IShellFolderViewDual> view = DesktopFolderView();
  if (!view) return false;
  ComPtr<IDispatch> application;
  if (FAILED(view->get_Application(application.put()))) return false;
  const auto shell = application.As<IShellDispatch2>();
  if (!shell) return false;
  const Bstr file(target);
  const Bstr operation(L"open");
  VARIANT empty;
  VariantInit(&empty);
  VARIANT verb;
  VariantInit(&verb);
  verb.vt = VT_BSTR;
  verb.bstrVal = operation.get();
  VARIANT show;
  VariantInit(&show);
  show.vt = VT_I4;
  show.lVal = SW_SHOWNORMAL;
  return file.get() != nullptr && operation.get() != nullptr &&
         SUCCEEDED(shell->ShellExecute(file.get(), empty, empty, verb, show));
}

}  // namespace

ShellOpenPath OpenAsDesktopUser(const wchar_t* target) {
  const ComApartment apartment;
  return apartment.usable() && OpenThroughDesktop(target) ? ShellOpenPath::kDesktopShell
                                                          : ShellOpenPath::kShellUnreachable;
}

}  // namespace kalvane
