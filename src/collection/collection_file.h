#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "collection/image_collection.h"
#include "platform/failure.h"

namespace tessarix {

// Reads the file at collection.filePath, replacing the entries. The image folder becomes the
// folder the file lies in, and every stored path is re-based onto it. A file that could be
// opened is noted in collection.fileSeen, and collection.fileUnreadable says whether it was of
// another version. Success when the file's entries are in the collection; otherwise why not:
//   kWrongVersion  "Wrong File version!" was shown at once; the collection is empty but usable
//   kCannotRead    no such file or not readable, with the errno; the collection is cleared
//   kNotAFile      a folder, FIFO, device or socket, refused unopened; the collection is cleared
//   kDamaged       cut short or inconsistent; the collection is cleared
Status LoadCollectionFile(ImageCollection& collection);

// Writes the collection to collection.filePath, or through it to the file its symbolic links end
// at. The previous file is replaced only by a complete new one; when it cannot be written the
// failure with the operating system's error (ENOENT for no file name, ENAMETOOLONG for a text
// longer than the format holds, EIO when a write failed without a reason), the previous file
// untouched.
Status SaveCollection(const ImageCollection& collection);

// The string field of the file: u8 length below 255, u8 255 + u16 below 65534, else
// u8 255 + u16 65535 + u32; then the bytes. Appended to `out`.
void AppendStringField(std::vector<uint8_t>& out, const std::string& text);

}  // namespace tessarix
