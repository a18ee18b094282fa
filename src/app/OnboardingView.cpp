#include "app/OnboardingView.h"

#include "app/AccountsView.h"
#include "app/AppContext.h"
#include "app/Look.h"
#include "app/PhoneStatusLabel.h"
#include "app/TrayIcons.h"
#include "common/SettingsStore.h"
#include "engine/CodeSources.h"
#include "engine/SmsSource.h"
#include "state/AppState.h"
#include "state/ShortcutSetting.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace tessary {

namespace {

constexpr int practiceStep = 3;

QWidget* stepPage(int spacing, QWidget* parent, QVBoxLayout** column)
{
    auto* page = new QWidget(parent);
    *column = new QVBoxLayout(page);
    (*column)->setContentsMargins(32, 32, 32, 32);
    (*column)->setSpacing(spacing);
    (*column)->addStretch(1);
    return page;
}

QLabel* title(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(look::font(parent, 20, QFont::Bold));
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    return label;
}

QLabel* body(const QString& text, QWidget* parent)
{
    auto* label = look::label(text, 13, look::secondary, parent, true);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QLabel* symbol(const QString& glyph, QWidget* parent)
{
    auto* label = look::label(glyph, 44, look::accent, parent);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QLabel* greenCheck(const QString& text, QWidget* parent)
{
    auto* label = look::label(QStringLiteral("✔ ") + text, 13, look::green, parent, true);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

StepDots::StepDots(int count, QWidget* parent)
    : QWidget(parent)
    , m_count(count)
{
}

void StepDots::setCurrent(int current)
{
    m_current = current;
    update();
}

QSize StepDots::sizeHint() const
{
    return {m_count * 7 + (m_count - 1) * 6, 7};
}

void StepDots::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    QColor other = look::secondary(palette());
    other.setAlphaF(0.3f);
    const qreal top = (height() - 7) / 2.0;
    for (int index = 0; index < m_count; ++index) {
        painter.setBrush(index == m_current ? look::accent(palette()) : other);
        painter.drawEllipse(QRectF(index * 13, top, 7, 7));
    }
}

OnboardingView::OnboardingView(AppContext& context, std::function<void()> onDone, QWidget* parent)
    : QWidget(parent)
    , m_context(context)
    , m_onDone(std::move(onDone))
    , m_steps(new QStackedWidget(this))
    , m_dots(new StepDots(stepCount, this))
    , m_back(new QPushButton(QStringLiteral("Back"), this))
    , m_primary(new QPushButton(this))
{
    setFixedSize(520, 420);
    QVBoxLayout* column = nullptr;

    QWidget* welcome = stepPage(16, m_steps, &column);
    auto* icon = new QLabel(welcome);
    icon->setPixmap(applicationIcon().pixmap(96, 96));
    icon->setAlignment(Qt::AlignCenter);
    column->addWidget(icon);
    column->addWidget(title(QStringLiteral("Never copy a verification code again"), welcome));
    column->addWidget(
        body(QStringLiteral("Tessary watches for code fields. When a site emails you a code, it appears "
                            "right under the field. One click fills it."),
             welcome));
    column->addStretch(1);
    m_steps->addWidget(welcome);

    QWidget* inboxes = stepPage(14, m_steps, &column);
    column->addWidget(symbol(QStringLiteral("✉"), inboxes));
    column->addWidget(title(QStringLiteral("Connect your inboxes"), inboxes));
    column->addWidget(
        body(QStringLiteral("Add every inbox that gets verification codes. Tessary reads only emails that "
                            "arrive while a code field is open, and never stores them."),
             inboxes));
    auto* accounts = new AccountsView(context, inboxes);
    accounts->setFixedWidth(380);
    accounts->centerAddButtons();
    column->addWidget(accounts, 0, Qt::AlignHCenter);
    // Codes come from a paired phone too, or from it alone: which phone, or how to pair one.
    if (context.phones) {
        m_phoneBlock = new QWidget(inboxes);
        auto* phoneColumn = new QVBoxLayout(m_phoneBlock);
        phoneColumn->setContentsMargins(0, 0, 0, 0);
        phoneColumn->setSpacing(2);
        auto* lead =
            look::label(QStringLiteral("Codes in your phone's text messages come too, through KDE Connect."),
                        12, look::primary, m_phoneBlock, true);
        lead->setAlignment(Qt::AlignCenter);
        phoneColumn->addWidget(lead);
        m_phone = new PhoneStatusLabel(*context.phones, m_phoneBlock);
        m_phone->setAlignment(Qt::AlignCenter);
        phoneColumn->addWidget(m_phone);
        column->addWidget(m_phoneBlock);
    }
    column->addStretch(1);
    // Several inboxes and a long word on the phones may not fit the window: they scroll rather
    // than squeeze into one another.
    auto* inboxesScroll = new QScrollArea(m_steps);
    inboxesScroll->setFrameShape(QFrame::NoFrame);
    inboxesScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    inboxesScroll->setWidgetResizable(true);
    inboxesScroll->setWidget(inboxes);
    m_steps->addWidget(inboxesScroll);

    QWidget* access = stepPage(16, m_steps, &column);
    column->addWidget(symbol(QStringLiteral("♿"), access));
    column->addWidget(title(QStringLiteral("Allow Accessibility"), access));
    column->addWidget(
        body(QStringLiteral("This desktop needs to let Tessary see which field you're typing in and type "
                            "the code for you. Turn accessibility on, then restart the apps named below."),
             access));
    m_turnOn = new QPushButton(QStringLiteral("Turn On Accessibility"), access);
    column->addWidget(m_turnOn, 0, Qt::AlignHCenter);
    m_granted = greenCheck(QStringLiteral("Access granted"), access);
    column->addWidget(m_granted);
    m_accessNote = look::label({}, 11, look::secondary, access, true);
    m_accessNote->setAlignment(Qt::AlignCenter);
    column->addWidget(m_accessNote);
    column->addStretch(1);
    m_steps->addWidget(access);

    QWidget* practice = stepPage(16, m_steps, &column);
    column->addWidget(title(QStringLiteral("See how it works"), practice));
    auto* explain =
        look::label(QStringLiteral("This is a practice field with a made-up code. Click into it, and Tessary "
                                   "shows the code underneath. Then click Fill."),
                    13, look::primary, practice, true);
    explain->setAlignment(Qt::AlignCenter);
    explain->setFixedWidth(400);
    column->addWidget(explain, 0, Qt::AlignHCenter);
    auto* block = new QWidget(practice);
    auto* blockColumn = new QVBoxLayout(block);
    blockColumn->setContentsMargins(0, 0, 0, 0);
    blockColumn->setSpacing(6);
    auto* caption = look::label(QStringLiteral("PRACTICE FIELD"), 11, look::secondary, block);
    QFont captionFont = look::font(block, 11, QFont::DemiBold);
    captionFont.setLetterSpacing(QFont::AbsoluteSpacing, 0.6);
    caption->setFont(captionFont);
    blockColumn->addWidget(caption);
    m_practice = new QLineEdit(block);
    m_practice->setObjectName(QStringLiteral("practiceField"));
    m_practice->setAccessibleName(QStringLiteral("Code"));
    m_practice->setPlaceholderText(QStringLiteral("Practice code"));
    m_practice->setFont(look::monospace(18));
    m_practice->setFixedWidth(240);
    blockColumn->addWidget(m_practice);
    column->addWidget(block, 0, Qt::AlignHCenter);
    m_success =
        greenCheck(QStringLiteral("That's it. On real sites, the code comes from your inbox."), practice);
    column->addWidget(m_success);
    column->addStretch(1);
    m_steps->addWidget(practice);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addWidget(m_steps, 1);
    outer->addWidget(look::divider(this));
    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(16, 16, 16, 16);
    bar->addWidget(m_dots, 0, Qt::AlignVCenter);
    bar->addStretch(1);
    m_back->setAutoDefault(false);
    bar->addWidget(m_back);
    bar->addWidget(m_primary);
    outer->addLayout(bar);

    connect(m_back, &QPushButton::clicked, this, [this] { goTo(m_step - 1); });
    connect(m_primary, &QPushButton::clicked, this, &OnboardingView::advance);
    connect(m_turnOn, &QPushButton::clicked, this, [this] {
        m_context.grantAccessibility(this, [this](const QString& note, bool failed) {
            m_accessNote->setText(note);
            m_accessFailed = failed;
            refresh();
        });
    });
    connect(m_practice, &QLineEdit::textChanged, this, &OnboardingView::refresh);
    connect(&context.state, &AppState::accountsChanged, this, &OnboardingView::refresh);
    connect(&context.state, &AppState::accessibilityChanged, this, &OnboardingView::refresh);
    connect(&context.state, &AppState::smsCodesChanged, this, &OnboardingView::refresh);
    if (context.phones)
        connect(context.phones, &SmsSource::serviceChanged, this, &OnboardingView::refresh);
    goTo(0);
}

void OnboardingView::goTo(int step)
{
    m_step = std::clamp(step, 0, stepCount - 1);
    m_steps->setCurrentIndex(m_step);
    m_dots->setCurrent(m_step);
    const bool demo = m_step == practiceStep && isVisible();
    if (m_context.state.demoMode() != demo)
        m_context.state.setDemoMode(demo);
    refresh();
}

void OnboardingView::advance()
{
    if (!m_primary->isEnabled())
        return;
    if (m_step == practiceStep)
        done();
    else
        goTo(m_step + 1);
}

void OnboardingView::done()
{
    m_context.settings.setValue(settingKey::onboarded, true);
    m_context.state.setDemoMode(false);
    m_onDone();
}

void OnboardingView::refresh()
{
    m_back->setVisible(m_step >= 1);
    m_primary->setText(m_step == practiceStep ? QStringLiteral("Done") : QStringLiteral("Continue"));
    bool enabled = true;
    if (m_step == 1)
        enabled = hasCodeSource(m_context.state, m_context.phones);
    else if (m_step == 2)
        enabled = m_context.state.accessibility();
    m_primary->setEnabled(enabled);
    m_primary->setDefault(enabled);
    const bool granted = m_context.state.accessibility();
    m_turnOn->setVisible(!granted);
    m_granted->setVisible(granted);
    // What is left to do once access is on (the apps to restart) matters most after it is seen;
    // why it could not be turned on is old news once it is on, however that came.
    if (granted && m_accessFailed)
        m_accessNote->clear();
    m_accessNote->setVisible(!m_accessNote->text().isEmpty());
    m_success->setVisible(m_practice->text().size() >= 6);
    if (m_phoneBlock)
        m_phoneBlock->setVisible(m_context.state.smsCodes());
}

void OnboardingView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    goTo(m_step);
}

void OnboardingView::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        advance();
        return;
    }
    QWidget::keyPressEvent(event);
}

void OnboardingView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (m_context.state.demoMode())
        m_context.state.setDemoMode(false);
}

} // namespace tessary
