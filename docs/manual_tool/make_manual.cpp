// Renders the Markdown user guide into the PDF the program's "?" button opens.
// Usage: make_manual INPUT.md OUTPUT.pdf
#include <QFile>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>
#include <cstdio>

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_manual INPUT.md OUTPUT.pdf\n");
    return 2;
  }
  QFile input(QString::fromLocal8Bit(argv[1]));
  if (!input.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "make_manual: cannot read %s\n", argv[1]);
    return 1;
  }
  const QString markdown = QString::fromUtf8(input.readAll());

  const QString outputPath = QString::fromLocal8Bit(argv[2]);
  // Written under a temporary name so a failed run never leaves a half PDF behind.
  const QString partial = outputPath + ".part";
  {
    QPdfWriter writer(partial);
    writer.setTitle("Tessarix User Guide");
    writer.setCreator("Tessarix");
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(18, 18, 18, 18), QPageLayout::Millimeter);
    writer.setResolution(300);

    QTextDocument document;
    QFont font("Sans Serif");
    font.setPointSizeF(10.5);
    document.setDefaultFont(font);
    document.setMarkdown(markdown);
    document.print(&writer);
  }
  QFile::remove(outputPath);
  if (!QFile::rename(partial, outputPath)) {
    std::fprintf(stderr, "make_manual: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
