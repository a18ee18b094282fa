#pragma once

#include "analysis/FoundCode.h"
#include "app/PopoverText.h"

#include <QFrame>

#include <functional>

class QHBoxLayout;
class QVBoxLayout;

namespace tessary {

class AppState;
class Clock;
class CodeRow;

// What the popover's buttons ask of the application.
struct PopoverActions {
    std::function<void(const FoundCode&)> copy; // the application closes the popover 0.6 s later
    std::function<void()> setup;
    std::function<void()> settings;
    std::function<void()> updates;
    std::function<void()> quit;
    std::function<void()> restartOnboarding;
};

// The panel under the tray icon: what is watched (or why nothing is), the recent codes, and the
// application's commands. It changes the state only to pause and resume.
class PopoverView : public QFrame {
    Q_OBJECT
public:
    // `phones`: the paired phones that may bring codes instead of an inbox, if any.
    PopoverView(AppState& state, Clock& clock, PopoverActions actions, bool developerBuild,
                const SmsSource* phones = nullptr, QWidget* parent = nullptr);

    popover::Header header() const { return m_header; }
    QList<CodeRow*> rows() const;

private:
    void rebuildHeader();
    void rebuildCodes();
    void pause(popover::Pause choice);

    AppState& m_state;
    Clock& m_clock;
    const SmsSource* m_phones;
    PopoverActions m_actions;
    popover::Header m_header = popover::Header::notSetUp;
    QWidget* m_headerBox;
    QWidget* m_codesBox;
};

} // namespace tessary
