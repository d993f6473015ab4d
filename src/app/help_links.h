#pragma once

#include <QString>
#include <QUrl>

namespace tessarix {

// The pages shipped with the program: beside the program file (a build folder), else in the
// installed documentation folder. Missing pages still get the path beside the program, so the
// message a person reads names the place the program looked first.
QString HelpFilePath(const QString& name);

// Opens a local document or page with the desktop's viewer. A missing file counts as a failure:
// the desktop's opener would report success and fail later where nobody sees it.
bool OpenLocalUrl(const QUrl& url);

// The "?" button: "TessarixManual.pdf" beside the program, or a message saying it is missing.
bool OpenUserGuide();

// The "Internet" button: the tutorial page, or a message naming its address.
bool OpenTutorial();

inline constexpr const char* kUserGuideName = "TessarixManual.pdf";
inline constexpr const char* kTutorialName = "tutorial.html";
inline constexpr const char* kProjectPageName = "project.html";

}  // namespace tessarix
