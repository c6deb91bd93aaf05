// SPDX-License-Identifier: GPL-3.0-or-later
#include "practicearea.h"

#include "polyline.h"
#include "practicesession.h"
#include "renderer.h"
#include "soundoutput.h"

#include <QElapsedTimer>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QLineF>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <QtMath>
#include <algorithm>
#include <cmath>

namespace {

constexpr int FrameMs = 16;
constexpr qint64 HintPulseMs = 1500;
constexpr qint64 RevealMs = 1500;
constexpr qint64 RewardPopMs = 500;
constexpr int DefaultRewardMs = 4000;

// Sizes in character units, where the grid is 1024 wide. The ink is as wide
// as a brush stroke; a stroke that writes itself is revealed by the lesson's
// widest brush (28 stage pixels' radius on the 360 pixel grid), so that every
// part of its outline is reached.
constexpr double InkWidth = 1024.0 / 12;
constexpr double RevealWidth = 2 * 28.0 * 1024.0 / 360.0;
constexpr double HintWidth = 1024.0 / 70;
constexpr double HintDotRadius = 1024.0 / 30;
constexpr double HintPulse = 0.6; // the dot grows by this much at the height of a pulse
constexpr double ArrowLength = 1024.0 / 14;
// A long drag is thinned to keep what the matcher and each repaint handle
// bounded.
constexpr double InkSpacing = 2.0;
constexpr int InkPoints = 4096;

constexpr double TwipsPerPixel = 20;
constexpr int NamePixels = 56; // stage pixels, as the lesson letters them
constexpr int CountPixels = 40;
constexpr int MaxLabels = 500;

const QColor OutlineGrey(212, 210, 206);
const QColor StarFill(255, 196, 36);
const QColor StarEdge(226, 128, 0);
// The finished character: one bright colour a stroke.
const QColor Rainbow[] = {{230, 57, 40},  {245, 140, 20}, {52, 168, 83},  {30, 128, 220},
                          {150, 80, 200}, {232, 70, 150}, {20, 160, 160}, {214, 160, 0}};

QFont kaiFont(int pixels)
{
    QFont font(QStringLiteral("AR PL UKai CN"));
    font.setPixelSize(pixels);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// text centred in box (stage twips), made smaller where it would not fit.
QPainterPath fittedText(const QString &text, int pixels, const QRectF &box)
{
    QPainterPath path;
    path.addText(0, 0, kaiFont(pixels), text);
    const QRectF bounds = path.boundingRect();
    if (bounds.isEmpty() || box.isEmpty())
        return QPainterPath();
    const double scale =
        std::min({TwipsPerPixel, box.width() / bounds.width(), box.height() / bounds.height()});
    return (QTransform::fromTranslate(-bounds.center().x(), -bounds.center().y()) *
            QTransform::fromScale(scale, scale) *
            QTransform::fromTranslate(box.center().x(), box.center().y()))
        .map(path);
}

void addDashes(QList<QLineF> &lines, QPointF from, QPointF to, double dash, double gap)
{
    const QLineF line(from, to);
    const double length = line.length();
    for (double at = 0; at < length; at += dash + gap)
        lines.append(
            QLineF(line.pointAt(at / length), line.pointAt(std::min(at + dash, length) / length)));
}

// The lesson's 田字格 (see the movie maker's grid), in stage twips.
void drawGrid(QPainter &painter, const QRectF &grid, const QColor &color)
{
    const double px = TwipsPerPixel;
    const QRectF r = grid.adjusted(px, px, -px, -px);
    QPen pen(color, 2.5 * px, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(pen);
    painter.drawRect(r);
    QList<QLineF> cross;
    addDashes(cross, QPointF(r.center().x(), r.top()), QPointF(r.center().x(), r.bottom()), 10 * px,
              6 * px);
    addDashes(cross, QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()), 10 * px,
              6 * px);
    pen.setWidthF(1.5 * px);
    painter.setPen(pen);
    painter.drawLines(cross);
    QList<QLineF> diagonals;
    addDashes(diagonals, r.topLeft(), r.bottomRight(), 6 * px, 6 * px);
    addDashes(diagonals, r.topRight(), r.bottomLeft(), 6 * px, 6 * px);
    pen.setWidthF(1.0 * px);
    painter.setPen(pen);
    painter.drawLines(diagonals);
}

QPainterPath starPath(QPointF centre, double radius)
{
    QPolygonF points;
    for (int i = 0; i < 10; ++i) {
        const double r = i % 2 ? radius * 0.45 : radius;
        const double angle = -M_PI / 2 + i * M_PI / 5;
        points.append(centre + QPointF(r * std::cos(angle), r * std::sin(angle)));
    }
    QPainterPath path;
    path.addPolygon(points);
    path.closeSubpath();
    return path;
}

QString countText(int stroke)
{
    return QStringLiteral("第%1画").arg(stroke + 1);
}

// 0..1 overshooting a little before it settles: the star pops up.
double popScale(double t)
{
    const double c = 1.70158;
    const double u = std::clamp(t, 0.0, 1.0) - 1;
    return 1 + (c + 1) * u * u * u + c * u * u;
}

} // namespace

struct PracticeArea::Private
{
    swf::SoundSink *sound = nullptr; // the caller's, or null for ownSound
    std::unique_ptr<SoundOutput> ownSound;

    practice::PracticeData data;
    std::shared_ptr<const swf::Movie> movie;
    QList<QPolygonF> medians;

    QTransform stageToWidget;
    QTransform characterToWidget;
    QTransform widgetToCharacter;
    bool mapped = false; // false while the stage or the widget has no area

    // Background, grid, grey character and the strokes drawn in, at the
    // widget's size; made again only when the size or the finished look
    // changes. An image in the raster backing store's format is copied to it
    // as it is; a pixmap made the repaint after each change wait some
    // milliseconds longer on a busy machine.
    QImage board;
    int written = 0;
    bool finished = false;
    int labelled = -1; // whose name and count show
    // Stage twips. Kept from one character to the next: lettering a name
    // takes milliseconds, and the names and counts are few.
    QHash<QString, QPainterPath> labels;

    QPolygonF ink; // character units
    bool inking = false;
    int hint = -1;
    QElapsedTimer hintClock;
    int reveal = -1;
    QElapsedTimer revealClock;
    QElapsedTimer rewardClock;
    QPainterPath score; // strokes right the first time, of all: "4/5"

    QTimer frames;
    QTimer reward;
    int rewardMs = DefaultRewardMs;

    void clear();
    void relayout(const QRect &area);
    void drawBoard(const QSize &size, qreal pixelRatio);
    void drawStrokeIn(int stroke);
    QColor strokeColor(int stroke) const;
    const QPainterPath &label(const QString &text, int pixels, const QRectF &box);
    void letterAll();
    bool animating() const;

    QRect toWidget(const QRectF &characterRect) const;
    QRect strokeRect(int stroke) const;
    QRect hintRect() const;
    QRect hintDotRect() const;
    QRect inkRect() const;
    QRect labelRect() const;

    void paintLabels(QPainter &painter);
    void paintReveal(QPainter &painter) const;
    void paintHint(QPainter &painter) const;
    void paintInk(QPainter &painter, const QRect &dirty) const;
    void paintReward(QPainter &painter) const;
    void saySyllable();
};

void PracticeArea::Private::clear()
{
    frames.stop();
    reward.stop();
    data = practice::PracticeData();
    movie.reset();
    medians.clear();
    mapped = false;
    board = QImage();
    written = 0;
    finished = false;
    labelled = -1;
    ink.clear();
    inking = false;
    hint = -1;
    reveal = -1;
}

void PracticeArea::Private::relayout(const QRect &area)
{
    board = QImage();
    mapped = false;
    if (!movie || area.isEmpty())
        return;
    stageToWidget = swf::Renderer::showAll(movie->stage, QRectF(area));
    characterToWidget = data.characterToStage() * stageToWidget;
    widgetToCharacter = characterToWidget.inverted(&mapped);
}

void PracticeArea::Private::drawBoard(const QSize &size, qreal pixelRatio)
{
    board = QImage((QSizeF(size) * pixelRatio).toSize(), QImage::Format_ARGB32_Premultiplied);
    board.setDevicePixelRatio(pixelRatio);
    board.fill(movie->background);
    QPainter painter(&board);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(stageToWidget);
    drawGrid(painter, data.grid, data.gridColor);
    painter.setTransform(characterToWidget);
    for (const practice::Stroke &stroke : std::as_const(data.strokes))
        painter.fillPath(stroke.outline, OutlineGrey);
    for (int i = 0; i < written; ++i)
        painter.fillPath(data.strokes[i].outline, strokeColor(i));
}

void PracticeArea::Private::drawStrokeIn(int stroke)
{
    written = stroke + 1;
    if (board.isNull())
        return;
    QPainter painter(&board);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(characterToWidget);
    painter.fillPath(data.strokes[stroke].outline, strokeColor(stroke));
}

QColor PracticeArea::Private::strokeColor(int stroke) const
{
    return finished ? Rainbow[stroke % int(std::size(Rainbow))] : data.finishedColor;
}

const QPainterPath &PracticeArea::Private::label(const QString &text, int pixels, const QRectF &box)
{
    const QString key = QStringLiteral("%1 %2 %3 %4 %5 %6")
                            .arg(pixels)
                            .arg(box.x())
                            .arg(box.y())
                            .arg(box.width())
                            .arg(box.height())
                            .arg(text);
    auto found = labels.find(key);
    if (found == labels.end()) {
        if (labels.size() >= MaxLabels)
            labels.clear();
        found = labels.insert(key, fittedText(text, pixels, box));
    }
    return *found;
}

// Done before the child writes, so that a written stroke's name shows
// within the frame.
void PracticeArea::Private::letterAll()
{
    for (int i = 0; i < data.strokes.size(); ++i) {
        label(data.strokes[i].name, NamePixels, data.nameBox);
        label(countText(i), CountPixels, data.countBox);
    }
}

bool PracticeArea::Private::animating() const
{
    return reveal >= 0 || (hint >= 0 && hintClock.elapsed() < HintPulseMs) ||
           (finished && rewardClock.elapsed() < RewardPopMs);
}

QRect PracticeArea::Private::toWidget(const QRectF &characterRect) const
{
    return characterToWidget.mapRect(characterRect).toAlignedRect().adjusted(-2, -2, 2, 2);
}

QRect PracticeArea::Private::strokeRect(int stroke) const
{
    const double margin = RevealWidth / 2;
    return toWidget(data.strokes[stroke].outline.boundingRect().united(
        medians[stroke].boundingRect().adjusted(-margin, -margin, margin, margin)));
}

QRect PracticeArea::Private::hintRect() const
{
    if (hint < 0 || medians[hint].isEmpty())
        return QRect();
    const double margin = std::max(ArrowLength, HintDotRadius * (1 + HintPulse));
    return toWidget(medians[hint].boundingRect().adjusted(-margin, -margin, margin, margin));
}

QRect PracticeArea::Private::hintDotRect() const
{
    if (hint < 0 || medians[hint].isEmpty())
        return QRect();
    const double r = HintDotRadius * (1 + HintPulse);
    return toWidget(QRectF(medians[hint].first() - QPointF(r, r), QSizeF(2 * r, 2 * r)));
}

QRect PracticeArea::Private::inkRect() const
{
    if (ink.isEmpty())
        return QRect();
    const double margin = InkWidth / 2;
    return toWidget(ink.boundingRect().adjusted(-margin, -margin, margin, margin));
}

QRect PracticeArea::Private::labelRect() const
{
    // The star overshoots its box a little as it pops up.
    const double margin = data.nameBox.height() * 0.25;
    return stageToWidget
        .mapRect(data.nameBox.united(data.countBox).adjusted(-margin, -margin, margin, margin))
        .toAlignedRect();
}

void PracticeArea::Private::paintLabels(QPainter &painter)
{
    if (labelled < 0 || finished)
        return;
    painter.setTransform(stageToWidget);
    painter.fillPath(label(data.strokes[labelled].name, NamePixels, data.nameBox),
                     data.writingColor);
    painter.fillPath(label(countText(labelled), CountPixels, data.countBox), data.countColor);
}

void PracticeArea::Private::paintReveal(QPainter &painter) const
{
    if (reveal < 0)
        return;
    const QPolygonF &median = medians[reveal];
    const double shown = std::min(1.0, double(revealClock.elapsed()) / RevealMs);
    painter.save();
    painter.setTransform(characterToWidget);
    painter.setClipPath(data.strokes[reveal].outline, Qt::IntersectClip);
    painter.setPen(
        QPen(data.writingColor, RevealWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QPolygonF part = polylinePrefix(median, shown);
    if (part.size() == 1)
        painter.drawPoint(part.first());
    else
        painter.drawPolyline(part);
    painter.restore();
}

// A dot pulses where the stroke starts; an arrow along its centre line shows
// the way. Both stay, the dot still, until the stroke is tried again.
void PracticeArea::Private::paintHint(QPainter &painter) const
{
    if (hint < 0 || medians[hint].isEmpty())
        return;
    const QPolygonF &median = medians[hint];
    painter.setTransform(characterToWidget);
    // Lighter than the ink, and opaque so that where shaft and head meet
    // does not show darker.
    const QColor &pen = data.writingColor;
    const QColor &paper = movie->background;
    const QColor arrow((pen.red() + paper.red()) / 2, (pen.green() + paper.green()) / 2,
                       (pen.blue() + paper.blue()) / 2);
    const double length = polylineLength(median);
    if (length > 0) {
        const double head = std::min(ArrowLength, length / 2);
        const QPolygonF shaft = polylinePrefix(median, (length - head) / length);
        painter.setPen(QPen(arrow, HintWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPolyline(shaft);
        const QPointF tip = median.last();
        const double back = QLineF(tip, shaft.last()).angle();
        const double wing = head / std::cos(qDegreesToRadians(25.0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(arrow);
        painter.drawPolygon(QPolygonF({tip, QLineF::fromPolar(wing, back + 25).translated(tip).p2(),
                                       QLineF::fromPolar(wing, back - 25).translated(tip).p2()}));
    }
    const qint64 elapsed = hintClock.elapsed();
    double radius = HintDotRadius;
    if (elapsed < HintPulseMs) {
        const double wave = std::sin(M_PI * double(elapsed) / (HintPulseMs / 4.0));
        radius *= 1 + HintPulse * wave * wave;
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(data.writingColor);
    painter.drawEllipse(median.first(), radius, radius);
}

// Only the segments that cross the repainted rectangle are stroked: while the
// child draws, that is the newest one.
void PracticeArea::Private::paintInk(QPainter &painter, const QRect &dirty) const
{
    if (ink.isEmpty())
        return;
    painter.setTransform(characterToWidget);
    painter.setPen(QPen(data.writingColor, InkWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    if (ink.size() == 1) {
        painter.drawPoint(ink.first());
        return;
    }
    const double margin = InkWidth / 2 + 1;
    const QRectF area = widgetToCharacter.mapRect(QRectF(dirty));
    QPolygonF run;
    for (int i = 1; i < ink.size(); ++i) {
        const QRectF reach =
            QRectF(ink[i - 1], ink[i]).normalized().adjusted(-margin, -margin, margin, margin);
        if (reach.intersects(area)) {
            if (run.isEmpty())
                run.append(ink[i - 1]);
            run.append(ink[i]);
        } else if (!run.isEmpty()) {
            painter.drawPolyline(run);
            run.clear();
        }
    }
    if (!run.isEmpty())
        painter.drawPolyline(run);
}

void PracticeArea::Private::paintReward(QPainter &painter) const
{
    if (!finished)
        return;
    painter.setTransform(stageToWidget);
    const double t = double(rewardClock.elapsed()) / RewardPopMs;
    const double radius = std::min(data.nameBox.width(), data.nameBox.height()) * 0.5;
    painter.setPen(QPen(StarEdge, 2.5 * TwipsPerPixel, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(StarFill);
    painter.drawPath(starPath(data.nameBox.center(), radius * popScale(t)));
    painter.fillPath(score, data.countColor);
}

void PracticeArea::Private::saySyllable()
{
    if (data.soundId == 0)
        return;
    const std::shared_ptr<const swf::Sound> syllable = movie->sounds.value(data.soundId);
    if (!syllable)
        return;
    swf::SoundSink *sink = sound;
    if (!sink) {
        if (!ownSound)
            ownSound = std::make_unique<SoundOutput>();
        sink = ownSound.get();
    }
    swf::SoundStart start;
    start.soundId = data.soundId;
    sink->startSound(data.soundId, syllable, start);
}

PracticeArea::PracticeArea(swf::SoundSink *sound, QWidget *parent)
    : QWidget(parent), d(std::make_unique<Private>())
{
    d->sound = sound;
    // The board covers the whole widget.
    setAttribute(Qt::WA_OpaquePaintEvent);
    d->frames.setInterval(FrameMs);
    d->frames.setTimerType(Qt::PreciseTimer);
    connect(&d->frames, &QTimer::timeout, this, &PracticeArea::tick);
    d->reward.setSingleShot(true);
    connect(&d->reward, &QTimer::timeout, this, &PracticeArea::finished);
}

PracticeArea::~PracticeArea() = default;

void PracticeArea::start(const practice::PracticeData &practiceData,
                         std::shared_ptr<const swf::Movie> movie)
{
    d->clear();
    m_session.reset();
    update();
    if (!movie) {
        qWarning("Writing practice: no lesson movie to practise with");
        return;
    }
    if (practiceData.strokes.isEmpty()) {
        qWarning("Writing practice: the character has no strokes to write");
        return;
    }
    d->data = practiceData;
    d->movie = std::move(movie);
    for (const practice::Stroke &stroke : std::as_const(d->data.strokes))
        d->medians.append(stroke.median);
    m_session = std::make_unique<practice::PracticeSession>(d->medians);
    d->relayout(rect());
    d->letterAll();
}

void PracticeArea::stop()
{
    const bool practising = bool(m_session);
    d->clear();
    m_session.reset();
    if (practising) {
        if (d->sound)
            d->sound->stopAllSounds();
        else if (d->ownSound)
            d->ownSound->stopAllSounds();
    }
    update();
}

bool PracticeArea::isActive() const
{
    return bool(m_session);
}

QPointF PracticeArea::toWidget(QPointF characterPoint) const
{
    return d->characterToWidget.map(characterPoint);
}

bool PracticeArea::isAnimating() const
{
    return d->frames.isActive();
}

void PracticeArea::setRewardTime(int milliseconds)
{
    d->rewardMs = std::max(0, milliseconds);
}

void PracticeArea::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    if (!m_session || !d->mapped) {
        painter.fillRect(rect(), d->movie ? d->movie->background : QColor(Qt::white));
        return;
    }
    const qreal ratio = devicePixelRatioF();
    if (d->board.isNull() || d->board.deviceIndependentSize() != QSizeF(size()))
        d->drawBoard(size(), ratio);
    const QRect dirty = event->rect();
    painter.drawImage(QRectF(dirty), d->board,
                      QRectF(QPointF(dirty.topLeft()) * ratio, QSizeF(dirty.size()) * ratio));
    painter.setRenderHint(QPainter::Antialiasing);
    d->paintLabels(painter);
    d->paintReveal(painter);
    d->paintHint(painter);
    d->paintInk(painter, dirty);
    d->paintReward(painter);
}

void PracticeArea::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || d->inking || !m_session || !d->mapped ||
        m_session->isFinished() || d->reveal >= 0)
        return;
    d->ink = {d->widgetToCharacter.map(event->position())};
    d->inking = true;
    update(d->inkRect());
}

void PracticeArea::mouseMoveEvent(QMouseEvent *event)
{
    if (!d->inking)
        return;
    const QPointF point = d->widgetToCharacter.map(event->position());
    if (QLineF(d->ink.last(), point).length() < InkSpacing)
        return;
    if (d->ink.size() >= InkPoints)
        d->ink.removeLast();
    const double margin = InkWidth / 2;
    const QRectF segment = QRectF(d->ink.last(), point).normalized();
    d->ink.append(point);
    update(d->toWidget(segment.adjusted(-margin, -margin, margin, margin)));
}

void PracticeArea::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !d->inking)
        return;
    const QPointF point = d->widgetToCharacter.map(event->position());
    if (d->ink.last() != point && d->ink.size() < InkPoints)
        d->ink.append(point);
    d->inking = false;
    submitInk();
}

void PracticeArea::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    d->relayout(rect());
    update();
}

void PracticeArea::submitInk()
{
    const int stroke = m_session->currentStroke();
    const QRect inked = d->inkRect();
    const QRect hinted = d->hintRect();
    const practice::PracticeSession::Outcome outcome = m_session->submit(d->ink);
    d->ink.clear();
    update(inked);
    switch (outcome) {
    case practice::PracticeSession::Outcome::Accepted:
        update(hinted);
        d->hint = -1;
        finishStroke(stroke);
        break;
    case practice::PracticeSession::Outcome::Missed:
        d->hint = stroke;
        d->hintClock.start();
        d->frames.start();
        update(hinted);
        update(d->hintRect());
        Q_EMIT missed(stroke);
        break;
    case practice::PracticeSession::Outcome::WrittenForChild:
        update(hinted);
        d->hint = -1;
        d->reveal = stroke;
        d->revealClock.start();
        d->frames.start();
        Q_EMIT missed(stroke);
        break;
    case practice::PracticeSession::Outcome::Ignored:
        break;
    }
}

void PracticeArea::finishStroke(int stroke)
{
    d->drawStrokeIn(stroke);
    d->labelled = stroke;
    update(d->strokeRect(stroke));
    update(d->labelRect());
    Q_EMIT strokeWritten(stroke);
    // The receiver may have stopped the practice or started another, which
    // is never finished yet.
    if (m_session && m_session->isFinished())
        finishCharacter();
}

void PracticeArea::finishCharacter()
{
    d->finished = true;
    d->score = fittedText(
        QStringLiteral("%1/%2").arg(m_session->rightFirstTime()).arg(m_session->strokeCount()),
        CountPixels, d->data.countBox);
    d->board = QImage(); // drawn again in colour
    d->rewardClock.start();
    d->frames.start();
    d->reward.start(d->rewardMs);
    d->saySyllable();
    update();
    Q_EMIT characterWritten();
}

void PracticeArea::tick()
{
    if (d->reveal >= 0) {
        if (d->revealClock.elapsed() >= RevealMs) {
            const int stroke = d->reveal;
            d->reveal = -1;
            finishStroke(stroke);
        } else {
            update(d->strokeRect(d->reveal));
        }
    }
    if (d->hint >= 0)
        update(d->hintDotRect());
    if (d->finished)
        update(d->labelRect());
    if (!d->animating())
        d->frames.stop();
}
