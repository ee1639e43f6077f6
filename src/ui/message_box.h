// Message boxes described by Windows MessageBox flags: the button set, the
// icon and the default button, with the answer as a Windows result code.
#pragma once

#include <QMessageBox>
#include <QString>
#include <memory>

namespace talvek {

// At least captionRoom() wide, so the title bar shows the whole caption.
std::unique_ptr<QMessageBox> makeMessageBox(QWidget* owner, const QString& text,
                                            const QString& caption, unsigned flags);

// The width a title bar needs for a caption: the text in a bold face of the
// font (as window managers draw captions), with room for the window's icon
// and its title-bar buttons. Qt's own allowance is too small for them.
int captionRoom(const QString& caption, const QFont& font);

// IDOK, IDCANCEL, IDYES, IDNO ... for the button that closed the box; the
// box's escape answer when none was clicked.
int messageBoxAnswer(const QMessageBox& box);

}  // namespace talvek
