#include "ui/options_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <exception>

#include "environment/settings.h"
#include "ui/browse_dialog.h"
#include "ui/message_box.h"

namespace twinbook {

namespace {

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}
std::string Std(const QString& text) {
  return text.toStdString();
}

}  // namespace

OptionsDialog::OptionsDialog(RunContext& context, QWidget* parent)
    : QDialog(parent), context_(context) {
  setObjectName("ChangeSettings");
  setWindowTitle("Options");
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  BuildControls();
  LoadControls();
}

void OptionsDialog::BuildControls() {
  auto* layout = new QVBoxLayout(this);

  auto* top = new QHBoxLayout;
  auto* nameLabel = new QLabel("Outlook name field to match with the PhoneBook:", this);
  nameLabel->setObjectName("lbNameField");
  nameField_ = new QComboBox(this);
  nameField_->setObjectName("olNameField");
  nameField_->addItems({"File As", "Full Name"});
  nameLabel->setBuddy(nameField_);
  top->addWidget(nameLabel);
  top->addWidget(nameField_);
  top->addStretch();
  layout->addLayout(top);

  auto* files = new QGroupBox("Files", this);
  files->setObjectName("Files");
  auto* grid = new QGridLayout(files);
  int row = 0;
  auto addPath = [&](const char* labelName, const char* caption, const char* fieldName,
                     const char* buttonName) {
    auto* label = new QLabel(caption, files);
    label->setObjectName(labelName);
    auto* field = new QLineEdit(files);
    field->setObjectName(fieldName);
    field->setMinimumWidth(fontMetrics().horizontalAdvance(QString(48, 'x')));
    label->setBuddy(field);
    auto* button = new QPushButton("...", files);
    button->setObjectName(buttonName);
    button->setAutoDefault(false);
    button->setFixedWidth(fontMetrics().horizontalAdvance("......") + 12);
    grid->addWidget(label, row++, 0, 1, 2);
    grid->addWidget(field, row, 0);
    grid->addWidget(button, row++, 1);
    return std::pair{field, button};
  };
  auto [pbPath, browsePhoneBook] =
      addPath("lbPBPath", "Full path and name for the iDEN PhoneBook database:", "pbPath",
              "BrowsePhoneBook");
  auto [syPath, browseSync] =
      addPath("lbSyncPath", "Full path and name for the Sync database:", "SyPath", "BrowseSync");
  auto [lgPath, browseLog] =
      addPath("lblogpath", "Full path and name for the log file:", "lgPath", "BrowseLog");
  auto [ctPath, browseContacts] =
      addPath("lbContactsPath", "Full path of the contacts folder:", "ctPath", "BrowseContacts");
  pbPath_ = pbPath;
  syPath_ = syPath;
  lgPath_ = lgPath;
  ctPath_ = ctPath;
  layout->addWidget(files);

  // The pickers start from the stored setting, not from what the field
  // holds now.
  connect(browsePhoneBook, &QPushButton::clicked, this,
          [this] { Browse("PhoneBook Database", context_.settings().PhoneBookPath, pbPath_); });
  connect(browseSync, &QPushButton::clicked, this,
          [this] { Browse("Sync Database", context_.settings().SyncPath, syPath_); });
  connect(browseLog, &QPushButton::clicked, this,
          [this] { Browse("Log File", context_.settings().LogPath, lgPath_); });
  connect(browseContacts, &QPushButton::clicked, this,
          [this] { BrowseFolder("Contacts Folder", context_.settings().ContactsPath, ctPath_); });

  auto* options = new QHBoxLayout;

  auto* mask = new QGroupBox("Phone number masking for Outlook:", this);
  mask->setObjectName("PhoneMask");
  auto* maskLayout = new QVBoxLayout(mask);
  auto addOption = [&](const char* name, const char* caption) {
    auto* option = new QRadioButton(caption, mask);
    option->setObjectName(name);
    maskLayout->addWidget(option);
    return option;
  };
  none_ = addOption("none", "None: nnnnnnnnnn");
  parenth_ = addOption("parenth", "(nnn) nnn-nnnn");
  dashes_ = addOption("dashes", "nnn-nnn-nnnn");
  dots_ = addOption("dots", "nnn.nnn.nnnn");
  options->addWidget(mask);

  auto* right = new QVBoxLayout;
  auto* manager = new QGroupBox("Start the PhoneBook Manager:", this);
  manager->setObjectName("StartPhoneBook");
  auto* managerLayout = new QVBoxLayout(manager);
  pmBefore_ = new QCheckBox("Before each synchronization", manager);
  pmBefore_->setObjectName("StartPMBefore");
  pmAfter_ = new QCheckBox("After each synchronization", manager);
  pmAfter_->setObjectName("StartPMAfter");
  managerLayout->addWidget(pmBefore_);
  managerLayout->addWidget(pmAfter_);
  right->addWidget(manager);

  auto* capacity = new QGroupBox("Phone capacity:", this);
  capacity->setObjectName("PhoneCapacity");
  auto* capacityLayout = new QGridLayout(capacity);
  auto addCapacity = [&](int at, const char* labelName, const char* caption,
                         const char* fieldName) {
    auto* label = new QLabel(caption, capacity);
    label->setObjectName(labelName);
    auto* field = new QLineEdit(capacity);
    field->setObjectName(fieldName);
    field->setMaximumWidth(fontMetrics().horizontalAdvance(QString(8, '0')));
    label->setBuddy(field);
    capacityLayout->addWidget(label, at, 0);
    capacityLayout->addWidget(field, at, 1);
    return field;
  };
  maxNames_ = addCapacity(0, "lbMaxNames", "Capacity for names:", "MaxNames");
  maxNumbers_ = addCapacity(1, "lbMaxNumbers", "Capacity for numbers:", "MaxNumbers");
  right->addWidget(capacity);
  options->addLayout(right);
  layout->addLayout(options);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  auto* save = new QPushButton("Save", this);
  save->setObjectName("save");
  save->setDefault(true);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("cancel");
  cancel->setAutoDefault(false);
  buttons->addWidget(save);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);

  connect(save, &QPushButton::clicked, this, &OptionsDialog::SaveClicked);
  connect(cancel, &QPushButton::clicked, this, &OptionsDialog::close);
}

void OptionsDialog::LoadControls() {
  const Settings& settings = context_.settings();
  // The synchroniser also knows "Nickname" (and keeps whatever text is
  // stored); such a value is shown as it is, so that saving other changes
  // does not quietly switch the name field.
  int index = nameField_->findText(Text(settings.NameField));
  if (index < 0) {
    nameField_->addItem(Text(settings.NameField));
    index = nameField_->count() - 1;
  }
  nameField_->setCurrentIndex(index);

  switch (settings.MaskOption) {
    case 1:
      none_->setChecked(true);
      break;
    case 2:
      parenth_->setChecked(true);
      break;
    case 3:
      dashes_->setChecked(true);
      break;
    case 4:
      dots_->setChecked(true);
      break;
    default:
      break;
  }

  maxNames_->setText(QString::number(settings.NameLimit));
  maxNumbers_->setText(QString::number(settings.NumberLimit));
  pmBefore_->setChecked(settings.PMBefore);
  pmAfter_->setChecked(settings.PMAfter);
  pbPath_->setText(Text(settings.PhoneBookPath));
  syPath_->setText(Text(settings.SyncPath));
  lgPath_->setText(Text(settings.LogPath));
  ctPath_->setText(Text(settings.ContactsPath));
}

int OptionsDialog::GetMaskOption() const {
  if (none_->isChecked()) {
    return 1;
  }
  if (parenth_->isChecked()) {
    return 2;
  }
  if (dashes_->isChecked()) {
    return 3;
  }
  if (dots_->isChecked()) {
    return 4;
  }
  return 0;
}

void OptionsDialog::SaveClicked() {
  try {
    SettingsForm form;
    form.NameField = Std(nameField_->currentText());
    form.MaskOption = GetMaskOption();
    form.NameLimitText = Std(maxNames_->text());
    form.NumberLimitText = Std(maxNumbers_->text());
    form.PMBefore = pmBefore_->isChecked();
    form.PMAfter = pmAfter_->isChecked();
    form.PhoneBookPath = Std(pbPath_->text());
    form.SyncPath = Std(syPath_->text());
    form.LogPath = Std(lgPath_->text());
    form.ContactsPath = Std(ctPath_->text());
    RunState& state = context_.state;
    if (std::optional<std::string> refusal =
            SaveSettings(context_.platform.settings, form, state.ManagerPath)) {
      ShowMessageBox(this, *refusal);
      return;
    }
    // A run in progress keeps the settings it started with; it reloads them
    // when it ends.
    if (!state.RunInProgress) {
      state.settings = LoadSettingsWithDefaultsIn(context_.platform.settings, state.DataFolder());
    }
  } catch (const std::exception& error) {
    ShowMessageBox(this, std::string("The settings could not be saved: ") + error.what());
    return;
  }
  close();
}

void OptionsDialog::Browse(const QString& caption, const std::string& storedPath,
                           QLineEdit* field) {
  if (picker_) {
    picker_->close();
  }
  picker_ = new BrowseDialog(caption, Text(FolderOfPath(storedPath)), BrowseDialog::Mode::File,
                             field, this);
  picker_->show();
}

void OptionsDialog::BrowseFolder(const QString& caption, const std::string& storedFolder,
                                 QLineEdit* field) {
  if (picker_) {
    picker_->close();
  }
  picker_ = new BrowseDialog(caption, Text(storedFolder), BrowseDialog::Mode::Folder, field, this);
  picker_->show();
}

}  // namespace twinbook
