#include "app/link_name.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextDocumentFragment>

namespace tessarix {
namespace {

// The page's <title>, as plain text on one line; empty when there is none.
QString HtmlTitle(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return {};
  // The head comes first; a page is not read whole for its title.
  const QString head = QString::fromUtf8(file.read(64 * 1024));
  static const QRegularExpression title(
      "<title[^>]*>(.*?)</title>",
      QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
  const QRegularExpressionMatch match = title.match(head);
  if (!match.hasMatch())
    return {};
  return QTextDocumentFragment::fromHtml(match.captured(1)).toPlainText().simplified();
}

}  // namespace

QString LinkDisplayName(const QString& path) {
  const QFileInfo info(path);
  const QString suffix = info.suffix().toLower();
  if (suffix == "html" || suffix == "htm") {
    const QString title = HtmlTitle(path);
    if (!title.isEmpty())
      return title;
  }
  return info.fileName();
}

}  // namespace tessarix
