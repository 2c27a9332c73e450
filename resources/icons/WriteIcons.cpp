// Writes the program's and the association classes' icons as PNG files into a hicolor icon
// theme tree, at the sizes desktops ask for.

#include <QDir>
#include <QString>
#include <cstdio>

#include "catalog/DesktopAssociations.h"
#include "ui/ClassIcons.h"

using namespace tessarind;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write-icons FOLDER\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/hicolor");
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = root + QStringLiteral("/%1x%1/").arg(size);
        for (int viewClass = 0; viewClass < kClassIconCount; ++viewClass) {
            const QImage image = DrawClassIcon(viewClass, size);
            const QString name = QString::fromStdString(AssociationIcon(viewClass)) + ".png";
            // Class 0 is the program's own icon as well.
            QStringList contexts{QStringLiteral("mimetypes")};
            if (viewClass == 0) contexts << QStringLiteral("apps");
            for (const QString& context : contexts) {
                if (!QDir().mkpath(folder + context) ||
                    !image.save(folder + context + "/" + name)) {
                    std::fprintf(stderr, "cannot write %s\n", qPrintable(folder + context));
                    return 1;
                }
            }
        }
    }
    return 0;
}
