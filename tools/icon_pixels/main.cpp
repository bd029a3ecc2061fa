// icon_pixels IN.png OUT: writes the image's pixels as premultiplied ARGB, 32 bits each in
// this machine's byte order, row by row, nothing else; the file name carries the size.

#include <QFile>
#include <QImage>
#include <QString>

#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fputs("usage: icon_pixels IN.png OUT\n", stderr);
        return 2;
    }
    const QImage image = QImage(QString::fromLocal8Bit(argv[1]))
                             .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (image.isNull() || !out.open(QIODevice::WriteOnly) ||
        out.write(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()) !=
            image.sizeInBytes()) {
        std::fprintf(stderr, "icon_pixels: cannot turn %s into %s\n", argv[1], argv[2]);
        return 1;
    }
    return 0;
}
