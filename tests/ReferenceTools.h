#pragma once
// Running the reference programs the tests compare with: decoders (ImageMagick, Pillow,
// libtiff's tools) and poppler, which reads back what the program printed.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QMutex>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <initializer_list>

// The Python that has Pillow (another python3 may come first on PATH without it).
inline const QString Python = QStringLiteral("/usr/bin/python3");

// The absolute path of a tool, looked up on PATH once per name; empty when it is not installed.
inline QString toolPath(const QString &program)
{
    static QHash<QString, QString> found;
    static QMutex mutex;
    const QMutexLocker lock(&mutex);
    const auto known = found.constFind(program);
    if (known != found.constEnd())
        return *known;
    const QString path = QFileInfo(program).isAbsolute() ? (QFileInfo(program).isExecutable() ? program : QString())
                                                         : QStandardPaths::findExecutable(program);
    found.insert(program, path);
    return path;
}

// Runs program with args; returns why it failed (not installed, not finished within
// timeoutMs, non-zero exit, error text) or an empty string. Standard output goes to *out
// and standard error to *errors when given.
inline QString runTool(const QString &program, const QStringList &args, QByteArray *out = nullptr,
                       int timeoutMs = 60000, QByteArray *errors = nullptr)
{
    const QString path = toolPath(program);
    if (path.isEmpty())
        return QStringLiteral("%1 is not installed; tools/setup.sh installs it").arg(program);
    QProcess p;
    p.start(path, args);
    if (!p.waitForStarted(10000))
        return QStringLiteral("%1 could not be started (%2)").arg(path, p.errorString());
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return QStringLiteral("%1 %2 did not finish within %3 ms").arg(path, args.join(QLatin1Char(' '))).arg(timeoutMs);
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return QStringLiteral("%1 %2 failed: %3")
            .arg(path, args.join(QLatin1Char(' ')), QString::fromLocal8Bit(p.readAllStandardError()));
    if (out)
        *out = p.readAllStandardOutput();
    if (errors)
        *errors = p.readAllStandardError();
    return {};
}

// Page 1 of pdf rendered by poppler's pdftoppm at dpi, or a null image with *why set.
// A crop size renders only that much of the page from its top-left corner.
inline QImage renderPdfPage(const QString &pdf, int dpi, QString *why = nullptr, QSize crop = {})
{
    QTemporaryDir dir;
    QStringList args{QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"), QStringLiteral("1"),
                     QStringLiteral("-l"), QStringLiteral("1"), QStringLiteral("-png")};
    if (crop.isValid())
        args << QStringLiteral("-W") << QString::number(crop.width()) << QStringLiteral("-H") << QString::number(crop.height());
    const QString failure = runTool(QStringLiteral("pdftoppm"), args << pdf << dir.filePath(QStringLiteral("page")));
    const QStringList pages = QDir(dir.path()).entryList({QStringLiteral("page*.png")});
    if (why)
        *why = failure.isEmpty() && pages.isEmpty() ? QStringLiteral("pdftoppm wrote no page") : failure;
    return pages.isEmpty() ? QImage() : QImage(dir.filePath(pages.first())).convertToFormat(QImage::Format_RGB32);
}

// Pillow decodes each file to an RGB PPM beside it (file + ".pil.ppm").
inline QString decodeWithPillow(const QStringList &files)
{
    static const char *script = "import sys\n"
                                "from PIL import Image\n"
                                "for src in sys.argv[1:]:\n"
                                "    Image.open(src).convert('RGB').save(src + '.pil.ppm', 'PPM')\n";
    const QString why = runTool(Python, QStringList{QStringLiteral("-c"), QString::fromLatin1(script)} + files);
    return why.isEmpty() ? why : QStringLiteral("Pillow (python3-pil) is the reference decoder: ") + why;
}

// ImageMagick decodes the file to an 8-bit RGB PPM beside it (file + ".im.ppm").
inline QString decodeWithImageMagick(const QString &file)
{
    return runTool(QStringLiteral("convert"), {file, QStringLiteral("-depth"), QStringLiteral("8"), file + QStringLiteral(".im.ppm")});
}

// A reference decoder's PPM as a 32-bit image (null when it could not be read).
inline QImage referencePicture(const QString &ppm) { return QImage(ppm).convertToFormat(QImage::Format_RGB32); }

// Pillow's view of each frame of a picture or animation as an animating viewer shows it
// (an APNG's default image that is no frame is left out): "FORMAT W H duration loop" on a
// line of out, the frame's RGBA bytes in file + ".frameN.rgba" (read with pillowFrame).
inline QString pillowFrames(const QString &file, QByteArray *out)
{
    static const char *script = "import sys\n"
                                "from PIL import Image\n"
                                "im = Image.open(sys.argv[1])\n"
                                "first = 1 if getattr(im, 'default_image', False) else 0\n"
                                "for i in range(first, getattr(im, 'n_frames', 1)):\n"
                                "    im.seek(i)\n"
                                "    im.load()\n"
                                "    print(im.format, im.size[0], im.size[1], int(im.info.get('duration') or 0), im.info.get('loop'))\n"
                                "    open(sys.argv[1] + '.frame%d.rgba' % (i - first), 'wb').write(im.convert('RGBA').tobytes())\n";
    return runTool(Python, {QStringLiteral("-c"), QString::fromLatin1(script), file}, out);
}

inline QImage pillowFrame(const QString &file, int i, QSize size)
{
    QFile f(file + QStringLiteral(".frame%1.rgba").arg(i));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray rgba = f.readAll();
    return QImage(reinterpret_cast<const uchar *>(rgba.constData()), size.width(), size.height(), QImage::Format_RGBA8888)
        .convertToFormat(QImage::Format_ARGB32);
}

// Bytes written out by hand, one value each.
inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}
