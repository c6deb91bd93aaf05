#include "strokenames.h"
#include "frameplan.h"
#include "makererror.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace {

// The data's stroke letters whose name is one standard stroke type. Left
// out on purpose (but see byShape): e (横撇 or 横钩), y (斜钩 or 卧钩), v (横折折 or 横折弯),
// x (竖折撇 or 竖折折), w (横折折折钩 or 横撇弯钩), and two the data names
// by one of the types it stands for: b (竖弯, also used for 竖折 as in 山)
// and o (横斜钩, also used for 横折弯钩 as in 九).
QString nameOf(QChar letter)
{
    static const QHash<QChar, QString> names{
        {QLatin1Char('j'), QStringLiteral("横")},
        {QLatin1Char('f'), QStringLiteral("竖")},
        {QLatin1Char('s'), QStringLiteral("撇")},
        {QLatin1Char('l'), QStringLiteral("捺")},
        {QLatin1Char('k'), QStringLiteral("点")},
        {QLatin1Char('d'), QStringLiteral("点")},
        {QLatin1Char('i'), QStringLiteral("提")},
        {QLatin1Char('c'), QStringLiteral("横折")},
        {QLatin1Char('r'), QStringLiteral("横折钩")},
        {QLatin1Char('g'), QStringLiteral("竖钩")},
        {QLatin1Char('n'), QStringLiteral("撇折")},
        {QLatin1Char('u'), QStringLiteral("竖弯钩")},
        {QLatin1Char('h'), QStringLiteral("竖提")},
        {QLatin1Char('a'), QStringLiteral("横折折撇")},
        {QLatin1Char('p'), QStringLiteral("横折提")},
        {QLatin1Char('t'), QStringLiteral("弯钩")},
        {QLatin1Char('m'), QStringLiteral("撇点")},
        {QLatin1Char('z'), QStringLiteral("竖折折钩")},
        {QLatin1Char('q'), QStringLiteral("横折折折")},
    };
    return names.value(letter);
}

// Two of the shared letters, told apart by the centre line where the shapes
// differ plainly. 横钩 ends in a short hook (the part after the corner at
// most 0.3 of the horizontal part, as in 买 写 军), 横撇 in a long sweep (at
// least 0.9, as in 又 水 多). 卧钩 lies flat (at most 0.8 as tall as wide, as
// in 心 必), 斜钩 stands (over 1.1, as in 戈 我). Anything between is left
// unnamed.
QString byShape(QChar letter, const QPolygonF &median)
{
    if (median.size() < 2)
        return QString();
    if (letter == QLatin1Char('e')) {
        const auto corner = std::max_element(median.begin(), median.end(),
                                             [](QPointF a, QPointF b) { return a.x() < b.x(); });
        const double across = polylineLength(QPolygonF(QList<QPointF>(median.begin(), corner + 1)));
        const double after = polylineLength(QPolygonF(QList<QPointF>(corner, median.end())));
        if (across > 0 && after / across <= 0.3)
            return QStringLiteral("横钩");
        if (across > 0 && after / across >= 0.9)
            return QStringLiteral("横撇");
    } else if (letter == QLatin1Char('y')) {
        const QRectF box = median.boundingRect();
        if (box.width() > 0 && box.height() / box.width() <= 0.8)
            return QStringLiteral("卧钩");
        if (box.width() > 0 && box.height() / box.width() > 1.1)
            return QStringLiteral("斜钩");
    }
    return QString();
}

} // namespace

StrokeNames::StrokeNames(const QString &orderScript)
{
    QFile file(orderScript);
    if (!file.open(QIODevice::ReadOnly))
        throw MakerError(QStringLiteral("Cannot read the stroke names %1").arg(orderScript));
    // The script embeds its tables as JSON.parse('{...}'); the first one maps
    // each character to its stroke letters.
    const QByteArray script = file.readAll();
    const QByteArray opening("JSON.parse('");
    const qsizetype start = script.indexOf(opening);
    const qsizetype end = script.indexOf("')", start);
    QJsonParseError error{};
    const QJsonObject table =
        start < 0 || end < 0
            ? QJsonObject()
            : QJsonDocument::fromJson(
                  script.mid(start + opening.size(), end - start - opening.size()), &error)
                  .object();
    if (error.error != QJsonParseError::NoError || table.isEmpty())
        throw MakerError(
            QStringLiteral("The stroke names %1 are not in the expected form").arg(orderScript));
    for (auto it = table.begin(); it != table.end(); ++it)
        m_types.insert(it.key(), it.value().toString());
}

QStringList StrokeNames::names(const QString &character, const QList<QPolygonF> &medians) const
{
    const QString types = m_types.value(character);
    const bool shapesKnown = medians.size() == types.size();
    QStringList names;
    for (int i = 0; i < types.size(); ++i) {
        const QString name = nameOf(types[i]);
        names.append(name.isEmpty() && shapesKnown ? byShape(types[i], medians[i]) : name);
    }
    return names;
}
