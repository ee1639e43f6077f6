#include "ui/file_dialog.h"

#include "dialog/window_constants.h"

namespace talvek {
namespace {

bool hasWildcard(const QString& name) {
  return name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'));
}

QString qtPatterns(const QString& windowsPatterns) {
  QStringList patterns;
  for (const QString& pattern : windowsPatterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
    const QString trimmed = pattern.trimmed();
    // Windows matches "*.*" against names without a dot too.
    patterns << (trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
  }
  return patterns.join(QLatin1Char(' '));
}

}  // namespace

QStringList qtNameFilters(const QString& windowsFilter) {
  // Every field ends with '|'; what follows the last one is no field.
  QStringList fields = windowsFilter.split(QLatin1Char('|'));
  fields.removeLast();
  QStringList filters;
  for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
    const QString& description = fields[i];
    const QString& pattern = fields[i + 1];
    if (description.isEmpty() && pattern.isEmpty()) break;
    // Qt reads the patterns from the last parentheses; the description,
    // which may carry parentheses of its own, is all that is shown.
    filters << QStringLiteral("%1 (%2)").arg(description, qtPatterns(pattern));
  }
  return filters;
}

std::unique_ptr<QFileDialog> makeFileDialog(QWidget* owner, const FileDialogRequest& request) {
  auto dialog = std::make_unique<QFileDialog>(owner);
  // The built-in dialog everywhere, so filters and answers behave alike on
  // every desktop.
  dialog->setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite |
                     QFileDialog::HideNameFilterDetails);
  dialog->setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog->setFileMode((request.flags & OFN_FILEMUSTEXIST) != 0 ? QFileDialog::ExistingFile
                                                               : QFileDialog::AnyFile);
  const QStringList filters = qtNameFilters(request.filter);
  if (!filters.isEmpty()) {
    dialog->setNameFilters(filters);
    dialog->selectNameFilter(filters.first());
  }
  dialog->setDefaultSuffix(request.defaultExtension);
  // A wildcard name such as "*.*" only repeats the selected filter; typed
  // into the name box it would be taken for a file name.
  if (!request.initialName.isEmpty() && !hasWildcard(request.initialName)) {
    dialog->selectFile(request.initialName);
  }
  return dialog;
}

std::optional<QString> chosenPath(const QFileDialog& dialog, int dialogCode) {
  if (dialogCode != QDialog::Accepted) return std::nullopt;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty() || files.first().isEmpty()) return std::nullopt;
  return files.first();
}

}  // namespace talvek
