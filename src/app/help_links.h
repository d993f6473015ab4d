#pragma once

#include <QString>
#include <QUrl>

namespace tessarix {

// Where a page shipped with the program lies: beside the program (a build folder), else in the
// installed program's data folder `programFolder`/../share/tessarix. A page found in neither
// place gets the path beside the program, so the message a person reads names the place the
// program looked first.
QString FindHelpFile(const QString& programFolder, const QString& name);

// FindHelpFile for the running program.
QString HelpFilePath(const QString& name);

// Opens a local document or page with the desktop's viewer. A missing file counts as a failure:
// the desktop's opener would report success and fail later where nobody sees it.
bool OpenLocalUrl(const QUrl& url);

// Whether the desktop says for certain that no program opens files of `mimeType`. The opener
// reports success as soon as it starts, whether or not it finds a viewer, so the desktop is asked
// first; when it cannot be asked the answer is false and the opener is tried.
bool NoViewerFor(const QString& mimeType);

// The "?" button on the user guide at `path`: opened, or a message saying that it is missing or
// that no program is set up to show PDF files.
bool OpenUserGuideAt(const QString& path);

// The "?" button: the user guide found by HelpFilePath.
bool OpenUserGuide();

// The "Internet" button: the tutorial page, or a message naming its address.
bool OpenTutorial();

inline constexpr const char* kUserGuideName = "TessarixManual.pdf";
inline constexpr const char* kTutorialName = "tutorial.html";
inline constexpr const char* kProjectPageName = "project.html";

}  // namespace tessarix
