#pragma once

#include <QPixmap>
#include <QSize>

// The pictures of the adapter notice and the about box, drawn at run time so
// that the program ships no image files.
namespace HelpPictures {

// The adapter: a small board carrying a 40-pin zero-insertion-force socket.
QPixmap adapterBoard(QSize size = QSize(150, 107));
// The programmer with the adapter fitted and a 40-pin device in it.
QPixmap programmerWithAdapter(QSize size = QSize(280, 205));
// The maker's logo.
QPixmap makerLogo(QSize size = QSize(121, 80));

} // namespace HelpPictures
