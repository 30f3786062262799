// The user's clipboard kept aside while a text operation borrows the
// clipboard to copy and paste, and put back afterwards. Every format whose
// data can be copied is kept: memory blocks (text, images as DIB, file lists,
// registered formats of other programs), bitmaps and enhanced metafiles.
// Formats that only name a window or a GDI object the owner keeps (owner
// display, palettes, private handles) cannot be copied and are left out, as
// are the program's own privacy markers.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <vector>

namespace qvx::shell {

class ClipboardSnapshot {
 public:
  // What the clipboard holds now (an empty snapshot when it holds nothing);
  // nullopt when it could not be opened within `patience_ms`: a snapshot
  // that was not taken must never be put back, or it would wipe the user's
  // clipboard. The kept data is wiped when the snapshot goes.
  static std::optional<ClipboardSnapshot> Take(DWORD patience_ms);

  ClipboardSnapshot() = default;
  ClipboardSnapshot(ClipboardSnapshot&&) noexcept = default;
  ClipboardSnapshot& operator=(ClipboardSnapshot&&) noexcept = default;
  ClipboardSnapshot(const ClipboardSnapshot&) = delete;
  ClipboardSnapshot& operator=(const ClipboardSnapshot&) = delete;
  ~ClipboardSnapshot();

  // Replaces the clipboard's contents with copies of the kept formats (an
  // empty snapshot empties it). False when the clipboard could not be opened
  // or a format was refused.
  bool Restore() const;

  std::size_t formats() const { return blocks_.size() + bitmaps_.size() + metafiles_.size(); }

 private:
  struct Block {
    UINT format;
    std::vector<unsigned char> bytes;
  };
  struct Bitmap {
    UINT format;
    HBITMAP handle;
  };
  struct Metafile {
    UINT format;
    HENHMETAFILE handle;
  };
  std::vector<Block> blocks_;
  std::vector<Bitmap> bitmaps_;
  std::vector<Metafile> metafiles_;
};

}  // namespace qvx::shell
