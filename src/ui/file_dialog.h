// File dialogs described the Windows way: a "description|pattern|" filter
// string, an initial name, a default extension and OFN_ flags.
#pragma once

#include <QFileDialog>
#include <QSize>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace talvek {

struct FileDialogRequest {
  bool save = false;
  QString filter;  // "All Files (*.*)|*.*|Talvek Encoded Files (*.tc)|*.tc|"
  QString initialName;
  QString defaultExtension;  // without the dot; empty for none
  unsigned flags = 0;        // OFN_FILEMUSTEXIST, OFN_HIDEREADONLY ...
  QString initialDirectory;  // empty: Qt's choice
};

// Large enough to show the name, size, type and date of every file.
inline constexpr QSize kFileDialogSize{800, 500};

// Qt name filters for a Windows filter string. Each shows its description as
// written (the dialog hides the pattern part); "*.*" matches every file, as
// it does on Windows.
QStringList qtNameFilters(const QString& windowsFilter);

// A dialog that never asks about overwriting: the commands ask themselves.
// It opens in request.initialDirectory when that is given.
std::unique_ptr<QFileDialog> makeFileDialog(QWidget* owner, const FileDialogRequest& request);

// The full path the user chose, when the dialog ended with dialogCode Accepted.
std::optional<QString> chosenPath(const QFileDialog& dialog, int dialogCode);

}  // namespace talvek
