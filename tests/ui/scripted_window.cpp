#include "scripted_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>

#include "ui/about_dialog.h"

namespace talvek::test {
namespace {

QString buttonName(QMessageBox& box, QAbstractButton* button) {
  switch (box.standardButton(button)) {
    case QMessageBox::Ok:
      return QStringLiteral("Ok");
    case QMessageBox::Yes:
      return QStringLiteral("Yes");
    case QMessageBox::No:
      return QStringLiteral("No");
    case QMessageBox::Cancel:
      return QStringLiteral("Cancel");
    default:
      return QStringLiteral("?");
  }
}

}  // namespace

ScriptedWindow::ScriptedWindow(const QString& programDirectory,
                               const std::string& commandLineFile) {
  window_ = std::make_unique<EncoderWindow>(
      DialogEnvironment{&options_, programDirectory.toStdString(), commandLineFile});
  window_->setModalRunner([this](QDialog& dialog) { return runModal(dialog); });
  window_->setDocumentOpener([this](const QUrl& url) {
    trace << QStringLiteral("document: ") + url.toLocalFile();
    return documentOpens;
  });
  window_->dialog().setTransformJob([this](std::string, std::string, std::string, bool encode, bool,
                                           JobReport*, const JobProgress&) {
    trace << (encode ? QStringLiteral("job: encode") : QStringLiteral("job: decode"));
    const QCursor* cursor = QApplication::overrideCursor();
    jobsUnderWaitCursor = jobsUnderWaitCursor && cursor && cursor->shape() == Qt::WaitCursor;
    return true;
  });
}

int ScriptedWindow::runModal(QDialog& dialog) {
  if (whileOpen) {
    auto once = std::move(whileOpen);
    whileOpen = nullptr;
    once(dialog);
  }
  if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
    BoxRecord record{box->text(), box->windowTitle(), box->icon(), {}, {}};
    for (QAbstractButton* button : box->buttons()) record.buttons << buttonName(*box, button);
    record.buttons.sort();
    record.defaultButton = buttonName(*box, box->defaultButton());
    boxes.push_back(record);
    trace << QStringLiteral("message: ") + box->text();
    QMessageBox::StandardButton answer = QMessageBox::Ok;
    if (!boxAnswers.empty()) {
      answer = boxAnswers.front();
      boxAnswers.pop_front();
    }
    if (QAbstractButton* button = box->button(answer)) button->click();
    return answer;
  }
  if (auto* files = qobject_cast<QFileDialog*>(&dialog)) {
    FileDialogRecord record{files->acceptMode(),    files->fileMode(),
                            files->nameFilters(),   files->selectedNameFilter(),
                            files->defaultSuffix(), {},
                            files->options(),       files->directory().absolutePath()};
    fileDialogs.push_back(record);
    const bool save = files->acceptMode() == QFileDialog::AcceptSave;
    trace << (save ? QStringLiteral("save: ") : QStringLiteral("open: ")) +
                 files->nameFilters().value(0);
    std::optional<QString> answer;
    if (!fileAnswers.empty()) {
      answer = fileAnswers.front();
      fileAnswers.pop_front();
    }
    if (!answer) return QDialog::Rejected;
    files->selectFile(*answer);
    return QDialog::Accepted;
  }
  if (qobject_cast<AboutDialog*>(&dialog) != nullptr) {
    trace << QStringLiteral("about");
    return QDialog::Accepted;
  }
  trace << QStringLiteral("unexpected dialog");
  return QDialog::Rejected;
}

QLineEdit* ScriptedWindow::edit(int id) {
  return controlAs<QLineEdit>(*window_, id);
}

QString ScriptedWindow::text(int id) {
  return edit(id)->text();
}

void ScriptedWindow::setText(int id, const QString& text) {
  edit(id)->setText(text);
}

}  // namespace talvek::test
