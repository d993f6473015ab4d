#include "engine/web_page.h"

#include <cstdio>
#include <filesystem>

#include "engine/output_names.h"
#include "engine/source_analysis.h"
#include "platform/atomic_file.h"
#include "platform/text_format.h"

namespace tessarix {
namespace {

constexpr const char* kScript =
    "<script language=\"javascript\">\r\n"
    "function U(F, Coords)\r\n"
    "{\r\n"
    "   var Z = document.getElementById(\"MyZoom\");\r\n"
    "   \r\n"
    "   Z.src =  F ;\r\n"
    "   Z.style.display = '';\r\n"
    "   var C = Coords;\r\n"
    "   \r\n"
    "   var Top    = C.substr(C.indexOf(\",\")+1, C.length);   \r\n"
    "   var Right  = Top.substr(Top.indexOf(\",\")+1, Top.length);\r\n"
    "\r\n"
    "   var Left   = C.substring(0, C.indexOf(\",\"));\r\n"
    "   var Top    = Top.substring(0, Top.indexOf(\",\"));\r\n"
    "   var Right  = Right.substring(0, Right.indexOf(\",\"));   \r\n"
    "   var Bottom = C.substr(C.lastIndexOf(\",\")+1, C.length);\r\n"
    "   \r\n"
    "   Z.style.left = Right;\r\n"
    "   Z.style.top  = Bottom;\r\n"
    "}\r\n"
    "\r\n"
    "</script>\r\n"
    "</head>\r\n"
    "\r\n"
    "<body style=\"margin: 0px;\">\r\n";

// Length of the UTF-8 sequence starting at text[i] and its code point; 0 when it is not a
// well-formed sequence.
size_t DecodeUtf8(const std::string& text, size_t i, uint32_t& codePoint) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  size_t length = 0;
  uint32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, codePoint = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, codePoint = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, codePoint = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (i + length > text.size())
    return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80)
      return 0;
    codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
  }
  if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
    return 0;
  return length;
}

}  // namespace

std::string HtmlEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      switch (c) {
        case '&':
          out += "&amp;";
          break;
        case '<':
          out += "&lt;";
          break;
        case '>':
          out += "&gt;";
          break;
        case '"':
          out += "&quot;";
          break;
        case '\'':
          out += "&#39;";
          break;
        default:
          out += c;
          break;
      }
      ++i;
      continue;
    }
    uint32_t codePoint = 0;
    const size_t length = DecodeUtf8(text, i, codePoint);
    if (length == 0) {
      codePoint = byte;  // not UTF-8: read the byte as Latin-1
      i += 1;
    } else {
      i += length;
    }
    out += Format("&#%u;", codePoint);
  }
  return out;
}

std::string FileUrl(const std::string& path) {
  std::error_code error;
  std::string absolute = std::filesystem::absolute(path, error).string();
  if (error)
    absolute = path;
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (const char c : absolute) {
    const auto byte = static_cast<unsigned char>(c);
    const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
    if (keep) {
      url += c;
    } else {
      url += '%';
      url += kHex[byte >> 4];
      url += kHex[byte & 0x0F];
    }
  }
  return url;
}

Status WriteWebPage(const std::vector<MosaicCell>& cells, const std::string& mosaicPath,
                    const std::string& outputBase, long webWidth, AtomicFile& file) {
  if (Status opened = file.Open(); !opened)
    return opened;
  const std::string title = WebPageBase(outputBase);

  const uint32_t mosaicWidth = MeasureCells(cells).width;
  const long displayWidth = webWidth < 10 ? 10 : (webWidth > 100000 ? 100000 : webWidth);
  // With no cell on the picture no area line is written, so any scale serves.
  const double scale = mosaicWidth > 0 ? static_cast<double>(displayWidth) / mosaicWidth : 0.0;

  std::FILE* out = file.Stream();
  std::fputs(Format("<html>\r\n<head>\r\n<title>%s created by Tessarix</title>\r\n<meta "
                    "http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">\r\n",
                    HtmlEscape(title).c_str())
                 .c_str(),
             out);
  std::fputs(kScript, out);
  std::fputs(Format("<img style=\"position: absolute; left: 0px; top: 0px; width: %ldpx; height: "
                    "%ldpx; border: 1px solid black; display: none\" id= \"MyZoom\" src=\"\" "
                    "height=\"128\" width=\"128\" /> \r\n",
                    300L, 200L)
                 .c_str(),
             out);
  std::fputs(Format("<img src=\"%s\" border=0 width=%ld usemap=\"#Map\">\r\n<map name=\"Map\">\r\n",
                    HtmlEscape(FileUrl(mosaicPath)).c_str(), displayWidth)
                 .c_str(),
             out);
  for (const MosaicCell& cell : cells) {
    if (cell.assigned == nullptr)
      continue;
    const auto scaled = [scale](uint64_t v) {
      return static_cast<long>(static_cast<double>(v) * scale);
    };
    std::fputs(Format("  <area onmouseover=\"U(this.href, this.coords);\" shape=\"rect\" "
                      "coords=\"%ld,%ld,%ld,%ld\" href=\"%s\" target=\"_blank\">\r\n",
                      scaled(cell.left), scaled(cell.top), scaled(uint64_t{cell.left} + cell.width),
                      scaled(uint64_t{cell.top} + cell.height),
                      HtmlEscape(FileUrl(cell.assigned->path)).c_str())
                   .c_str(),
               out);
  }
  std::fputs("</map>\r\n</body>\r\n</html>\r\n", out);
  return file.Finish();
}

Status WriteWebPage(const std::vector<MosaicCell>& cells, const std::string& mosaicPath,
                    const std::string& outputBase, long webWidth) {
  AtomicFile file(WebPageFileName(outputBase));
  if (Status written = WriteWebPage(cells, mosaicPath, outputBase, webWidth, file); !written)
    return written;
  return file.Commit();
}

}  // namespace tessarix
