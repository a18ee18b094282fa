#pragma once

#include "engine/Burst.h"
#include "engine/ChipModel.h"
#include "engine/CodeFlow.h"
#include "engine/ControllerServices.h"
#include "engine/LinkFlow.h"

#include <QObject>

#include <optional>

namespace tessary {

// The engine: every 0.4 s it looks at the focused element; a newly focused code field goes to the
// code flow, a browser page waiting for an e-mailed link to the link flow. Both drive the one chip
// through `show` and `dismiss`, and share the one burst slot: starting a fetch task cancels the one
// before. Main thread only.
class Controller : public QObject {
    Q_OBJECT
public:
    explicit Controller(ControllerServices services, QObject* parent = nullptr);
    ~Controller() override;

    // Wires the chip's buttons and the hot key, and starts the focus loop.
    void start();
    // One turn of the focus loop; the loop runs it every `focusTick`.
    QCoro::Task<> tick();
    // The loop does nothing until `until` (a developer build runs beside this one).
    void restUntil(std::chrono::steady_clock::time_point until) { m_restUntil = until; }

    // A failure shown here hides itself after `failedChip`, which ends the search behind it.
    void show(ChipModel::State state);
    // Shows `state` until something replaces it: a failure the search outlives stays up.
    void showUntilReplaced(ChipModel::State state);
    void placeChip();
    void dismiss();
    // The global shortcut: opens the link on the chip, else fills a code.
    void hotKeyPressed();

    CodeFlow& codes() { return m_codes; }
    LinkFlow& links() { return m_links; }
    const std::optional<CodeField>& field() const { return m_codes.field(); }
    const std::optional<LinkPage>& linkPage() const { return m_links.page(); }

signals:
    // Each code typed and each link opened, for tessary-inspect engine.
    void typed(const QString& text);
    void opened(const QUrl& url);

private:
    QCoro::Task<> runTicks();
    bool eligible() const;
    void prepareFrontmost();
    QCoro::Task<> dismissAfter(std::chrono::milliseconds wait);

    ControllerServices m_s;
    // Declared before the flows, which hold it, and destroyed after them.
    Burst m_burst;
    CodeFlow m_codes;
    LinkFlow m_links;
    bool m_started = false;
    std::optional<Element> m_lastFocused;
    quint64 m_loadsAtClassification = 0;
    qint64 m_preparedPid = 0; // the application in front when the loop last looked
    std::chrono::steady_clock::time_point m_restUntil = std::chrono::steady_clock::time_point::min();
};

} // namespace tessary
