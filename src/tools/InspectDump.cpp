// tessary-inspect dump [--focused | --window] [-o FILE]: the live element tree of the frontmost
// application in the element-tree JSON, the way detection sees it. The recorded fixtures of the
// screen-logic tests are made with it.

#include "screen/ElementTreeDump.h"
#include "tools/InspectCommand.h"
#include "tools/LiveAccessibility.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSaveFile>

namespace tessary::inspect {

namespace {

// The part of the tree that explains the focused element: its web page, else its window.
std::optional<Element> pageOfFocus(ElementTree& tree, const Element& focused)
{
    std::optional<Element> current = focused;
    for (int step = 0; current && step < 60; ++step) {
        if (tree.role(*current) == Role::documentWeb)
            return current;
        current = tree.parent(*current);
    }
    return std::nullopt;
}

int cannotWrite(const QString& path, const QString& reason)
{
    printError(QStringLiteral("%1: cannot write: %2").arg(path, reason));
    return exitFailure;
}

int runDump(const QStringList& arguments)
{
    // "-o" is the one short option; the shared parser knows only long ones.
    QStringList normalised = arguments;
    normalised.replaceInStrings(QRegularExpression(QStringLiteral("^-o$")), QStringLiteral("--output"));
    const ParsedArguments parsed = parseArguments(normalised, {QStringLiteral("--output")},
                                                  {QStringLiteral("--focused"), QStringLiteral("--window")});
    if (!parsed.error.isEmpty() || !parsed.positional.isEmpty()) {
        printError(parsed.error.isEmpty() ? QStringLiteral("dump takes no file argument; use -o FILE")
                                          : parsed.error);
        return exitBadInput;
    }
    const auto live = openLiveAccessibility(QStringLiteral("applications may show no content"));
    if (!live)
        return exitFailure;
    AtspiAccessibility& accessibility = *live;
    const std::optional<RunningApplication> app = accessibility.frontmostApplication();
    if (!app) {
        printError(QStringLiteral("no frontmost application (is a window manager running?)"));
        return exitFailure;
    }
    std::optional<Element> root = accessibility.applicationElement(app->pid);
    if (!root) {
        printError(QStringLiteral("process %1 (%2) does not expose an accessibility tree")
                       .arg(app->pid)
                       .arg(app->appId));
        return exitFailure;
    }
    if (parsed.options.contains(QStringLiteral("--window")) ||
        parsed.options.contains(QStringLiteral("--focused"))) {
        std::optional<Element> window = accessibility.focusedWindow(*root);
        if (parsed.options.contains(QStringLiteral("--focused"))) {
            const std::optional<Element> focused = accessibility.focusedElement();
            if (!focused) {
                printError(QStringLiteral("nothing has the keyboard focus"));
                return exitFailure;
            }
            if (std::optional<Element> page = pageOfFocus(accessibility, *focused))
                window = page;
        }
        if (!window) {
            printError(QStringLiteral("the frontmost application has no focused window"));
            return exitFailure;
        }
        root = window;
    }

    const QByteArray json =
        QJsonDocument(dumpTree(accessibility, *root, app)).toJson(QJsonDocument::Indented);
    const QString path = parsed.options.value(QStringLiteral("--output"));
    if (path.isEmpty()) {
        printLine(QString::fromUtf8(json).trimmed());
        return exitOk;
    }
    // A file is written beside itself and put in its place when whole: a failed write (a full
    // disk) keeps the previous dump rather than leave a part of the new one. A pipe or terminal
    // (-o /dev/stdout) has no place beside it and is written as it is.
    const QFileInfo target(path);
    if (target.exists() && !target.isFile()) {
        QFile stream(path);
        if (!stream.open(QIODevice::WriteOnly) || stream.write(json) != json.size())
            return cannotWrite(path, stream.errorString());
        return exitOk;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit())
        return cannotWrite(path, file.errorString());
    return exitOk;
}

const bool dumpRegistered =
    registerCommand({.name = QStringLiteral("dump"),
                     .usage = QStringLiteral("[--focused | --window] [-o FILE]"),
                     .description = QStringLiteral("the frontmost app's live element tree, as a file"),
                     .example = QStringLiteral("tessary-inspect dump --focused -o page.json"),
                     .group = QStringLiteral("screen"),
                     .needs = Needs::core,
                     .run = runDump});

} // namespace

} // namespace tessary::inspect
