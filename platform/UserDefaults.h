#pragma once

#include <cstdint>

#include <QString>
#include <QVariantMap>

// The application's small persistent key-value store. Values are read and written
// afresh on every use; a write takes effect at once and survives the process.
// Registered defaults only supply the value read for a key with no stored value:
// they are never stored and never replace a stored value. An absent key with no
// registered default reads as 0 or false.
class UserDefaults {
public:
    virtual ~UserDefaults() = default;

    virtual void registerDefaults(const QVariantMap& defaults) = 0;
    virtual std::int64_t integerForKey(const QString& key) const = 0;
    virtual void setInteger(std::int64_t value, const QString& key) = 0;
    virtual bool boolForKey(const QString& key) const = 0;
    virtual void setBool(bool value, const QString& key) = 0;
};
