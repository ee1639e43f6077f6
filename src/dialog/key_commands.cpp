// The key commands: taking the key text from the password pair or the key
// file, and generating a new key file.
#include "dialog/browse_folder.h"
#include "dialog/dialog_texts.h"
#include "dialog/encoder_dialog.h"
#include "dialog/resource_ids.h"
#include "job/destination.h"
#include "keys/key_file_reader.h"
#include "keys/key_file_writer.h"
#include "keys/key_generator.h"
#include "platform/charset.h"

namespace talvek {

bool EncoderDialog::acquireKeyText(std::string& keyText) {
  if (window_.isChecked(IDC_USE_KEY_FILE)) {
    if (!readKeyFile(window_.controlText(IDC_KEY_FILE), keyText)) {
      showWarning(kInvalidKeyFile);
      return false;
    }
    return true;
  }
  // Used exactly as typed: case and spaces count, nothing is trimmed.
  const std::string password1 = window_.controlText(IDC_PASSWORD1);
  const std::string password2 = window_.controlText(IDC_PASSWORD2);
  if (password1 != password2) {
    showWarning(kPasswordsNotAcceptable);
    return false;
  }
  std::string password = password1;
  const std::string& charset = environment_.passwordCharset;
  if (!charset.empty()) {
    const std::string& from = environment_.passwordTextCharset;
    // A password that the other set cannot hold would silently become
    // another key: refused with its own message, so it is not retyped.
    if (convertCharset(password1, from.empty() ? localeCharset() : from, charset, password) !=
        CharsetConversion::Done) {
      showWarning(kPasswordNotConvertible + charset + "!");
      return false;
    }
  }
  // The length that counts is that of the bytes used.
  if (password.size() < 2) {
    showWarning(kPasswordsNotAcceptable);
    return false;
  }
  keyText = std::move(password);
  return true;
}

CommandResult EncoderDialog::onGenerateKey() {
  const FileDialogSpec description{"Morva~Key Files (*.mk)|*.mk|All Files (*.*)|*.*|", "*.mk", "mk",
                                   OFN_HIDEREADONLY,
                                   folderToBrowse(window_.controlText(IDC_KEY_FILE))};
  const std::optional<std::string> path = window_.saveFileDialog(description);
  if (!path) return CommandResult::Cancelled;

  switch (probeDestination(*path)) {
    case DestinationState::Exists:
      if (!askYesNo(kKeyFileExists)) return CommandResult::Refused;
      break;
    case DestinationState::NotCreatable:
      showWarning(kInvalidPath);
      return CommandResult::Refused;
    case DestinationState::Creatable:
      break;
  }

  const std::optional<std::string> keyText = generateKeyText();
  if (!keyText) {
    showWarning(kNoRandomNumbers);
    return CommandResult::Failed;
  }
  // The field names the file only once it holds the whole key.
  if (!writeKeyFile(*path, *keyText)) {
    showWarning(kInvalidPath);
    return CommandResult::Failed;
  }
  window_.setControlText(IDC_KEY_FILE, *path);
  return CommandResult::Done;
}

}  // namespace talvek
