#pragma once

#include <QIcon>
#include <QPixmap>

namespace tessarix {

// The program's logo, a 4 x 4 grid of coloured tiles, drawn at `size` pixels square. The same
// picture ships as docs/tessarix.svg for the desktop's menus.
QPixmap LogoPixmap(int size);

// The logo at the sizes window managers ask for.
QIcon ProgramIcon();

}  // namespace tessarix
