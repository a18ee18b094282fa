#include "app/PhoneSection.h"

#include "app/PhoneStatusLabel.h"
#include "engine/SmsSource.h"
#include "state/AppState.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

namespace tessary {

PhoneSection::PhoneSection(AppState& state, SmsSource& phones, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_phones(phones)
    , m_smsCodes(new QCheckBox(QStringLiteral("Codes from my phone's messages"), this))
    , m_status(new PhoneStatusLabel(phones, this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    column->addWidget(m_smsCodes);
    m_status->setContentsMargins(24, 0, 0, 0);
    column->addWidget(m_status);
    connect(m_smsCodes, &QCheckBox::clicked, &m_state, &AppState::setSmsCodes);
    connect(&m_state, &AppState::smsCodesChanged, this, &PhoneSection::refresh);
    connect(&m_phones, &SmsSource::serviceChanged, this, &PhoneSection::refresh);
    refresh();
}

// Without a paired phone the switch has nothing to read from: it shows off until one is paired,
// and then the stored choice, on unless the user turned it off.
void PhoneSection::refresh()
{
    const PhoneService service = m_phones.service();
    const bool paired = !service.phones.isEmpty();
    m_smsCodes->setEnabled(paired);
    m_smsCodes->setChecked(paired && m_state.smsCodes());
}

} // namespace tessary
