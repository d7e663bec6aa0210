#include "SettingsUserDefaults.h"

#include <QSettings>

#include "PlatformLog.h"

SettingsUserDefaults::SettingsUserDefaults()
    : settings(std::make_unique<QSettings>(QStringLiteral("Trimora"), QStringLiteral("Trimora")))
{
}

SettingsUserDefaults::SettingsUserDefaults(const QString& iniFile)
    : settings(std::make_unique<QSettings>(iniFile, QSettings::IniFormat))
{
}

SettingsUserDefaults::~SettingsUserDefaults() = default;

void SettingsUserDefaults::registerDefaults(const QVariantMap& defaults)
{
    for (auto it = defaults.constBegin(); it != defaults.constEnd(); ++it)
        registered.insert(it.key(), it.value());
}

QVariant SettingsUserDefaults::value(const QString& key) const
{
    if (settings->contains(key))
        return settings->value(key);
    return registered.value(key);
}

void SettingsUserDefaults::store(const QString& key, const QVariant& value)
{
    settings->setValue(key, value);
    settings->sync();
    if (settings->status() != QSettings::NoError)
        qCWarning(lcPlatform) << "QSettings::sync failed for" << settings->fileName();
}

std::int64_t SettingsUserDefaults::integerForKey(const QString& key) const
{
    // The INI format hands numbers back as text; anything that does not read as a
    // number counts as 0, like an absent key.
    bool ok = false;
    const qlonglong number = value(key).toLongLong(&ok);
    return ok ? number : 0;
}

void SettingsUserDefaults::setInteger(std::int64_t value, const QString& key)
{
    store(key, QVariant::fromValue<qlonglong>(value));
}

bool SettingsUserDefaults::boolForKey(const QString& key) const
{
    return value(key).toBool();
}

void SettingsUserDefaults::setBool(bool value, const QString& key)
{
    store(key, value);
}
