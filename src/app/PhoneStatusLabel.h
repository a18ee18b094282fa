#pragma once

#include <QLabel>

namespace tessary {

class SmsSource;

// The sentence on KDE Connect and the paired phones, as Settings and the onboarding show it, kept
// up to date as phones come and go: with a check, in green, once a reachable phone relays its text
// messages; in orange while a reachable phone relays none, which is mended on the phone; plain
// otherwise. Codes from a phone are a choice, so no phone, or KDE Connect missing, is no warning.
class PhoneStatusLabel : public QLabel {
    Q_OBJECT
public:
    explicit PhoneStatusLabel(const SmsSource& phones, QWidget* parent = nullptr);

private:
    void refresh();

    const SmsSource& m_phones;
};

} // namespace tessary
