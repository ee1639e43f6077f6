// The dialog's command table, its start and close, and the message helpers
// the handlers share.
#include "dialog/encoder_dialog.h"

#include "dialog/destination_rule.h"
#include "dialog/dialog_texts.h"
#include "dialog/resource_ids.h"
#include "dialog/wait_cursor.h"
#include "platform/file_status.h"

namespace talvek {

EncoderDialog::EncoderDialog(WindowSystem& window, DialogEnvironment environment)
    : window_(window), environment_(std::move(environment)), job_(transformFile) {}

bool EncoderDialog::onCommand(int id) {
  switch (id) {
    case ID_HELP_MANUAL:
      onManual();
      return true;
    case ID_HELP_ABOUT:
      onAbout();
      return true;
    case ID_FILE_EXIT:
    case IDC_EXIT:
    case IDCANCEL:
      OnCancel();
      return true;
    case IDOK:
      OnOK();
      return true;
    case ID_TASK_ENCODE:
    case IDC_ENCODE:
      onEncode();
      return true;
    case ID_TASK_DECODE:
    case IDC_DECODE:
      onDecode();
      return true;
    case IDC_BROWSE_SOURCE:
      onOpenSource();
      return true;
    case IDC_BROWSE_DESTINATION:
      onSaveDestination();
      return true;
    case IDC_GENERATE_KEY:
      onGenerateKey();
      return true;
    case IDC_BROWSE_KEY_FILE:
      onOpenKey();
      return true;
    default:
      return false;
  }
}

bool EncoderDialog::OnInitDialog() {
  const int option = environment_.options ? environment_.options->loadOptType() : IDC_USE_PASSWORD;
  window_.checkButton(option == IDC_USE_KEY_FILE ? IDC_USE_KEY_FILE : IDC_USE_PASSWORD);

  const std::string& file = environment_.commandLineFile;
  if (!file.empty()) {
    WaitCursor cursor(window_);
    // Anything but a regular file is ignored without a message.
    if (isRegularFile(file)) fillFromSource(file);
  }
  return true;
}

void EncoderDialog::OnOK() {
  storeOption();
  window_.endDialog(IDOK);
}

void EncoderDialog::OnCancel() {
  storeOption();
  window_.endDialog(IDCANCEL);
}

void EncoderDialog::storeOption() {
  if (environment_.options) environment_.options->saveOptType(window_.isChecked(IDC_USE_PASSWORD));
}

void EncoderDialog::showWarning(const std::string& text) {
  window_.messageBox(text, kWarningCaption, kRefusalStyle);
}

bool EncoderDialog::askYesNo(const std::string& text) {
  return window_.messageBox(text, kWarningCaption, kOverwriteQuestionStyle) == IDYES;
}

void EncoderDialog::fillFromSource(const std::string& source) {
  window_.setControlText(IDC_SOURCE, source);
  window_.setControlText(IDC_DESTINATION, destinationForSource(source));
}

}  // namespace talvek
