#pragma once

#include "backend/SecretStore.h"

#include <QCoro/QCoroTimer>

#include <QHash>

namespace tessary::test {

// Secrets in memory, open to seed and inspect. `refuseWrites`, `available`, `locked` (holds values it
// cannot give) and `silent` (no answer yet) act out keyrings; every call suspends once, as D-Bus does.
class FakeSecretStore : public SecretStore {
public:
    QHash<QString, QString> values;
    int calls = 0;
    bool refuseWrites = false;
    bool available = true;
    bool locked = false;
    bool silent = false;

    QCoro::Task<std::optional<QString>> keychainGet(QString key) override
    {
        ++calls;
        co_await QCoro::sleepFor(std::chrono::milliseconds(0));
        if (locked || silent || !values.contains(key))
            co_return std::nullopt;
        co_return values.value(key);
    }
    QCoro::Task<bool> keychainSet(QString key, QString value) override
    {
        ++calls;
        co_await QCoro::sleepFor(std::chrono::milliseconds(0));
        if (refuseWrites || locked || silent)
            co_return false;
        values.insert(key, value);
        co_return true;
    }
    QCoro::Task<> keychainDelete(QString key) override
    {
        ++calls;
        co_await QCoro::sleepFor(std::chrono::milliseconds(0));
        values.remove(key);
    }
    QCoro::Task<bool> isWithheld(QString key) override
    {
        co_return silent || (locked && values.contains(key));
    }
    bool isAvailable() const override { return available; }
    bool isSilent() const override { return silent; }
    QString location() const override { return QStringLiteral("memory"); }
};

} // namespace tessary::test
