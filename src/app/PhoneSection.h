#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;

namespace tessary {

class AppState;
class SmsSource;

// The settings' phone section: the switch that lets codes come from the paired phone's text
// messages, and a sentence on KDE Connect and the phone, kept up to date as phones come and go.
class PhoneSection : public QWidget {
    Q_OBJECT
public:
    PhoneSection(AppState& state, SmsSource& phones, QWidget* parent = nullptr);

    QCheckBox& smsCodes() const { return *m_smsCodes; }
    QLabel& status() const { return *m_status; }

private:
    void refresh();

    AppState& m_state;
    SmsSource& m_phones;
    QCheckBox* m_smsCodes;
    QLabel* m_status;
};

} // namespace tessary
