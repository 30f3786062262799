// Entry points of the PPMd codec: one model and one stream per call.
#include "engine/ppmd/ppmd.h"

#include <new>

#include "engine/ppmd/byte_stream.h"
#include "engine/ppmd/decoder.h"
#include "engine/ppmd/encoder.h"
#include "engine/ppmd/model.h"

namespace qvx::ppmd {

namespace {

Error NoMemory() { return MakeError(Errc::OutOfMemory, "out of memory in the PPMd codec"); }

}  // namespace

Status CompressAppend(const std::uint8_t* data, std::size_t size, SecureBytes& out) {
  return CompressAppend(data, size, out, HeapModelAllocator());
}

Status CompressAppend(const std::uint8_t* data, std::size_t size, SecureBytes& out,
                      ModelAllocator& allocator) {
  try {
    ChunkedBuffer stream;
    {
      Model model(allocator);
      if (Status st = model.Allocate(static_cast<std::uint32_t>(kModelMemory)); !st) return st;
      Encoder encoder(model, kModelOrder, stream);
      encoder.Encode(data, size);
      encoder.Finish();
    }  // the model is wiped and released before the output is assembled
    stream.MoveAppendTo(out);
    return Ok();
  } catch (const std::bad_alloc&) {
    return NoMemory();
  }
}

Result<SecureBytes> Decompress(const std::uint8_t* data, std::size_t size, OutputLimit limit) {
  return Decompress(data, size, limit, HeapModelAllocator());
}

Result<SecureBytes> Decompress(const std::uint8_t* data, std::size_t size,
                               ModelAllocator& allocator) {
  return Decompress(data, size, OutputLimit{}, allocator);
}

Result<SecureBytes> Decompress(const std::uint8_t* data, std::size_t size, OutputLimit limit,
                               ModelAllocator& allocator, DecodeProgress* progress) {
  try {
    ChunkedBuffer text(limit.bytes);
    {
      Model model(allocator);
      if (Status st = model.Allocate(static_cast<std::uint32_t>(kModelMemory)); !st) return st.error();
      MemorySource source(data, size);
      Decoder decoder(model, kModelOrder, source);
      if (Status st = decoder.DecodeAll(text, limit.bytes, progress); !st) return st.error();
    }
    SecureBytes out;
    text.MoveAppendTo(out);
    return out;
  } catch (const std::bad_alloc&) {
    return NoMemory();
  }
}

}  // namespace qvx::ppmd
