#include "collection/collection_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <optional>

#include "platform/atomic_file.h"
#include "platform/file_closer.h"
#include "platform/file_identity.h"
#include "platform/link_target.h"
#include "platform/user_prompt.h"

namespace tessarix {
namespace {

constexpr uint32_t kFormatTag = 108;
constexpr uint8_t kColorMark = 1;
// Everything of a record but its path string: five u32, the mark, the mean and the thumbnail.
constexpr uint64_t kRecordTail = 5 * 4 + 1 + 4 + kThumbPixels * 4;
constexpr uint16_t kWideMark = 65534;
constexpr uint16_t kLongMark = 65535;

void AppendU16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void AppendU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// Reads the file through a buffer and knows how many bytes are left, so that no stored length
// or count is believed before the bytes behind it are known to exist.
class Reader {
 public:
  explicit Reader(std::FILE* file) : file_(file) {
    if (std::fseek(file_, 0, SEEK_END) == 0) {
      const long size = std::ftell(file_);
      if (size > 0)
        left_ = static_cast<uint64_t>(size);
    }
    std::rewind(file_);
  }

  uint64_t Left() const { return left_; }

  bool Bytes(void* out, uint64_t n) {
    if (n > left_)
      return false;
    if (n != 0 && std::fread(out, 1, static_cast<size_t>(n), file_) != n)
      return false;
    left_ -= n;
    return true;
  }

  bool U8(uint8_t& v) { return Bytes(&v, 1); }
  bool U16(uint16_t& v) {
    uint8_t b[2];
    if (!Bytes(b, 2))
      return false;
    v = static_cast<uint16_t>(b[0] | (b[1] << 8));
    return true;
  }
  bool U32(uint32_t& v) {
    uint8_t b[4];
    if (!Bytes(b, 4))
      return false;
    v = uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
    return true;
  }

  // The length prefix of a string field; `wide` is set by the UTF-16 announcement.
  bool Length(uint32_t& n, bool& wide) {
    wide = false;
    uint8_t shortLength = 0;
    if (!U8(shortLength))
      return false;
    if (shortLength < 255) {
      n = shortLength;
      return true;
    }
    uint16_t mediumLength = 0;
    if (!U16(mediumLength))
      return false;
    if (mediumLength == kWideMark) {
      wide = true;
      return true;
    }
    if (mediumLength < kLongMark) {
      n = mediumLength;
      return true;
    }
    return U32(n);
  }

  bool String(std::string& out) {
    uint32_t n = 0;
    bool wide = false;
    if (!Length(n, wide))
      return false;
    if (!wide) {
      if (n > left_)
        return false;
      out.resize(n);
      return Bytes(out.data(), n);
    }
    // A second announcement would describe nothing: the inner prefix must be a count of units.
    bool wideAgain = false;
    if (!Length(n, wideAgain) || wideAgain)
      return false;
    if (uint64_t{n} * 2 > left_)
      return false;
    std::vector<uint16_t> units(n);
    for (uint16_t& u : units) {
      if (!U16(u))
        return false;
    }
    out = Utf16ToUtf8(units);
    return true;
  }

 private:
  static void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }

  // Unpaired surrogates become U+FFFD rather than invalid UTF-8.
  static std::string Utf16ToUtf8(const std::vector<uint16_t>& units) {
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
      const uint32_t u = units[i];
      if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
          units[i + 1] <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00));
        ++i;
      } else if (u >= 0xD800 && u <= 0xDFFF) {
        AppendUtf8(out, 0xFFFD);
      } else {
        AppendUtf8(out, u);
      }
    }
    return out;
  }

  std::FILE* file_;
  uint64_t left_ = 0;
};

// The stored path moved from the stored folder onto the folder the file lies in now. The part
// after the stored folder of a file written on Windows (stored folder ending in a backslash) has
// its backslashes turned into slashes. A path outside the stored folder cannot be moved and is
// kept as it was.
std::string Rebase(const std::string& stored, const std::string& storedFolder,
                   const std::string& folder) {
  if (stored.compare(0, storedFolder.size(), storedFolder) != 0)
    return stored;
  std::string rest = stored.substr(storedFolder.size());
  if (!storedFolder.empty() && storedFolder.back() == '\\') {
    for (char& c : rest) {
      if (c == '\\')
        c = '/';
    }
  }
  return folder + rest;
}

bool ReadEntry(Reader& in, CollectionEntry& entry) {
  uint8_t mark = 0;
  uint32_t portrait = 0;
  if (!in.String(entry.path) || !in.U32(entry.modificationTime) || !in.U32(entry.fileSize) ||
      !in.U32(entry.pixelWidth) || !in.U32(entry.pixelHeight) || !in.U32(portrait) ||
      !in.U8(mark) || mark != kColorMark || !in.U32(entry.info.average)) {
    return false;
  }
  uint8_t grid[kThumbPixels * 4];
  if (!in.Bytes(grid, sizeof grid))
    return false;
  for (uint32_t i = 0; i < kThumbPixels; ++i) {
    const uint8_t* p = grid + 4 * i;
    entry.info.grid[i] =
        uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
  }
  // The stored mean is not trusted: the thumbnail is what the distances compare.
  RecomputeColorInfo(entry.info);
  entry.portrait = portrait != 0;
  entry.valid = 1;
  entry.sequenceNumber = 0;
  entry.required = false;
  return true;
}

Status ReadCollection(Reader& in, ImageCollection& collection) {
  const Failure damaged{FailureKind::kDamaged, collection.filePath, 0, {}};
  const uint32_t expected[3] = {kFormatTag, kThumbWidth, kThumbHeight};
  for (const uint32_t want : expected) {
    uint32_t value = 0;
    if (!in.U32(value))
      return damaged;
    if (value != want) {
      // The load goes on with an empty collection, so this is said now.
      Prompt().ShowMessage("Wrong File version!", MessageIcon::Warning);
      collection.SetLoadedDescription();
      return Failure{FailureKind::kWrongVersion, collection.filePath, 0, {}};
    }
  }
  std::string storedFolder;
  std::string storedFile;
  if (!in.String(storedFolder) || !in.String(storedFile))
    return damaged;

  const size_t slash = collection.filePath.rfind('/');
  collection.imageFolder =
      slash == std::string::npos ? storedFolder : collection.filePath.substr(0, slash + 1);

  uint32_t count = 0;
  if (!in.U32(count))
    return damaged;
  // Every record takes at least a one-byte path length plus its fixed part; a count the file
  // cannot hold is refused before anything is read or allocated.
  if (uint64_t{count} * (1 + kRecordTail) > in.Left())
    return damaged;
  for (uint32_t k = 0; k < count; ++k) {
    auto entry = std::make_unique<CollectionEntry>();
    if (!ReadEntry(in, *entry))
      return damaged;
    entry->path = Rebase(entry->path, storedFolder, collection.imageFolder);
    collection.Add(std::move(entry));
  }
  collection.MarkFramesAndRequired();
  collection.SetLoadedDescription();
  return {};
}

}  // namespace

void AppendStringField(std::vector<uint8_t>& out, const std::string& text) {
  const size_t n = text.size();
  if (n < 255) {
    out.push_back(static_cast<uint8_t>(n));
  } else if (n < kWideMark) {
    out.push_back(255);
    AppendU16(out, static_cast<uint16_t>(n));
  } else {
    out.push_back(255);
    AppendU16(out, kLongMark);
    AppendU32(out, static_cast<uint32_t>(n));
  }
  out.insert(out.end(), text.begin(), text.end());
}

Status LoadCollectionFile(ImageCollection& collection) {
  collection.ClearEntries();
  const std::string path = collection.filePath;
  const auto fail = [&](FailureKind kind, int error) {
    collection.Clear();
    return Failure{kind, path, error, {}};
  };
  // A FIFO would block the read until some writer came, a device might never end: anything but a
  // regular file is refused before it is opened, and once more after, in case it was swapped.
  const std::optional<FileIdentity> named = IdentifyFile(collection.filePath);
  if (!named)
    return fail(FailureKind::kCannotRead, errno);
  if (!named->regular)
    return fail(FailureKind::kNotAFile, 0);
  const int descriptor = open(collection.filePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0)
    return fail(FailureKind::kCannotRead, errno);
  const std::optional<FileIdentity> opened = IdentifyOpenFile(descriptor);
  if (!opened || !opened->regular) {
    close(descriptor);
    return fail(FailureKind::kNotAFile, 0);
  }
  std::unique_ptr<std::FILE, FileCloser> file(fdopen(descriptor, "rb"));
  if (!file) {
    const int error = errno;
    close(descriptor);
    return fail(FailureKind::kCannotRead, error);
  }
  Reader in(file.get());
  Status read = ReadCollection(in, collection);
  if (!read && read.Why().kind == FailureKind::kDamaged)
    return fail(FailureKind::kDamaged, 0);
  collection.fileSeen = opened;
  collection.fileUnreadable = !read;
  return read;
}

Status SaveCollection(const ImageCollection& collection) {
  const std::string& path = collection.filePath;
  const auto refuse = [&path](int error) {
    return Failure{FailureKind::kRefused, path, error, {}};
  };
  if (collection.filePath.empty())
    return refuse(ENOENT);
  // Texts longer than the widest length field cannot be written faithfully.
  const auto tooLong = [](const std::string& s) { return s.size() > UINT32_MAX; };
  if (tooLong(collection.imageFolder) || tooLong(collection.filePath))
    return refuse(ENAMETOOLONG);

  // Replacing a symbolic link by a plain file would leave the file it points to stale.
  AtomicFile file(FollowLinks(collection.filePath));
  const auto fail = [&file](Status failed) {
    Failure failure = failed ? file.Failed(FailureKind::kCannotWrite) : failed.Why();
    if (failure.systemError == 0)
      failure.systemError = EIO;
    return failure;
  };
  if (Status opened = file.Open(); !opened)
    return fail(opened);
  std::FILE* out = file.Stream();

  std::vector<uint8_t> bytes;
  AppendU32(bytes, kFormatTag);
  AppendU32(bytes, kThumbWidth);
  AppendU32(bytes, kThumbHeight);
  AppendStringField(bytes, collection.imageFolder);
  AppendStringField(bytes, collection.filePath);
  AppendU32(bytes, static_cast<uint32_t>(collection.Size()));
  for (size_t i = 0; i < collection.Size(); ++i) {
    const CollectionEntry& e = collection.Entry(i);
    if (tooLong(e.path))
      return refuse(ENAMETOOLONG);
    AppendStringField(bytes, e.path);
    AppendU32(bytes, e.modificationTime);
    AppendU32(bytes, e.fileSize);
    AppendU32(bytes, e.pixelWidth);
    AppendU32(bytes, e.pixelHeight);
    AppendU32(bytes, e.portrait ? 1 : 0);
    bytes.push_back(kColorMark);
    AppendU32(bytes, e.info.average);
    for (const Pixel p : e.info.grid) AppendU32(bytes, p);
    // Hand the bytes over in pieces so a large collection never sits in memory twice.
    if (bytes.size() >= 16384) {
      if (std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size())
        return fail({});
      bytes.clear();
    }
  }
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size())
    return fail({});
  if (Status committed = file.Commit(); !committed)
    return fail(committed);
  return {};
}

}  // namespace tessarix
