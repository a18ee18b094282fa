#include "app/PhoneStatusLabel.h"

#include "app/Look.h"
#include "engine/PhoneServiceText.h"
#include "engine/SmsSource.h"

#include <algorithm>

namespace tessary {

PhoneStatusLabel::PhoneStatusLabel(const SmsSource& phones, QWidget* parent)
    : QLabel(parent)
    , m_phones(phones)
{
    setObjectName(QStringLiteral("phoneStatus"));
    setTextFormat(Qt::PlainText); // the phone names its own device
    setFont(look::font(this, 11));
    setWordWrap(true);
    connect(&m_phones, &SmsSource::serviceChanged, this, &PhoneStatusLabel::refresh);
    refresh();
}

void PhoneStatusLabel::refresh()
{
    const PhoneService service = m_phones.service();
    const QString sentence = describePhoneService(service).sentence;
    const auto any = [&](auto test) {
        return std::any_of(service.phones.cbegin(), service.phones.cend(), test);
    };
    const bool relaying = any([](const PairedPhone& phone) { return phone.reachable && phone.sms; });
    const bool mend =
        any([](const PairedPhone& phone) { return phone.reachable && !phone.sms && !phone.unanswered; });
    setText(relaying ? QStringLiteral("✔ ") + sentence : sentence);
    look::setColour(this, relaying ? look::green : mend ? look::orange : look::secondary);
}

} // namespace tessary
