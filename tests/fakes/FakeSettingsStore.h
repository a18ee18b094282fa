#pragma once

#include "common/SettingsStore.h"

#include <QHash>

namespace tessary::test {

// Settings kept in memory; `values` is open so tests can seed and inspect what was stored.
class FakeSettingsStore : public SettingsStore {
public:
    QHash<QString, QVariant> values;

    bool contains(const QString& key) const override { return values.contains(key); }
    QVariant value(const QString& key) const override { return values.value(key); }
    void setValue(const QString& key, const QVariant& value) override { values.insert(key, value); }
    void remove(const QString& key) override { values.remove(key); }
};

} // namespace tessary::test
