#include "platform/qt/qt_settings_store.h"

#include <QSettings>
#include <QString>

namespace twinbook {

namespace {

QString Key(const std::string& section, const std::string& key) {
  return QString::fromStdString(section) + "/" + QString::fromStdString(key);
}

}  // namespace

QtSettingsStore::QtSettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                            "Twinbook", "Twinbook")) {}

QtSettingsStore::QtSettingsStore(const std::string& iniPath)
    : settings_(
          std::make_unique<QSettings>(QString::fromStdString(iniPath), QSettings::IniFormat)) {}

QtSettingsStore::~QtSettingsStore() = default;

std::optional<std::string> QtSettingsStore::Read(const std::string& section,
                                                 const std::string& key) {
  QVariant value = settings_->value(Key(section, key));
  if (!value.isValid()) {
    return std::nullopt;
  }
  // Values are written as texts, but QSettings reads an unquoted comma in a
  // hand-edited file as a list separator; put the text back together.
  if (value.typeId() == QMetaType::QStringList) {
    QStringList list = value.toStringList();
    return list.join(",").toStdString();
  }
  return value.toString().toStdString();
}

void QtSettingsStore::Write(const std::string& section, const std::string& key,
                            const std::string& value) {
  settings_->setValue(Key(section, key), QString::fromStdString(value));
  settings_->sync();
}

}  // namespace twinbook
