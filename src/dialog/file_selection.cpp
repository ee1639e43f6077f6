// Filling the path fields from the file dialogs and from files dropped on
// the window. Nothing here checks the paths: the commands do when they run.
#include "dialog/browse_folder.h"
#include "dialog/destination_rule.h"
#include "dialog/encoder_dialog.h"
#include "dialog/resource_ids.h"
#include "dialog/window_constants.h"
#include "platform/file_status.h"

namespace talvek {

void EncoderDialog::onOpenSource() {
  const FileDialogSpec description{"All Files (*.*)|*.*|Talvek Encoded Files (*.tc)|*.tc|", "*.*",
                                   "", OFN_FILEMUSTEXIST | OFN_HIDEREADONLY,
                                   folderToBrowse(window_.controlText(IDC_SOURCE))};
  if (const auto path = window_.openFileDialog(description)) fillFromSource(*path);
}

void EncoderDialog::onSaveDestination() {
  const FileDialogSpec description{"Talvek Encoded Files (*.tc)|*.tc|All Files (*.*)|*.*|", "*.tc",
                                   "tc", OFN_HIDEREADONLY,
                                   folderToBrowse(window_.controlText(IDC_DESTINATION))};
  if (const auto path = window_.saveFileDialog(description)) {
    window_.setControlText(IDC_DESTINATION, *path);
  }
}

void EncoderDialog::onOpenKey() {
  const FileDialogSpec description{"All Files (*.*)|*.*|Morva~Key Files (*.mk)|*.mk|", "*.*", "",
                                   OFN_FILEMUSTEXIST | OFN_HIDEREADONLY,
                                   folderToBrowse(window_.controlText(IDC_KEY_FILE))};
  // The option buttons stay as they are: the user still chooses the key file.
  if (const auto path = window_.openFileDialog(description))
    window_.setControlText(IDC_KEY_FILE, *path);
}

void EncoderDialog::onDropFiles(const std::vector<std::string>& paths) {
  // Only the first item counts, and only when it is a regular file.
  if (paths.empty() || !isRegularFile(paths.front())) return;
  fillFromSource(paths.front());
}

}  // namespace talvek
