#pragma once

#include <memory>

#include <QVariantMap>

#include "UserDefaults.h"

class QSettings;

// The user defaults over QSettings, with the registered defaults kept in memory for
// the life of this object. Every write is synced to disk at once.
class SettingsUserDefaults final : public UserDefaults {
public:
    // The application's own settings: organisation and application "Trimora".
    SettingsUserDefaults();
    // A settings file of its own, in INI format (tests, portable use).
    explicit SettingsUserDefaults(const QString& iniFile);
    ~SettingsUserDefaults() override;
    Q_DISABLE_COPY_MOVE(SettingsUserDefaults)

    void registerDefaults(const QVariantMap& defaults) override;
    std::int64_t integerForKey(const QString& key) const override;
    void setInteger(std::int64_t value, const QString& key) override;
    bool boolForKey(const QString& key) const override;
    void setBool(bool value, const QString& key) override;

private:
    QVariant value(const QString& key) const;
    void store(const QString& key, const QVariant& value);

    std::unique_ptr<QSettings> settings;
    QVariantMap registered;
};
