#include "ui/conflict_dialog.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace twinbook {

namespace {

// One row of either side: its caption, the object-name stems that follow the
// side's prefix ("olbl"/"plbl" for the label, "ol"/"pb" for the boxes), and
// its fields.
struct Row {
  const char* caption;
  const char* stem;
  const char* speedStem;  // nullptr: the row has no speed box
  std::string ConflictBoxes::*number;
  std::string ConflictBoxes::*speed;
};

const std::array<Row, 10> kRows = {{
    {"Name ..................", "Name", nullptr, &ConflictBoxes::ContactName, nullptr},
    {"Work 2 ................", "Work2", "Work2Speed", &ConflictBoxes::Work2Number,
     &ConflictBoxes::Work2Speed},
    {"Direct Connect ....", "DirectConnect", "DCSpeed", &ConflictBoxes::DCNumber,
     &ConflictBoxes::DCSpeed},
    {"Home ..................", "Home", "HomeSpeed", &ConflictBoxes::HomeNumber,
     &ConflictBoxes::HomeSpeed},
    {"Work 1 ................", "Work1", "Work1Speed", &ConflictBoxes::Work1Number,
     &ConflictBoxes::Work1Speed},
    {"Mobile .................", "Mobile", "MobileSpeed", &ConflictBoxes::MobileNumber,
     &ConflictBoxes::MobileSpeed},
    {"Fax ......................", "Fax", "FaxSpeed", &ConflictBoxes::FaxNumber,
     &ConflictBoxes::FaxSpeed},
    {"Pager ..................", "Pager", "PagerSpeed", &ConflictBoxes::PagerNumber,
     &ConflictBoxes::PagerSpeed},
    {"Other ...................", "Other", "OtherSpeed", &ConflictBoxes::OtherNumber,
     &ConflictBoxes::OtherSpeed},
    {"Email ...................", "Email", "EmailSpeed", &ConflictBoxes::EmailAddress,
     &ConflictBoxes::EmailSpeed},
}};

// The position of each field in a side's box array, in ConflictBoxes order.
std::array<std::string ConflictBoxes::*, 19> FieldOrder() {
  std::array<std::string ConflictBoxes::*, 19> order{};
  size_t next = 0;
  for (const Row& row : kRows) {
    order[next++] = row.number;
    if (row.speed != nullptr) {
      order[next++] = row.speed;
    }
  }
  return order;
}

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

ConflictDialog::ConflictDialog(const ConflictQuestion& question, QWidget* parent)
    : QDialog(parent) {
  setObjectName("TwinbookConflict");
  setWindowTitle("Conflict");
  setModal(true);

  auto* sides = new QHBoxLayout(this);
  struct SideLayout {
    const char* frame;
    const char* caption;
    const char* prefix;
    const char* labelPrefix;
    const ConflictBoxes* values;
    SideBoxes* boxes;
    const char* button;
    const char* buttonCaption;
    ConflictAnswer::Keep keep;
  };
  for (const SideLayout& side :
       {SideLayout{"OutlookData", "Outlook Data", "ol", "olbl", &question.outlook, &outlook_,
                   "KeepOutlook", "Keep &Outlook Data", ConflictAnswer::Keep::Outlook},
        SideLayout{"PhoneBookData", "PhoneBook Data", "pb", "plbl", &question.phoneBook,
                   &phoneBook_, "KeepPhoneBook", "Keep &PhoneBook Data",
                   ConflictAnswer::Keep::PhoneBook}}) {
    auto* column = new QVBoxLayout;
    column->addWidget(BuildSide(side.frame, side.caption, side.prefix, side.labelPrefix,
                                *side.values, *side.boxes));
    auto* button = new QPushButton(side.buttonCaption, this);
    button->setObjectName(side.button);
    // Enter in a box must not pick a side by accident; the buttons answer
    // to a click, Space and their mnemonics.
    button->setAutoDefault(false);
    button->setMinimumWidth(button->sizeHint().width() + fontMetrics().horizontalAdvance("xxxxxx"));
    const ConflictAnswer::Keep keep = side.keep;
    connect(button, &QPushButton::clicked, this, [this, keep] { Keep(keep); });
    column->addWidget(button, 0, Qt::AlignHCenter);
    sides->addLayout(column);
  }
  for (size_t field = 0; field < outlook_.size(); ++field) {
    for (QLineEdit* box : {outlook_[field], phoneBook_[field]}) {
      connect(box, &QLineEdit::textChanged, this, [this, field] { MarkField(field); });
    }
    MarkField(field);
  }
}

void ConflictDialog::MarkField(size_t field) {
  const bool differs = outlook_[field]->text() != phoneBook_[field]->text();
  for (QLineEdit* box : {outlook_[field], phoneBook_[field]}) {
    box->setProperty("differs", differs);
    QFont font = box->font();
    font.setBold(differs);
    box->setFont(font);
  }
}

QGroupBox* ConflictDialog::BuildSide(const char* frameName, const char* caption, const char* prefix,
                                     const char* labelPrefix, const ConflictBoxes& values,
                                     SideBoxes& boxes) {
  auto* frame = new QGroupBox(caption, this);
  frame->setObjectName(frameName);
  auto* grid = new QGridLayout(frame);

  auto* speeds = new QLabel("Speed Dial", frame);
  speeds->setObjectName(std::string(prefix) == "ol" ? "olbSpeeds" : "plbSpeeds");
  grid->addWidget(speeds, 0, 2, Qt::AlignHCenter);

  const QFontMetrics metrics(font());
  const int valueWidth = metrics.horizontalAdvance(QString(24, '0'));
  const int speedWidth =
      std::max(metrics.horizontalAdvance("Speed Dial"), metrics.horizontalAdvance(QString(4, '0')));
  size_t next = 0;
  int gridRow = 1;
  for (const Row& row : kRows) {
    auto* label = new QLabel(row.caption, frame);
    label->setObjectName(QString(labelPrefix) + row.stem);
    grid->addWidget(label, gridRow, 0);

    auto* value = new QLineEdit(Text(values.*row.number), frame);
    value->setObjectName(QString(prefix) + row.stem);
    value->setMinimumWidth(valueWidth);
    label->setBuddy(value);
    grid->addWidget(value, gridRow, 1);
    boxes[next++] = value;

    if (row.speed != nullptr) {
      auto* speed = new QLineEdit(Text(values.*row.speed), frame);
      speed->setObjectName(QString(prefix) + row.speedStem);
      speed->setFixedWidth(speedWidth);
      grid->addWidget(speed, gridRow, 2);
      boxes[next++] = speed;
    }
    ++gridRow;
  }
  return frame;
}

ConflictBoxes ConflictDialog::ValuesOf(const SideBoxes& boxes) {
  static const std::array<std::string ConflictBoxes::*, 19> order = FieldOrder();
  ConflictBoxes values;
  for (size_t i = 0; i < order.size(); ++i) {
    values.*order[i] = boxes[i]->text().toStdString();
  }
  return values;
}

void ConflictDialog::Keep(ConflictAnswer::Keep side) {
  answer_ =
      ConflictAnswer{side, ValuesOf(side == ConflictAnswer::Keep::Outlook ? outlook_ : phoneBook_)};
  accept();
}

std::optional<ConflictAnswer> ConflictDialog::Ask(const ConflictQuestion& question,
                                                  QWidget* parent) {
  ConflictDialog dialog(question, parent);
  dialog.exec();
  return dialog.answer();
}

}  // namespace twinbook
