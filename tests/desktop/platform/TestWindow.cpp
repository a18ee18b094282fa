// A small Qt window for the desktop tests: a labelled code field and a free text field, at the
// top-left corner given as "--at X Y" or where the window manager puts it. Once shown, it prints each field's
// name and top-left screen geometry ("code X Y W H") on stdout, so a test knows where to click without asking
// the accessibility it is testing.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Tessary test window"));
    auto* layout = new QVBoxLayout(&window);
    auto* label = new QLabel(QStringLiteral("Verification code"));
    auto* code = new QLineEdit;
    code->setObjectName(QStringLiteral("code"));
    label->setBuddy(code);
    auto* free = new QLineEdit;
    free->setObjectName(QStringLiteral("free"));
    free->setPlaceholderText(QStringLiteral("Anything"));
    layout->addWidget(label);
    layout->addWidget(code);
    layout->addWidget(free);
    window.resize(400, 160);
    const QStringList arguments = QApplication::arguments();
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--at")); at > 0 && at + 2 < arguments.size())
        window.move(arguments.at(at + 1).toInt(), arguments.at(at + 2).toInt());
    window.show();
    QTimer::singleShot(500, &window, [&] {
        for (QLineEdit* field : {code, free}) {
            const QPoint origin = field->mapToGlobal(QPoint(0, 0));
            std::printf("%s %d %d %d %d\n", qPrintable(field->objectName()), origin.x(), origin.y(),
                        field->width(), field->height());
        }
        std::fflush(stdout);
    });
    return application.exec();
}
