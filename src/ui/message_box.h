// Message boxes described by Windows MessageBox flags: the button set, the
// icon and the default button, with the answer as a Windows result code.
#pragma once

#include <QMessageBox>
#include <QString>
#include <memory>

namespace talvek {

std::unique_ptr<QMessageBox> makeMessageBox(QWidget* owner, const QString& text,
                                            const QString& caption, unsigned flags);

// IDOK, IDCANCEL, IDYES, IDNO ... for the button that closed the box; the
// box's escape answer when none was clicked.
int messageBoxAnswer(const QMessageBox& box);

}  // namespace talvek
