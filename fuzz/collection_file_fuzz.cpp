// Collection files arrive from other machines and half-finished copies. Whatever the bytes, the
// reader must end with a usable (or cleared) collection, and whatever it accepted must survive a
// save and a second load unchanged.
#include <cstdint>
#include <cstdio>

#include "collection/collection_file.h"
#include "collection/image_collection.h"
#include "fuzz_support.h"

using namespace tessarix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzz::ScratchFile input(".tzc");
  static const fuzz::ScratchFile copy(".tzc");
  if (!input.Write(data, size))
    return 0;

  ImageCollection first;
  first.filePath = input.Path();
  if (!LoadCollectionFile(first)) {
    if (!first.IsEmpty())
      fuzz::Fail("a refused file left entries behind");
    return 0;
  }
  if (first.imageFolder != input.Folder())
    fuzz::Fail("the image folder is not the folder the file lies in");
  if (first.PathIndex().size() != first.Size())
    fuzz::Fail("path index and list disagree");

  // The copy lies in the same folder, so re-basing on the second load changes nothing.
  first.filePath = copy.Path();
  if (!SaveCollection(first))
    fuzz::Fail("a loaded collection could not be saved");
  ImageCollection second;
  second.filePath = copy.Path();
  if (!LoadCollectionFile(second))
    fuzz::Fail("a saved collection did not load");
  if (second.Size() != first.Size())
    fuzz::Fail("entry count changed by a save and load");
  for (size_t i = 0; i < first.Size(); ++i) {
    const CollectionEntry& a = first.Entry(i);
    const CollectionEntry& b = second.Entry(i);
    if (a.path != b.path || a.modificationTime != b.modificationTime || a.fileSize != b.fileSize ||
        a.pixelWidth != b.pixelWidth || a.pixelHeight != b.pixelHeight ||
        a.portrait != b.portrait || !(a.info == b.info) || a.sequenceNumber != b.sequenceNumber ||
        a.required != b.required) {
      fuzz::Fail("an entry changed by a save and load");
    }
  }
  std::remove(copy.Path().c_str());
  return 0;
}
