#pragma once

#include "backend/SecretStore.h"

#include <QCoro/QCoroTimer>

#include <QHash>

namespace tessary::test {

// Secrets kept in memory. `values` is open so tests can seed and inspect it; `calls` shows
// whether the store was consulted at all; `refuseWrites` and `available` act out a locked or
// missing keyring, `locked` one that shows it holds values it cannot give, `silent` one that has
// not answered yet. Every call suspends once, as the real keyring's D-Bus round trip does.
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
