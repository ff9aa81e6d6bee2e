#include "qt/SettingsRegistry.h"

#include "host/Exceptions.h"
#include "host/Format.h"

#include <QStandardPaths>

namespace ferronel::qt {

QString RegistryFileName() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/ferronel/registry.ini";
}

TSettingsRegistry::TSettingsRegistry(const QString& FileName) : FSettings(FileName, QSettings::IniFormat) {}

void TSettingsRegistry::SetRootKey(app::TRootKey Root) {
    FRoot = Root == app::rkClassesRoot ? "HKEY_CLASSES_ROOT" : "HKEY_CURRENT_USER";
}

bool TSettingsRegistry::OpenKey(const std::string& Key, bool CanCreate) {
    QString path = QString::fromStdString(Key).replace('\\', '/');
    while (path.startsWith('/')) path.remove(0, 1);
    FKey = FRoot + "/" + path;
    if (CanCreate) return true; // an INI file has no empty keys; a key exists once it holds a value
    FSettings.beginGroup(FKey);
    const bool exists = !FSettings.allKeys().isEmpty();
    FSettings.endGroup();
    return exists;
}

QString TSettingsRegistry::ValueKey(const std::string& Name) const {
    return FKey + "/" + QString::fromStdString(Name);
}

std::string TSettingsRegistry::ReadString(const std::string& Name) {
    const QVariant value = FSettings.value(ValueKey(Name));
    if (!value.isValid()) return {};
    if (value.typeId() != QMetaType::QString) throw Exception(Format("Invalid data type for '%s'", {Name}));
    return value.toString().toStdString();
}

void TSettingsRegistry::WriteString(const std::string& Name, const std::string& Value) {
    FSettings.setValue(ValueKey(Name), QString::fromStdString(Value));
    Commit(Name);
}

bool TSettingsRegistry::DeleteValue(const std::string& Name) {
    if (!FSettings.contains(ValueKey(Name))) return false;
    FSettings.remove(ValueKey(Name));
    Commit(Name);
    return true;
}

void TSettingsRegistry::Commit(const std::string& Name) {
    FSettings.sync();
    if (FSettings.status() != QSettings::NoError) throw Exception(Format(app::RegistryWriteFailed, {Name}));
}

} // namespace ferronel::qt
