// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the native player's reader, and whatever it
// accepts to the stage and the renderer for a few frames: none of them may
// crash, hang, read out of bounds or allocate without a bound.
#include "renderer.h"
#include "stage.h"
#include "swfmovie.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdint>
#include <cstdlib>

namespace {

// Damaged pictures make Qt's image readers complain on every input; the
// complaints are expected and printing them would halve the speed.
void quiet(QtMsgType, const QMessageLogContext &, const QString &)
{
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Images and painters want an application; no window is ever shown.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication app(*argc, *argv);
    qInstallMessageHandler(quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const swf::ReadResult read =
        swf::readMovie(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (read.verdict != swf::ReadResult::Verdict::Native || !read.movie)
        return 0;
    swf::Stage stage(read.movie, nullptr);
    swf::Renderer renderer(read.movie);
    QImage image(64, 48, QImage::Format_ARGB32_Premultiplied);
    const QTransform toDevice = swf::Renderer::showAll(read.movie->stage, QRectF(0, 0, 64, 48));
    for (int frame = 0; frame < 4; ++frame) {
        if (frame > 0)
            stage.advance();
        image.fill(read.movie->background);
        QPainter painter(&image);
        renderer.paint(painter, stage.root(), toDevice);
    }
    return 0;
}
