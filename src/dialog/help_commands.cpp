// The Help menu: the manual next to the program, and the About box.
#include "dialog/dialog_texts.h"
#include "dialog/encoder_dialog.h"
#include "platform/file_status.h"

namespace talvek {

void EncoderDialog::onManual() {
  std::string path = environment_.programDirectory;
  if (path.empty() || path.back() != '/') path += '/';
  path += "Manual.html";
  // A missing manual is reported here: the desktop's opener would not say.
  if (!isRegularFile(path) || !window_.openDocument(path)) {
    window_.messageBox(kNoHelp, kNoHelpCaption, MB_OK | MB_ICONHAND);
  }
}

void EncoderDialog::onAbout() {
  window_.showAbout();
}

}  // namespace talvek
