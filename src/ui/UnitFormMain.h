#pragma once
// The main window: folder tree, file list and preview above; the sizing and naming settings,
// the two command buttons and the processing log below.

#include <QByteArray>
#include <QWidget>
#include <string>
#include <vector>

#include "core/jpeg/decoder_memory.h"
#include "core/rules/output_naming.h"
#include "core/rules/thumbnail_request.h"
#include "ui/CommandGuard.h"

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace velmora {

class TFileListBox;
class TRzSelectFolderDialog;
class TRzShellTree;
class TSplitter;

class TFormMain : public QWidget {
  Q_OBJECT

 public:
  explicit TFormMain(QWidget* parent = nullptr);

  QFrame* Panel1;
  QLabel* Label7;
  QPushButton* BTNAbout;
  QPushButton* BTNHomePage;
  TSplitter* Splitter1;
  TSplitter* Splitter2;
  QFrame* Panel2;
  TSplitter* Splitter3;
  TRzShellTree* ShellTreeView1;
  TFileListBox* FileListBox1;
  QFrame* Panel3;
  QGroupBox* GroupBox5;
  QLabel* Image1;
  QLabel* LabFile;
  QGroupBox* GroupBox2;
  QGroupBox* GroupBox3;
  QRadioButton* rb1;
  QLineEdit* editRate;
  QLabel* Label1;
  QRadioButton* rb2;
  QLineEdit* editHH;
  QLabel* Label8;
  QRadioButton* rb3;
  QLineEdit* editWW;
  QLabel* Label9;
  QRadioButton* rb4;
  QLabel* Label2;
  QLineEdit* editH;
  QLabel* Label10;
  QLabel* Label3;
  QLineEdit* editW;
  QLabel* Label11;
  QRadioButton* rb5;
  QLabel* Label4;
  QLineEdit* editQH;
  QLabel* Label12;
  QLabel* Label5;
  QLineEdit* editQW;
  QLabel* Label13;
  QGroupBox* GroupBox6;
  QRadioButton* rbname1;
  QLineEdit* Edit2;
  QRadioButton* rbname2;
  QPushButton* BtnSF;
  QLineEdit* ePath;
  QGroupBox* GroupBox7;
  QPushButton* SpeedButton1;
  QPushButton* SpeedButton2;
  QGroupBox* GroupBox4;
  QProgressBar* ProgressBar1;
  QPlainTextEdit* Memo1;
  TRzSelectFolderDialog* RzSelectFolderDialog1;

  void FormCreate();
  void FormResize();
  void ShellTreeView1Change();
  void FileListBox1Change();
  void rb1Click();
  void rb2Click();
  void rb3Click();
  void rb4Click();
  void rb5Click();
  void editRateChange();
  void editHHChange();
  void editWWChange();
  void editHChange();
  void editWChange();
  void editQHChange();
  void editQWChange();
  void rbname1Click();
  void rbname2Click();
  void BtnSFClick();
  void SpeedButton1Click();
  void SpeedButton2Click();
  void BTNAboutClick();
  void BTNHomePageClick();

  // One thumbnail, its line in the log.
  void MakeThumbnail(const ThumbnailRequest& request);
  // True when a command may go on; otherwise the reason has been shown.
  bool CheckRunPreconditions();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  // A close requested while a command runs takes effect once the command has ended.
  void closeEvent(QCloseEvent* event) override;

 private:
  void setupWidgets();
  void setupTopPanel();
  void setupBrowsing();
  void setupSettings();
  void setupSizingGroup();
  void setupNamingGroup();
  void setupFieldNames();
  void setupCommandGroup();
  void setupLogGroup();
  void setupTabOrder();
  void setupLooks();
  void setupConnections();

  void enableSizingFields(SizingMode mode);
  // Checks the field once no command runs.
  void validateNumericField(QLineEdit* field);
  // The field's check, now: a text it refuses gets the field's notice and becomes "100".
  // True when the text stands.
  bool correctNumericField(QLineEdit* field);
  // The fields the chosen sizing rule reads.
  std::vector<QLineEdit*> chosenSizingFields() const;
  // Runs the checks of chosenSizingFields(); false after the first one that refused.
  bool sizingFieldsValid();
  void pointFileListAtTree(bool relist);
  SizingRequest sizingRequest() const;
  NamingSettings namingSettings() const;
  std::string treePath() const;
  QByteArray outputFolderBytes() const;
  void centreOnDesktop();

  // Commands and dialogs, one at a time; list and field changes wait for the command's end.
  CommandGuard guard_{this};
  // The output folder last chosen, as the file system spells it; ePath shows it decoded.
  QByteArray outputFolder_;
  // The program's one decoder budget, shared by the preview and both commands.
  DecoderMemoryBudget decoderMemory_;
};

}  // namespace velmora
