// tessary-chip-shots [--dark] FOLDER: draws the chip in each of its states into FOLDER/<state>.png,
// at twice the chip's size, for the README and for eyeballing a change to the chip's look; with
// --dark, in the palette of a dark desktop. Runs without a display (QT_QPA_PLATFORM=offscreen).

#include "chip/ChipView.h"
#include "chip/DarkPalette.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTextStream>

#include <utility>
#include <vector>

using namespace tessary;

namespace {

FoundCode sampleCode(const QString& code)
{
    FoundCode found;
    found.code = code;
    found.sender = QStringLiteral("Example <no-reply@example.com>");
    found.senderDomain = QStringLiteral("example.com");
    return found;
}

FoundLink sampleLink(FoundLink::Kind kind)
{
    FoundLink link;
    link.url = QUrl(QStringLiteral("https://example.com/login?token=1"));
    link.kind = kind;
    link.senderDomain = QStringLiteral("example.com");
    return link;
}

std::vector<std::pair<QString, ChipModel::State>> samples()
{
    return {
        {QStringLiteral("searching"), ChipModel::Searching{QStringLiteral("example.com")}},
        {QStringLiteral("searching-no-domain"), ChipModel::Searching{}},
        {QStringLiteral("found"), ChipModel::Found{sampleCode(QStringLiteral("12345678"))}},
        {QStringLiteral("filled"), ChipModel::Filled{sampleCode(QStringLiteral("123456"))}},
        {QStringLiteral("failed"), ChipModel::Failed{QStringLiteral("No code arrived")}},
        {QStringLiteral("failed-long"),
         ChipModel::Failed{
             QStringLiteral("The backend could not be reached: the connection timed out after 30 "
                            "seconds. Check your network connection and try again.")}},
        {QStringLiteral("waitingForLink"),
         ChipModel::WaitingForLink{QStringLiteral("example.com"), FoundLink::Kind::confirm}},
        {QStringLiteral("link"), ChipModel::Link{sampleLink(FoundLink::Kind::signIn)}},
        {QStringLiteral("opened"), ChipModel::Opened{FoundLink::Kind::signIn}},
    };
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QTextStream err(stderr);
    const bool dark = argc == 3 && qstrcmp(argv[1], "--dark") == 0;
    if ((argc != 2 && !dark) || argv[argc - 1][0] == '-') {
        err << "usage: tessary-chip-shots [--dark] FOLDER\n";
        return 2;
    }
    if (dark)
        QApplication::setPalette(darkDesktopPalette());
    const QDir folder(QString::fromLocal8Bit(argv[argc - 1]));
    if (!folder.mkpath(QStringLiteral("."))) {
        err << "cannot create " << folder.path() << "\n";
        return 1;
    }
    ChipModel model;
    ChipView view(model);
    view.setAttribute(Qt::WA_TranslucentBackground);
    view.show();
    for (const auto& [name, state] : samples()) {
        model.setState(state);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        const QImage image = view.picture(1.0, 2);
        const QString path = folder.filePath(name + QStringLiteral(".png"));
        if (!image.save(path)) {
            err << "cannot write " << path << "\n";
            return 1;
        }
    }
    return 0;
}
