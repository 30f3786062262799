// Saving and restoring the user's clipboard.
#include "shell/clipboard_snapshot.h"

#include <cstring>

#include "platform/secure.h"
#include "win32ui/clipboard_text.h"

namespace qvx::shell {

namespace {

// Handles that are not memory blocks and cannot be duplicated here.
bool CannotBeKept(UINT format) {
  if (format == CF_OWNERDISPLAY || format == CF_PALETTE || format == CF_METAFILEPICT) return true;
  if (format >= CF_DSPTEXT && format <= CF_DSPENHMETAFILE) return true;
  if (format >= CF_PRIVATEFIRST && format <= CF_PRIVATELAST) return true;
  if (format >= CF_GDIOBJFIRST && format <= CF_GDIOBJLAST) return true;
  return win32ui::IsPrivateMarker(format);
}

}  // namespace

std::optional<ClipboardSnapshot> ClipboardSnapshot::Take(DWORD patience_ms) {
  ClipboardSnapshot snapshot;
  win32ui::ClipboardSession clipboard(patience_ms);
  if (!clipboard.open()) return std::nullopt;
  // A bitmap is made from a DIB by the system when the DIB comes back.
  const bool has_dib = IsClipboardFormatAvailable(CF_DIB) || IsClipboardFormatAvailable(CF_DIBV5);
  for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
    if (CannotBeKept(format)) continue;
    HANDLE data = GetClipboardData(format);
    if (data == nullptr) continue;
    if (format == CF_BITMAP) {
      if (has_dib) continue;
      HANDLE copy = CopyImage(data, IMAGE_BITMAP, 0, 0, 0);
      if (copy != nullptr) snapshot.bitmaps_.push_back({format, static_cast<HBITMAP>(copy)});
      continue;
    }
    if (format == CF_ENHMETAFILE) {
      HENHMETAFILE copy = CopyEnhMetaFileA(static_cast<HENHMETAFILE>(data), nullptr);
      if (copy != nullptr) snapshot.metafiles_.push_back({format, copy});
      continue;
    }
    const SIZE_T size = GlobalSize(data);
    const void* p = GlobalLock(data);
    if (p == nullptr) continue;
    const auto* bytes = static_cast<const unsigned char*>(p);
    snapshot.blocks_.push_back({format, std::vector<unsigned char>(bytes, bytes + size)});
    GlobalUnlock(data);
  }
  return std::optional<ClipboardSnapshot>(std::move(snapshot));
}

ClipboardSnapshot::~ClipboardSnapshot() {
  // The user's clipboard may have held a password of his own.
  for (Block& block : blocks_) SecureWipe(block.bytes.data(), block.bytes.size());
  for (const Bitmap& bitmap : bitmaps_) DeleteObject(bitmap.handle);
  for (const Metafile& metafile : metafiles_) DeleteEnhMetaFile(metafile.handle);
}

bool ClipboardSnapshot::Restore() const {
  win32ui::ClipboardSession clipboard;
  if (!clipboard.open() || !EmptyClipboard()) return false;
  bool all = true;
  for (const Block& block : blocks_) {
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, block.bytes.empty() ? 1 : block.bytes.size());
    void* p = copy != nullptr ? GlobalLock(copy) : nullptr;
    if (p == nullptr) {
      if (copy != nullptr) GlobalFree(copy);
      all = false;
      continue;
    }
    if (!block.bytes.empty()) std::memcpy(p, block.bytes.data(), block.bytes.size());
    GlobalUnlock(copy);
    if (SetClipboardData(block.format, copy) == nullptr) {
      GlobalFree(copy);
      all = false;
    }
  }
  // The clipboard owns what it takes: each restore hands over fresh copies.
  for (const Bitmap& bitmap : bitmaps_) {
    HANDLE copy = CopyImage(bitmap.handle, IMAGE_BITMAP, 0, 0, 0);
    if (copy == nullptr || SetClipboardData(bitmap.format, copy) == nullptr) {
      if (copy != nullptr) DeleteObject(copy);
      all = false;
    }
  }
  for (const Metafile& metafile : metafiles_) {
    HENHMETAFILE copy = CopyEnhMetaFileA(metafile.handle, nullptr);
    if (copy == nullptr || SetClipboardData(metafile.format, copy) == nullptr) {
      if (copy != nullptr) DeleteEnhMetaFile(copy);
      all = false;
    }
  }
  return all;
}

}  // namespace qvx::shell
