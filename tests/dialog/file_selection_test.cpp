#include <gtest/gtest.h>
#include <sys/stat.h>

#include "dialog/window_constants.h"
#include "dialog_fixture.h"

namespace talvek::test {
namespace {

class FileSelectionTest : public DialogTest {
 protected:
  void fillFields() {
    window_.texts = {{IDC_SOURCE, "s"}, {IDC_DESTINATION, "d"}, {IDC_KEY_FILE, "k"}};
  }
  std::vector<std::string> fields() {
    return {window_.controlText(IDC_SOURCE), window_.controlText(IDC_DESTINATION),
            window_.controlText(IDC_KEY_FILE)};
  }
};

TEST_F(FileSelectionTest, EachDialogHasItsKindFilterNameExtensionAndFlags) {
  window_.fileChoices = {std::nullopt, std::nullopt, std::nullopt};
  fillFields();
  dialog_->onOpenSource();
  dialog_->onSaveDestination();
  dialog_->onOpenKey();
  ASSERT_EQ(window_.fileDialogs.size(), 3u);
  EXPECT_FALSE(window_.fileDialogs[0].save);
  EXPECT_EQ(window_.fileDialogs[0].description,
            (FileDialogSpec{"All Files (*.*)|*.*|Talvek Encoded Files (*.tc)|*.tc|", "*.*", "",
                            0x1004, ""}));
  EXPECT_TRUE(window_.fileDialogs[1].save);
  EXPECT_EQ(window_.fileDialogs[1].description,
            (FileDialogSpec{"Talvek Encoded Files (*.tc)|*.tc|All Files (*.*)|*.*|", "*.tc", "tc",
                            0x4, ""}));
  EXPECT_FALSE(window_.fileDialogs[2].save);
  EXPECT_EQ(
      window_.fileDialogs[2].description,
      (FileDialogSpec{"All Files (*.*)|*.*|Morva~Key Files (*.mk)|*.mk|", "*.*", "", 0x1004, ""}));
  // Cancelled dialogs change nothing.
  EXPECT_EQ(fields(), (std::vector<std::string>{"s", "d", "k"}));
  EXPECT_TRUE(window_.messages.empty());
}

TEST_F(FileSelectionTest, EachDialogOpensInTheFolderOfItsFieldWhenThereIsOne) {
  ASSERT_EQ(::mkdir(dir_.file("sub").c_str(), 0700), 0);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {dir_.file("sub/missing.doc"), dir_.file("sub")},  // the file need not exist
      {dir_.file("sub"), dir_.file("sub")},              // a folder is its own
      {"/report.doc", "/"},
      {dir_.file("gone/x.tc"), ""},
      {"bare.mk", ""},
      {"", ""},
  };
  for (const auto& [field, folder] : cases) {
    window_.texts = {{IDC_SOURCE, field}, {IDC_DESTINATION, field}, {IDC_KEY_FILE, field}};
    window_.fileChoices = {std::nullopt, std::nullopt, std::nullopt, std::nullopt};
    window_.fileDialogs.clear();
    dialog_->onOpenSource();
    dialog_->onSaveDestination();
    dialog_->onOpenKey();
    dialog_->onGenerateKey();
    ASSERT_EQ(window_.fileDialogs.size(), 4u);
    for (const ShownFileDialog& shown : window_.fileDialogs) {
      EXPECT_EQ(shown.description.initialDirectory, folder) << field;
    }
  }
}

TEST_F(FileSelectionTest, ChoosingASourceProposesItsDestination) {
  fillFields();
  window_.fileChoices = {"/data/report.doc", "/data/REPORT.TC"};
  dialog_->onOpenSource();
  EXPECT_EQ(fields(), (std::vector<std::string>{"/data/report.doc", "/data/report.doc.tc", "k"}));
  dialog_->onOpenSource();
  EXPECT_EQ(fields(), (std::vector<std::string>{"/data/REPORT.TC", "/data/REPORT", "k"}));
}

TEST_F(FileSelectionTest, ChoosingADestinationOrAKeyTouchesOnlyItsField) {
  fillFields();
  window_.checkButton(IDC_USE_PASSWORD);
  window_.fileChoices = {"/out/x.tc", "/keys/a.mk"};
  dialog_->onSaveDestination();
  dialog_->onOpenKey();
  EXPECT_EQ(fields(), (std::vector<std::string>{"s", "/out/x.tc", "/keys/a.mk"}));
  EXPECT_EQ(window_.checkedButton, IDC_USE_PASSWORD);
}

TEST_F(FileSelectionTest, ADropUsesOnlyTheFirstItemAndOnlyARegularFile) {
  writeFile(dir_.file("a.tc"), "a");
  writeFile(dir_.file("b"), "b");
  fillFields();
  dialog_->onDropFiles({});
  dialog_->onDropFiles({dir_.path(), dir_.file("b")});
  dialog_->onDropFiles({dir_.file("missing")});
  EXPECT_EQ(fields(), (std::vector<std::string>{"s", "d", "k"}));

  dialog_->onDropFiles({dir_.file("a.tc"), dir_.file("b"), dir_.path()});
  EXPECT_EQ(fields(), (std::vector<std::string>{dir_.file("a.tc"), dir_.file("a"), "k"}));
  EXPECT_TRUE(window_.messages.empty());
}

}  // namespace
}  // namespace talvek::test
