#pragma once

// System calls looked up at run time rather than imported: a call that an older Windows (or
// Wine) lacks would otherwise keep the program from starting, or end it when called.

#include <windows.h>

namespace kalvane {

// `name` in `module` as a function of type Function; nullptr when the module lacks it.
template <typename Function>
Function FunctionIn(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The same from a system DLL the program has loaded already (kernel32, user32).
template <typename Function>
Function LoadedSystemFunction(const wchar_t* module, const char* name) {
  return FunctionIn<Function>(GetModuleHandleW(module), name);
}

}  // namespace kalvane
