#pragma once

#include "analysis/CodeFinder.h"
#include "analysis/FoundCode.h"
#include "engine/Burst.h"
#include "engine/ControllerServices.h"
#include "engine/SmsSource.h"
#include "screen/CodeField.h"

#include <QObject>
#include <QSet>

#include <memory>
#include <optional>

namespace tessary {

class Controller;

// The code side of the engine: a focused code field gets a recent code or a burst of polling for
// new mail and text messages; a found code is offered on the chip or typed at once; the hot key types the
// newest. The chip is driven through the controller that owns the flow. Main thread only.
class CodeFlow : public QObject {
    Q_OBJECT
public:
    CodeFlow(const ControllerServices& services, Controller& controller, Burst& burst);

    // A newly focused code field.
    void handleField(const CodeField& field);
    void startBurst(QStringList domains);
    void offer(const FoundCode& code);
    void remember(const FoundCode& code);
    void fill(const FoundCode& code, const std::optional<CodeField>& field);
    // The chip's Fill: the code it shows, if it shows one.
    void fillFromChip();
    // The hot key: the code on the chip, else the best code of the last ten minutes, typed.
    void fillNewest();

    // The field the chip serves, if any; `release` lets it go.
    const std::optional<CodeField>& field() const { return m_field; }
    void release() { m_field.reset(); }
    // Shortly after a fill, newly focused fields are not looked at (the box row moves the focus).
    bool detectionRests() const;
    // The hot key's search for its code is under way: the code goes where the key was pressed.
    bool hotKeySearching() const { return m_hotKeySearch && !isCancelled(m_hotKeySearch); }
    const QSet<QString>& used() const { return m_used; }

    // The demo code the onboarding practice field gets; its sender is the product's own domain.
    static FoundCode demoCode(TimePoint now);
    static const QString demoSenderDomain;

signals:
    void typed(const QString& text);

private:
    // What one code burst looks for, the mail it saw last, and what it has offered so far.
    struct Search {
        TimePoint since;
        QStringList domains;
        TimePoint started;
        std::optional<FoundCode> offered;
        QList<Message> mail;
    };
    QCoro::Task<> codeBurst(std::shared_ptr<Search> search, std::chrono::steady_clock::time_point deadline,
                            CancelToken cancel);
    QCoro::Task<BackendResult<Burst::Look>> look(std::shared_ptr<Search> search, bool first,
                                                 CancelToken cancel);
    QCoro::Task<BackendResult<std::optional<FoundCode>>>
    bestUnused(std::shared_ptr<Search> search, std::optional<QString> sender, CancelToken cancel);
    std::optional<FoundCode> pick(const Search& search, const std::optional<QString>& sender) const;
    QList<Message> textMessages(TimePoint since) const;
    void smsArrived();
    bool awaitsBetter(const FoundCode& offered) const;
    QCoro::Task<> fillTask(FoundCode code, std::optional<CodeField> field, bool isDemo);
    QCoro::Task<> hotKeySearch(std::optional<CodeField> field, CancelToken cancel);

    const ControllerServices& m_s;
    Controller& m_controller;
    Burst& m_burst;
    std::optional<CodeField> m_field;
    // The running code burst, for text messages that arrive between its looks at the mail.
    std::shared_ptr<Search> m_search;
    CancelToken m_searchCancel;
    CancelToken m_hotKeySearch; // reset once the search has its answer
    // A code is being typed: a second fill meanwhile would interleave its keys with this one's.
    bool m_typing = false;
    QSet<QString> m_used;
    std::chrono::steady_clock::time_point m_suppressUntil = std::chrono::steady_clock::time_point::min();
};

} // namespace tessary
