#include "app/PopoverView.h"

#include "app/Look.h"
#include "app/PopoverParts.h"
#include "common/Clock.h"
#include "engine/SmsSource.h"
#include "state/AppState.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace tessary {

namespace {

constexpr int popoverWidth = 300;

// Empties a box so it can be filled afresh. A button of the old content may be the one whose
// click changed the state, so the old widgets go once its signal has returned.
void clear(QWidget* box)
{
    for (QWidget* child : box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        child->hide();
        child->setParent(nullptr);
        child->deleteLater();
    }
    delete box->layout();
}

} // namespace

PopoverView::PopoverView(AppState& state, Clock& clock, PopoverActions actions, bool developerBuild,
                         const SmsSource* phones, QWidget* parent)
    : QFrame(parent)
    , m_state(state)
    , m_clock(clock)
    , m_phones(phones)
    , m_actions(std::move(actions))
    , m_headerBox(new QWidget(this))
    , m_codesBox(new QWidget(this))
{
    setObjectName(QStringLiteral("popover"));
    setFrameShape(QFrame::StyledPanel);
    setFixedWidth(popoverWidth);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_headerBox);
    column->addWidget(look::divider(this));
    column->addWidget(m_codesBox);
    column->addWidget(look::divider(this));

    auto* footer = new QWidget(this);
    auto* footerRow = new QHBoxLayout(footer);
    footerRow->setContentsMargins(6, 5, 6, 5);
    footerRow->setSpacing(0);
    footerRow->addWidget(new FooterButton(
        QStringLiteral("Settings…"), [this] { m_actions.settings(); }, footer));
    if (developerBuild)
        footerRow->addWidget(new FooterButton(
            QStringLiteral("Restart onboarding"), [this] { m_actions.restartOnboarding(); }, footer));
    else
        footerRow->addWidget(new FooterButton(
            QStringLiteral("Check for Updates"), [this] { m_actions.updates(); }, footer));
    footerRow->addStretch(1);
    footerRow->addWidget(new FooterButton(
        QStringLiteral("Quit"), [this] { m_actions.quit(); }, footer));
    column->addWidget(footer);

    for (auto signal : {&AppState::accountsChanged, &AppState::accessibilityChanged,
                        &AppState::pausedUntilChanged, &AppState::smsCodesChanged})
        connect(&m_state, signal, this, &PopoverView::rebuildHeader);
    if (m_phones)
        connect(m_phones, &SmsSource::serviceChanged, this, &PopoverView::rebuildHeader);
    connect(&m_state, &AppState::recentChanged, this, &PopoverView::rebuildCodes);
    connect(&m_state, &AppState::shortcutChanged, this, &PopoverView::rebuildCodes);
    rebuildHeader();
    rebuildCodes();
}

QList<CodeRow*> PopoverView::rows() const
{
    return m_codesBox->findChildren<CodeRow*>();
}

void PopoverView::rebuildHeader()
{
    clear(m_headerBox);
    m_header = popover::headerFor(m_state, m_phones);
    auto* row = new QHBoxLayout(m_headerBox);
    row->setContentsMargins(12, 8, 12, 9);
    row->setSpacing(8);
    switch (m_header) {
    case popover::Header::notSetUp: {
        auto* warning = look::label(QStringLiteral("⚠ Setup isn't finished"), 13, look::orange, m_headerBox);
        warning->setObjectName(QStringLiteral("headerText"));
        row->addWidget(warning, 1);
        auto* finish = new QPushButton(QStringLiteral("Finish setup"), m_headerBox);
        connect(finish, &QPushButton::clicked, this, [this] { m_actions.setup(); });
        row->addWidget(finish);
        break;
    }
    case popover::Header::paused: {
        auto* paused =
            look::label(popover::pausedUntilText(*m_state.pausedUntil()), 13, look::primary, m_headerBox);
        paused->setObjectName(QStringLiteral("headerText"));
        row->addWidget(paused, 1);
        auto* resume = new QPushButton(QStringLiteral("Resume"), m_headerBox);
        connect(resume, &QPushButton::clicked, this, [this] { m_state.setPausedUntil(std::nullopt); });
        row->addWidget(resume);
        break;
    }
    case popover::Header::watching: {
        auto* pauseButton = new QToolButton(m_headerBox);
        pauseButton->setObjectName(QStringLiteral("pause"));
        pauseButton->setText(QStringLiteral("Pause"));
        pauseButton->setAutoRaise(true);
        pauseButton->setPopupMode(QToolButton::InstantPopup);
        pauseButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
        look::setColour(pauseButton, look::secondary);
        auto* menu = new QMenu(pauseButton);
        for (auto choice : {popover::Pause::quarterHour, popover::Pause::hour, popover::Pause::untilTomorrow})
            menu->addAction(popover::pauseTitle(choice), this, [this, choice] { pause(choice); });
        pauseButton->setMenu(menu);
        auto* watching = look::label({}, 13, look::primary, m_headerBox);
        watching->setObjectName(QStringLiteral("headerText"));
        const int room = popoverWidth - 24 - 8 - pauseButton->sizeHint().width();
        const QString watched = popover::watchedText(m_state, m_phones);
        watching->setText(watching->fontMetrics().elidedText(watched, Qt::ElideMiddle, room));
        watching->setToolTip(watched);
        row->addWidget(watching, 1);
        row->addWidget(pauseButton);
        break;
    }
    }
}

void PopoverView::rebuildCodes()
{
    clear(m_codesBox);
    auto* column = new QVBoxLayout(m_codesBox);
    column->setSpacing(0);
    if (m_state.recent().isEmpty()) {
        column->setContentsMargins(12, 12, 12, 12);
        auto* empty = look::label(popover::emptyText(m_state), 12, look::secondary, m_codesBox, true);
        empty->setObjectName(QStringLiteral("emptyText"));
        column->addWidget(empty);
        return;
    }
    column->setContentsMargins(0, 4, 0, 4);
    for (const FoundCode& code : m_state.recent())
        column->addWidget(new CodeRow(
            code, m_clock, [this, code] { m_actions.copy(code); }, m_codesBox));
}

void PopoverView::pause(popover::Pause choice)
{
    m_state.setPausedUntil(popover::pauseEnd(choice, m_clock.now()));
}

} // namespace tessary
