// The association store on this platform: an INI file in the user's configuration folder
// ($XDG_CONFIG_HOME/ferronel/registry.ini), read and written with QSettings. Each root is a top
// group; a key's "\" separators become groups.
#pragma once

#include "app/Associations.h"

#include <QSettings>
#include <QString>

namespace ferronel::qt {

// The store's file for the current environment.
QString RegistryFileName();

class TSettingsRegistry : public app::TRegistry {
public:
    explicit TSettingsRegistry(const QString& FileName);
    void SetRootKey(app::TRootKey Root) override;
    bool OpenKey(const std::string& Key, bool CanCreate) override;
    std::string ReadString(const std::string& Name) override;
    void WriteString(const std::string& Name, const std::string& Value) override;
    bool DeleteValue(const std::string& Name) override;

private:
    QString ValueKey(const std::string& Name) const;
    // Writes the file now, so a store that cannot be written is reported at the value that failed.
    void Commit(const std::string& Name);

    QSettings FSettings;
    QString FRoot = "HKEY_CURRENT_USER";
    QString FKey;
};

} // namespace ferronel::qt
