#include "app/tool_windows.h"

#include <QLabel>
#include <optional>

#include "app/collection_window.h"
#include "app/movie_extraction_window.h"
#include "app/photo_utilities_window.h"
#include "app/wait_cursor.h"
#include "movie/frame_extraction.h"
#include "movie/movie_stream.h"
#include "platform/user_prompt.h"
#include "window_logic/failure_texts.h"

namespace tessarix {

void OpenMovieExtraction(QWidget* parent, QLabel* statusLine) {
  // The analysis goes on in timer slices while a modal window is open, and the extraction would
  // stall it for as long as it runs: one at a time.
  if (const auto* collectionWindow = qobject_cast<const CollectionWindow*>(parent);
      collectionWindow != nullptr && collectionWindow->AnalysisRunning())
    return;
  const std::optional<std::string> path = ChooseMovieFile();
  if (!path)
    return;
  MovieStream stream;
  {
    WaitCursor wait;
    if (const Status opened = stream.Open(*path); !opened) {
      for (const std::string& text : MovieOpenFailureTexts(opened.Why()))
        Prompt().ShowMessage(text, MessageIcon::Stop);
      return;
    }
  }
  ExtractionFields fields;
  {
    MovieExtractionWindow window(stream, parent);
    if (window.exec() != QDialog::Accepted)
      return;
    fields = window.Fields();
  }
  // A cut-out that does not fit is refused before any frame is read; its message is not waited
  // on.
  std::optional<WaitCursor> wait;
  if (uint64_t{fields.posX} + fields.sizeX <= stream.Width() &&
      uint64_t{fields.posY} + fields.sizeY <= stream.Height())
    wait.emplace();
  // No events are taken while the frames are written, so the status line paints each text at
  // once or not at all.
  const ExtractionResult result =
      ExtractFrames(stream, *path, fields, [statusLine](const std::string& text) {
        if (statusLine == nullptr)
          return;
        statusLine->setText(QString::fromStdString(text));
        statusLine->repaint();
      });
  if (!result.status) {
    if (const std::optional<std::string> text = ExtractionStopText(result.status.Why()))
      Prompt().ShowMessage(*text, MessageIcon::Warning);
  }
}

void OpenPhotoUtilities(QWidget* parent) {
  PhotoUtilitiesWindow window(parent);
  window.exec();
}

}  // namespace tessarix
