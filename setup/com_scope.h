// COM for the current thread while the scope lasts (the shell's folder
// browser and shell links need it).
#pragma once

#include <objbase.h>

namespace qvx::setup {

class ComScope {
 public:
  ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  ~ComScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  // S_FALSE (already initialised on this thread) counts as success.
  bool ok() const { return SUCCEEDED(result_); }

 private:
  HRESULT result_;
};

}  // namespace qvx::setup
