// Movie frames arrive as DIBs whose stated size is whatever the file said. Anything accepted must
// come back unchanged through the display form.
#include <cstdint>
#include <cstring>
#include <optional>

#include "fuzz_support.h"
#include "imaging/dib.h"

using namespace tessarix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A stated size (kept small, the fuzzer is after the bounds) and raw rows.
  if (size < 4)
    return 0;
  Dib dib;
  uint16_t w = 0;
  uint16_t h = 0;
  std::memcpy(&w, data, 2);
  std::memcpy(&h, data + 2, 2);
  dib.width = w % 512;
  dib.height = h % 512;
  dib.bytes.assign(data + 4, data + size);
  const std::optional<Image> plain = FromDib(dib);
  if (plain) {
    if (plain->Width() != dib.width || plain->Height() != dib.height)
      fuzz::Fail("FromDib returned the wrong size");
    if (dib.bytes.size() < Dib::RowStride(dib.width) * dib.height)
      fuzz::Fail("FromDib accepted a buffer too short for its size");
    const std::optional<Dib> shown = ToDib(*plain);
    if (!shown)
      fuzz::Fail("an accepted DIB has no display form");
    const std::optional<Image> again = FromDib(*shown);
    if (!again || !(*again == *plain))
      fuzz::Fail("a DIB did not survive ToDib and FromDib");
  }
  return 0;
}
