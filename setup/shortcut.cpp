// Shell links: IShellLinkA for the target, IPersistFile to save the .lnk file.
#include "setup/shortcut.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <vector>

namespace qvx::setup {

namespace {

// Releases a COM interface when the scope ends.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() {
    if (p_ != nullptr) p_->Release();
  }
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  void** out() { return reinterpret_cast<void**>(&p_); }

 private:
  T* p_ = nullptr;
};

std::wstring Wide(const std::string& text) {
  const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (n <= 0) return {};
  std::vector<wchar_t> wide(static_cast<std::size_t>(n));
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), n);
  return std::wstring(wide.data());
}

}  // namespace

bool CreateShortcut(const std::string& target, const std::string& description,
                    const std::string& link, MessageShow& messages) {
  ComPtr<IShellLinkA> shell_link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              shell_link.out()))) {
    messages.Show(Msg::CoCreateInstanceFailed);
    return false;
  }
  shell_link->SetPath(target.c_str());
  shell_link->SetDescription(description.c_str());
  ComPtr<IPersistFile> file;
  if (FAILED(shell_link->QueryInterface(IID_IPersistFile, file.out()))) {
    messages.Show(Msg::QueryInterfaceFailed);
    return false;
  }
  const std::wstring path = Wide(link);
  if (path.empty() || FAILED(file->Save(path.c_str(), TRUE))) {
    messages.Show(Msg::ShortcutSaveFailed);
    return false;
  }
  return true;
}

}  // namespace qvx::setup
