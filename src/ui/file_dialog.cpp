#include "ui/file_dialog.h"

#include <QEvent>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QTimer>
#include <QTreeView>
#include <algorithm>

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

// Fits the detail view's columns once the dialog is up and whenever a folder
// has been read: size, type and date to what they show, the name to the rest,
// so no column is cut short while there is room.
class ColumnFitter : public QObject {
 public:
  ColumnFitter(QFileDialog* dialog, QTreeView* view) : QObject(dialog), view_(view) {
    dialog->installEventFilter(this);
    if (auto* model = dialog->findChild<QFileSystemModel*>()) {
      connect(model, &QFileSystemModel::directoryLoaded, this, [this] { fit(); });
    }
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    // Once laid out at its size: the view's width is known after the show.
    if (event->type() == QEvent::Show) QTimer::singleShot(0, this, [this] { fit(); });
    return QObject::eventFilter(watched, event);
  }

 private:
  void fit() {
    const int columns = view_->header()->count();
    int others = 0;
    for (int column = 1; column < columns; ++column) {
      view_->resizeColumnToContents(column);
      others += view_->columnWidth(column);
    }
    // Long names may still be cut, but never below a third of the view.
    const int width = view_->viewport()->width();
    view_->setColumnWidth(0, std::max(width / 3, width - others));
  }

  QTreeView* view_;
};

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
  if (!request.initialDirectory.isEmpty()) dialog->setDirectory(request.initialDirectory);
  dialog->resize(kFileDialogSize);
  if (auto* view = dialog->findChild<QTreeView*>(QStringLiteral("treeView")))
    new ColumnFitter(dialog.get(), view);
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
