#include <QApplication>

#include "commandline.h"
#include "widget.h"

int main(int argc, char *argv[])
{
    if (CommandLine::wanted(argc, argv))
        return CommandLine::run(argc, argv);
    QApplication app(argc, argv);
    Widget window;
    window.show();
    return app.exec();
}
