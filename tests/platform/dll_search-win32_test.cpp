#include "platform/dll_search-win32.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace kalvane {
namespace {

// Built beside this test program, as a planted DLL would lie beside Kalvane.exe.
constexpr wchar_t kPlanted[] = L"kalvane_planted.dll";

bool LoadsByName() {
  HMODULE module = LoadLibraryW(kPlanted);
  if (module == nullptr) return false;
  FreeLibrary(module);
  return true;
}

// The restriction is read back through its effect, the only way Windows offers: a DLL beside the
// program loads by name before it and not after it. The search is put back for the other tests.
TEST(DllSearch, ADllBesideTheProgramNoLongerLoadsByName) {
  ASSERT_TRUE(LoadsByName()) << "the planted DLL must load without the restriction";
  EXPECT_TRUE(RestrictDllSearchToSystemFolder().ok());
  EXPECT_FALSE(LoadsByName());
  // System DLLs still load by name.
  HMODULE dnsapi = LoadLibraryW(L"dnsapi.dll");
  EXPECT_NE(dnsapi, nullptr);
  if (dnsapi != nullptr) FreeLibrary(dnsapi);

  using SetDefault = BOOL(WINAPI*)(DWORD);
  const auto reset = reinterpret_cast<SetDefault>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  ASSERT_NE(reset, nullptr);
  reset(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS | LOAD_LIBRARY_SEARCH_APPLICATION_DIR);
  EXPECT_TRUE(LoadsByName());
}

}  // namespace
}  // namespace kalvane
