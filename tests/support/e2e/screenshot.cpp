// GDI screen capture and PNG encoding through the Windows Imaging Component.
#include "tests/support/e2e/screenshot.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "tests/support/e2e/process.h"

namespace qvx::e2e {

namespace {

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() {
    if (p_ != nullptr) p_->Release();
  }
  T** out() { return &p_; }
  T* operator->() const { return p_; }
  T* get() const { return p_; }

 private:
  T* p_ = nullptr;
};

std::wstring Widen(const std::string& s) {
  std::wstring w(s.size(), L'\0');
  const int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), w.data(),
                                    static_cast<int>(w.size()));
  w.resize(static_cast<std::size_t>(std::max(n, 0)));
  return w;
}

bool WritePng(const std::string& path, const ScreenImage& image) {
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  bool ok = false;
  {
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    UINT width = static_cast<UINT>(image.width), height = static_cast<UINT>(image.height);
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGR;
    std::vector<BYTE> bgr(image.pixels.size() * 4);
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
      const std::uint32_t p = image.pixels[i];
      bgr[i * 4 + 0] = static_cast<BYTE>(p & 0xFF);
      bgr[i * 4 + 1] = static_cast<BYTE>((p >> 8) & 0xFF);
      bgr[i * 4 + 2] = static_cast<BYTE>((p >> 16) & 0xFF);
      bgr[i * 4 + 3] = 0xFF;
    }
    ok = SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IWICImagingFactory,
                                    reinterpret_cast<void**>(factory.out()))) &&
         SUCCEEDED(factory->CreateStream(stream.out())) &&
         SUCCEEDED(stream->InitializeFromFilename(Widen(path).c_str(), GENERIC_WRITE)) &&
         SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.out())) &&
         SUCCEEDED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) &&
         SUCCEEDED(encoder->CreateNewFrame(frame.out(), nullptr)) &&
         SUCCEEDED(frame->Initialize(nullptr)) && SUCCEEDED(frame->SetSize(width, height)) &&
         SUCCEEDED(frame->SetPixelFormat(&format)) &&
         SUCCEEDED(frame->WritePixels(height, width * 4, static_cast<UINT>(bgr.size()), bgr.data())) &&
         SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
  }
  if (SUCCEEDED(init)) CoUninitialize();
  return ok;
}

std::string TestName() {
  const auto* info = testing::UnitTest::GetInstance()->current_test_info();
  if (info == nullptr) return "run";
  std::string name = std::string(info->test_suite_name()) + "-" + info->name();
  for (char& c : name) {
    if (c == '/' || c == '\\' || c == ':' || c == ' ') c = '_';
  }
  return name;
}

}  // namespace

std::string ScreenshotFolder() {
  if (const char* dir = std::getenv("QVX_SCREENSHOT_DIR"); dir != nullptr && *dir) return dir;
  return QVX_SCREENSHOT_DIR;
}

ScreenImage CaptureScreen(const RECT& area) {
  ScreenImage image;
  image.width = std::max<LONG>(0, area.right - area.left);
  image.height = std::max<LONG>(0, area.bottom - area.top);
  if (image.width == 0 || image.height == 0) return image;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, image.width, image.height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, image.width, image.height, screen, area.left, area.top, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = image.width;
  bmi.bmiHeader.biHeight = -image.height;  // top-down rows
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
  GetDIBits(memory, bitmap, 0, static_cast<UINT>(image.height), image.pixels.data(), &bmi,
            DIB_RGB_COLORS);
  for (auto& p : image.pixels) p &= 0x00FFFFFF;
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return image;
}

ScreenImage RenderIcon(HICON icon, int size, std::uint32_t background) {
  ScreenImage image;
  image.width = image.height = size;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = size;
  bmi.bmiHeader.biHeight = -size;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  auto* px = static_cast<std::uint32_t*>(bits);
  std::fill(px, px + size * size, background);
  DrawIconEx(memory, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
  GdiFlush();
  image.pixels.assign(px, px + size * size);
  for (auto& p : image.pixels) p &= 0x00FFFFFF;
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return image;
}

bool ContainsPicture(const ScreenImage& haystack, const ScreenImage& picture, int tolerance) {
  auto close = [tolerance](std::uint32_t a, std::uint32_t b) {
    for (int shift = 0; shift < 24; shift += 8) {
      const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
      if (std::abs(d) > tolerance) return false;
    }
    return true;
  };
  const int total = picture.width * picture.height;
  const int allowed_misses = total / 20;
  for (int y = 0; y + picture.height <= haystack.height; ++y) {
    for (int x = 0; x + picture.width <= haystack.width; ++x) {
      int misses = 0;
      for (int py = 0; py < picture.height && misses <= allowed_misses; ++py) {
        for (int px = 0; px < picture.width && misses <= allowed_misses; ++px) {
          if (!close(haystack.at(x + px, y + py), picture.at(px, py))) ++misses;
        }
      }
      if (misses <= allowed_misses) return true;
    }
  }
  return false;
}

bool SaveScreenshotTo(HWND window, const std::string& path) {
  RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (window != nullptr) {
    // Let the window finish painting first.
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored);
    GetWindowRect(window, &area);
  }
  Sleep(150);
  return WritePng(path, CaptureScreen(area));
}

std::string SaveScreenshot(HWND window, std::string_view what) {
  static std::map<std::string, int> used;
  std::string name = TestName() + "-" + std::string(what);
  const int n = ++used[name];
  if (n > 1) name += "-" + std::to_string(n);
  CreateDirectoryA(ScreenshotFolder().c_str(), nullptr);
  const std::string path = ScreenshotFolder() + "\\" + name + ".png";
  return SaveScreenshotTo(window, path) ? path : std::string();
}

void RemoveScreenshots(const std::string& prefix) {
  const std::string folder = ScreenshotFolder();
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA((folder + "\\" + prefix + "*.png").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    DeleteFileA((folder + "\\" + found.cFileName).c_str());
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

}  // namespace qvx::e2e
