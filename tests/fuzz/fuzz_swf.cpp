// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the native player's reader, and whatever it
// accepts to the stage and the renderer for a few frames, and the practice
// data a movie carries to its reader and the stroke matcher: none of them
// may crash, hang, read out of bounds or allocate without a bound.
#include "practicedata.h"
#include "renderer.h"
#include "stage.h"
#include "strokematcher.h"
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

// Each stroke's centre line judged as every stroke of the character.
void practise(const QByteArray &tag)
{
    const std::optional<practice::PracticeData> data = practice::readPracticeData(tag);
    if (!data)
        return;
    QList<QPolygonF> medians;
    for (const practice::Stroke &stroke : data->strokes)
        medians.append(stroke.median);
    for (int drawn = 0; drawn < medians.size(); ++drawn)
        for (int expected = 0; expected < medians.size(); ++expected)
            practice::matchStroke(medians[drawn], medians, expected);
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
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    // The practice data's reader on its own, past the movie's checks.
    practise(bytes);
    const swf::ReadResult read = swf::readMovie(bytes);
    if (read.verdict != swf::ReadResult::Verdict::Native || !read.movie)
        return 0;
    practise(read.movie->privateData.value(practice::TagCode));
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
